// System services -1 .. -15 and their bounds on both sides.
#include <gtest/gtest.h>

#include "codec/packed.h"
#include "platform/clock.h"
#include "support/host_harness.h"

namespace quill {
namespace {

using test::HostHarness;
using test::kFailed;
using test::Ok;

constexpr uint64_t kSize = 100'000;

TEST(SystemServices, ConstantsAndMemorySize) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(host_call::sys_present), Ok(1));
  EXPECT_EQ(h.call(host_call::sys_memory_size), Ok(kSize));
  EXPECT_EQ(h.call(host_call::sys_get_speed), Ok(64'000'000));
}

TEST(SystemServices, ReadTryteGivesTheAlphabetIndexWithinBounds) {
  HostHarness h(kSize);
  ASSERT_TRUE(h.memory.load("-+.", kSize - 3));
  EXPECT_EQ(h.call(host_call::sys_read_tryte, kSize - 3), Ok(0));
  EXPECT_EQ(h.call(host_call::sys_read_tryte, kSize - 2), Ok(26));
  EXPECT_EQ(h.call(host_call::sys_read_tryte, kSize - 1), Ok(13));
  EXPECT_EQ(h.call(host_call::sys_read_tryte, kSize), kFailed);
  EXPECT_EQ(h.call(host_call::sys_read_tryte, -1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_read_tryte, NIL), kFailed);
  h.memory.bytes[3 * 7 + 2] = '0';
  EXPECT_EQ(h.call(host_call::sys_read_tryte, 7), kFailed);
}

TEST(SystemServices, PackedWriteChecksTheWholeDestination) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(host_call::sys_write_packed, kSize, 0), Ok(kSize));  // nothing written, address = size allowed
  EXPECT_EQ(h.call(host_call::sys_write_packed, kSize + 1, 0), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_packed, kSize, 1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_packed, 10, 27), Ok(11));
  EXPECT_EQ(h.memory.symbols(10, 1), "+");
  EXPECT_EQ(h.call(host_call::sys_write_packed, 20, 28), Ok(22));
  EXPECT_EQ(h.memory.symbols(20, 2), "--");
  EXPECT_EQ(h.call(host_call::sys_write_packed, kSize - 7, static_cast<int64_t>(kPackedMax)), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_packed, 0, static_cast<int64_t>(kPackedMax) + 1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_packed, 0, -1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_packed, 0, NIL), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_packed, -1, 5), kFailed);
  EXPECT_EQ(h.memory.symbols(kSize - 8, 8), "........");  // nothing written by a failure
  EXPECT_EQ(h.call(host_call::sys_write_packed, kSize - 8, static_cast<int64_t>(kPackedMax)), Ok(kSize));
  EXPECT_EQ(h.memory.symbols(kSize - 8, 8), "++++++++");
}

TEST(SystemServices, CellsReadAndWriteWithinBounds) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(host_call::sys_write_cell, 100, -1), Ok(110));
  EXPECT_EQ(h.memory.symbols(100, 10), "J000000001");
  EXPECT_EQ(h.call(host_call::sys_write_cell, 100, NIL), Ok(110));
  EXPECT_EQ(h.memory.symbols(100, 10), "J000000000");
  EXPECT_EQ(h.call(host_call::sys_write_cell, kSize - 10, kValueMax), Ok(kSize));
  EXPECT_EQ(h.memory.symbols(kSize - 10, 10), "9JJJJJJJJJ");
  EXPECT_EQ(h.call(host_call::sys_write_cell, kSize - 9, 1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_write_cell, -1, 1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_read_cell, kSize - 10), Ok(kValueMax));
  EXPECT_EQ(h.call(host_call::sys_read_cell, 100), Ok(NIL));
  EXPECT_EQ(h.call(host_call::sys_read_cell, kSize - 9), kFailed);
  EXPECT_EQ(h.call(host_call::sys_read_cell, -1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_read_cell, 200), kFailed);  // "." is not the head of a cell
}

TEST(SystemServices, ExecutedCountIsNilBeyondTheValueRange) {
  HostHarness h(kSize);
  h.machine().executed = 12;
  EXPECT_EQ(h.call(host_call::sys_executed), Ok(12));
  h.machine().executed = kValueMax;
  EXPECT_EQ(h.call(host_call::sys_executed), Ok(kValueMax));
  h.machine().executed = kValueMax + 1;
  EXPECT_EQ(h.call(host_call::sys_executed), Ok(NIL));
}

