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
  EXPECT_EQ(h.call(-1), Ok(1));
  EXPECT_EQ(h.call(-2), Ok(kSize));
  EXPECT_EQ(h.call(-8), Ok(64'000'000));
}

TEST(SystemServices, ReadTryteGivesTheAlphabetIndexWithinBounds) {
  HostHarness h(kSize);
  ASSERT_TRUE(h.memory.load("-+.", kSize - 3));
  EXPECT_EQ(h.call(-3, kSize - 3), Ok(0));
  EXPECT_EQ(h.call(-3, kSize - 2), Ok(26));
  EXPECT_EQ(h.call(-3, kSize - 1), Ok(13));
  EXPECT_EQ(h.call(-3, kSize), kFailed);
  EXPECT_EQ(h.call(-3, -1), kFailed);
  EXPECT_EQ(h.call(-3, NIL), kFailed);
  h.memory.bytes[3 * 7 + 2] = '0';
  EXPECT_EQ(h.call(-3, 7), kFailed);
}

TEST(SystemServices, PackedWriteChecksTheWholeDestination) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(-4, kSize, 0), Ok(kSize));  // nothing written, address = size allowed
  EXPECT_EQ(h.call(-4, kSize + 1, 0), kFailed);
  EXPECT_EQ(h.call(-4, kSize, 1), kFailed);
  EXPECT_EQ(h.call(-4, 10, 27), Ok(11));
  EXPECT_EQ(h.memory.symbols(10, 1), "+");
  EXPECT_EQ(h.call(-4, 20, 28), Ok(22));
  EXPECT_EQ(h.memory.symbols(20, 2), "--");
  EXPECT_EQ(h.call(-4, kSize - 7, static_cast<int64_t>(kPackedMax)), kFailed);
  EXPECT_EQ(h.call(-4, 0, static_cast<int64_t>(kPackedMax) + 1), kFailed);
  EXPECT_EQ(h.call(-4, 0, -1), kFailed);
  EXPECT_EQ(h.call(-4, 0, NIL), kFailed);
  EXPECT_EQ(h.call(-4, -1, 5), kFailed);
  EXPECT_EQ(h.memory.symbols(kSize - 8, 8), "........");  // nothing written by a failure
  EXPECT_EQ(h.call(-4, kSize - 8, static_cast<int64_t>(kPackedMax)), Ok(kSize));
  EXPECT_EQ(h.memory.symbols(kSize - 8, 8), "++++++++");
}

TEST(SystemServices, CellsReadAndWriteWithinBounds) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(-6, 100, -1), Ok(110));
  EXPECT_EQ(h.memory.symbols(100, 10), "J000000001");
  EXPECT_EQ(h.call(-6, 100, NIL), Ok(110));
  EXPECT_EQ(h.memory.symbols(100, 10), "J000000000");
  EXPECT_EQ(h.call(-6, kSize - 10, kValueMax), Ok(kSize));
  EXPECT_EQ(h.memory.symbols(kSize - 10, 10), "9JJJJJJJJJ");
  EXPECT_EQ(h.call(-6, kSize - 9, 1), kFailed);
  EXPECT_EQ(h.call(-6, -1, 1), kFailed);
  EXPECT_EQ(h.call(-5, kSize - 10), Ok(kValueMax));
  EXPECT_EQ(h.call(-5, 100), Ok(NIL));
  EXPECT_EQ(h.call(-5, kSize - 9), kFailed);
  EXPECT_EQ(h.call(-5, -1), kFailed);
  EXPECT_EQ(h.call(-5, 200), kFailed);  // "." is not the head of a cell
}

TEST(SystemServices, ExecutedCountIsNilBeyondTheValueRange) {
  HostHarness h(kSize);
  h.machine().executed = 12;
  EXPECT_EQ(h.call(-7), Ok(12));
  h.machine().executed = kValueMax;
  EXPECT_EQ(h.call(-7), Ok(kValueMax));
  h.machine().executed = kValueMax + 1;
  EXPECT_EQ(h.call(-7), Ok(NIL));
}