TEST(SystemServices, SetSpeedCountsChangesAndYields) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(host_call::sys_set_speed, 0), Ok(0));
  EXPECT_EQ(h.machine().status, status_budget_reached);
  EXPECT_EQ(h.host().speed, 0u);
  EXPECT_EQ(h.call(host_call::sys_set_speed, 0), Ok(0));  // the same value still counts as a change
  EXPECT_EQ(h.host().speed_changes, 2u);
  h.machine().status = status_ready;
  EXPECT_EQ(h.call(host_call::sys_set_speed, -1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_set_speed, NIL), kFailed);
  EXPECT_EQ(h.machine().status, status_ready);
  EXPECT_EQ(h.host().speed_changes, 2u);
  EXPECT_EQ(h.call(host_call::sys_set_speed, 1'000), Ok(1'000));
  EXPECT_EQ(h.call(host_call::sys_get_speed), Ok(1'000));
}

TEST(SystemServices, SleepSetsTheWakeTimeFromTheSpeed) {
  HostHarness h(kSize);
  const uint64_t before = clock_now_ns();
  EXPECT_EQ(h.call(host_call::sys_sleep, 64'000'000), Ok(64'000'000));
  EXPECT_EQ(h.machine().status, status_budget_reached);
  EXPECT_GE(h.host().wake_ns, before + 1'000'000'000);
  EXPECT_LE(h.host().wake_ns, clock_now_ns() + 1'000'000'000);
  EXPECT_EQ(h.call(host_call::sys_sleep, 0), Ok(0));  // a zero sleep replaces the wake time and still yields
  EXPECT_LE(h.host().wake_ns, clock_now_ns());
  EXPECT_EQ(h.call(host_call::sys_sleep, kValueMax), Ok(kValueMax));
  EXPECT_GT(h.host().wake_ns, clock_now_ns() + 7'000'000'000'000);
  h.host().speed = 0;
  EXPECT_EQ(h.call(host_call::sys_sleep, kValueMax), Ok(kValueMax));  // unpaced: no sleep
  EXPECT_LE(h.host().wake_ns, clock_now_ns());
  h.host().speed = 1;
  EXPECT_EQ(h.call(host_call::sys_sleep, kValueMax), Ok(kValueMax));  // beyond 2^64 ns: saturates
  EXPECT_EQ(h.host().wake_ns, UINT64_MAX);
  EXPECT_EQ(h.call(host_call::sys_sleep, -1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_sleep, NIL), kFailed);
}

TEST(SystemServices, HaltRequestsAndYields) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(host_call::sys_halt), Ok(0));
  EXPECT_TRUE(h.host().halt_request);
  EXPECT_EQ(h.machine().status, status_budget_reached);
}

TEST(SystemServices, ElapsedTimeCountsMillisecondsSinceStart) {
  HostHarness h(kSize);
  h.host().start_ns = clock_now_ns() - 2'500'000'000;
  const auto elapsed = h.call(host_call::sys_elapsed_ms);
  ASSERT_TRUE(elapsed.ok);
  EXPECT_GE(elapsed.value, 2'500);
  EXPECT_LT(elapsed.value, 60'000);
}

TEST(SystemServices, ReadCursorMovesOnlyOnSuccess) {
  HostHarness h(kSize);
  ASSERT_TRUE(h.memory.load("+9000000005-", 500));
  EXPECT_EQ(h.call(host_call::sys_set_cursor, 500), Ok(500));
  EXPECT_EQ(h.call(host_call::sys_cursor_tryte), Ok(26));
  EXPECT_EQ(h.call(host_call::sys_cursor_cell), Ok(5));
  EXPECT_EQ(h.host().read_cursor, 511u);
  EXPECT_EQ(h.call(host_call::sys_cursor_cell), kFailed);  // "-" does not start a cell
  EXPECT_EQ(h.host().read_cursor, 511u);
  EXPECT_EQ(h.call(host_call::sys_cursor_tryte), Ok(0));
  EXPECT_EQ(h.call(host_call::sys_set_cursor, kSize), Ok(kSize));
  EXPECT_EQ(h.call(host_call::sys_cursor_tryte), kFailed);
  EXPECT_EQ(h.call(host_call::sys_cursor_cell), kFailed);
  EXPECT_EQ(h.host().read_cursor, kSize);
  EXPECT_EQ(h.call(host_call::sys_set_cursor, kSize + 1), kFailed);
  EXPECT_EQ(h.call(host_call::sys_set_cursor, -1), kFailed);
  EXPECT_EQ(h.host().read_cursor, kSize);
  h.memory.bytes[3 * 600] = 'q';
  EXPECT_EQ(h.call(host_call::sys_set_cursor, 600), Ok(600));
  EXPECT_EQ(h.call(host_call::sys_cursor_tryte), kFailed);
  EXPECT_EQ(h.host().read_cursor, 600u);
}

}  // namespace
}  // namespace quill