TEST(SystemServices, SetSpeedCountsChangesAndYields) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(-9, 0), Ok(0));
  EXPECT_EQ(h.machine().status, status_budget_reached);
  EXPECT_EQ(h.host().speed, 0u);
  EXPECT_EQ(h.call(-9, 0), Ok(0));  // the same value still counts as a change
  EXPECT_EQ(h.host().speed_changes, 2u);
  h.machine().status = status_ready;
  EXPECT_EQ(h.call(-9, -1), kFailed);
  EXPECT_EQ(h.call(-9, NIL), kFailed);
  EXPECT_EQ(h.machine().status, status_ready);
  EXPECT_EQ(h.host().speed_changes, 2u);
  EXPECT_EQ(h.call(-9, 1'000), Ok(1'000));
  EXPECT_EQ(h.call(-8), Ok(1'000));
}

TEST(SystemServices, SleepSetsTheWakeTimeFromTheSpeed) {
  HostHarness h(kSize);
  const uint64_t before = clock_now_ns();
  EXPECT_EQ(h.call(-10, 64'000'000), Ok(64'000'000));
  EXPECT_EQ(h.machine().status, status_budget_reached);
  EXPECT_GE(h.host().wake_ns, before + 1'000'000'000);
  EXPECT_LE(h.host().wake_ns, clock_now_ns() + 1'000'000'000);
  EXPECT_EQ(h.call(-10, 0), Ok(0));  // a zero sleep replaces the wake time and still yields
  EXPECT_LE(h.host().wake_ns, clock_now_ns());
  EXPECT_EQ(h.call(-10, kValueMax), Ok(kValueMax));
  EXPECT_GT(h.host().wake_ns, clock_now_ns() + 7'000'000'000'000);
  h.host().speed = 0;
  EXPECT_EQ(h.call(-10, kValueMax), Ok(kValueMax));  // unpaced: no sleep
  EXPECT_LE(h.host().wake_ns, clock_now_ns());
  h.host().speed = 1;
  EXPECT_EQ(h.call(-10, kValueMax), Ok(kValueMax));  // beyond 2^64 ns: saturates
  EXPECT_EQ(h.host().wake_ns, UINT64_MAX);
  EXPECT_EQ(h.call(-10, -1), kFailed);
  EXPECT_EQ(h.call(-10, NIL), kFailed);
}

TEST(SystemServices, HaltRequestsAndYields) {
  HostHarness h(kSize);
  EXPECT_EQ(h.call(-11), Ok(0));
  EXPECT_EQ(h.host().halt_request, 1);
  EXPECT_EQ(h.machine().status, status_budget_reached);
}

TEST(SystemServices, ElapsedTimeCountsMillisecondsSinceStart) {
  HostHarness h(kSize);
  h.host().start_ns = clock_now_ns() - 2'500'000'000;
  const auto elapsed = h.call(-12);
  ASSERT_TRUE(elapsed.ok);
  EXPECT_GE(elapsed.value, 2'500);
  EXPECT_LT(elapsed.value, 60'000);
}

TEST(SystemServices, ReadCursorMovesOnlyOnSuccess) {
  HostHarness h(kSize);
  ASSERT_TRUE(h.memory.load("+9000000005-", 500));
  EXPECT_EQ(h.call(-13, 500), Ok(500));
  EXPECT_EQ(h.call(-14), Ok(26));
  EXPECT_EQ(h.call(-15), Ok(5));
  EXPECT_EQ(h.host().read_cursor, 511u);
  EXPECT_EQ(h.call(-15), kFailed);  // "-" does not start a cell
  EXPECT_EQ(h.host().read_cursor, 511u);
  EXPECT_EQ(h.call(-14), Ok(0));
  EXPECT_EQ(h.call(-13, kSize), Ok(kSize));
  EXPECT_EQ(h.call(-14), kFailed);
  EXPECT_EQ(h.call(-15), kFailed);
  EXPECT_EQ(h.host().read_cursor, kSize);
  EXPECT_EQ(h.call(-13, kSize + 1), kFailed);
  EXPECT_EQ(h.call(-13, -1), kFailed);
  EXPECT_EQ(h.host().read_cursor, kSize);
  h.memory.bytes[3 * 600] = 'q';
  EXPECT_EQ(h.call(-13, 600), Ok(600));
  EXPECT_EQ(h.call(-14), kFailed);
  EXPECT_EQ(h.host().read_cursor, 600u);
}

}  // namespace
}  // namespace quill
