// Auxiliary cores through their host calls: parameter blocks, slots, budgets,
// results, stops and restarts. The test thread plays the main runner.
#include "host/cores.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "support/host_harness.h"

namespace quill {
namespace {

using test::CallResult;
using test::HostHarness;
using test::kFailed;
using test::Ok;

constexpr uint64_t kBlock = 60'000;      // where the parameter block goes
constexpr char kLoop[] = "B4 >1 ~0001";  // jumps back to 0 forever, 3 instructions a turn

struct Cores : HostHarness {
  Cores() { EXPECT_EQ(call(host_call::sys_set_speed, 0), Ok(0)); }  // unpaced unless a test says otherwise

  CallResult start(int64_t source, int64_t length, int64_t acc, int64_t budget, int64_t slot = NIL) {
    const int64_t cells[4] = {source, length, acc, budget};
    for (uint64_t i = 0; i < 4; ++i) {
      if (!write_cell(memory.data(), memory.size, kBlock + 10 * i, cells[i])) return CallResult{};
    }
    return call(host_call::core_start, kBlock, slot);
  }

  // The slot's state once it no longer runs (or 1 after ten seconds).
  int64_t settle(int64_t slot) {
    const uint64_t deadline = clock_now_ns() + 10'000'000'000;
    CallResult state = call(host_call::core_state, slot);
    while (state == Ok(core_running) && clock_now_ns() < deadline) {
      sleep_ms(1);
      state = call(host_call::core_state, slot);
    }
    return state.value;
  }
};

TEST(Cores, ACoreRunsOnACopyFromItsAddressZero) {
  Cores c;
  // At main address 1,000: store 5 at the core's address 50, then halt with acc = 51.
  ASSERT_TRUE(c.memory.load("15 >1 22A =01 .", 1'000));
  EXPECT_EQ(c.call(host_call::core_count), Ok(3));
  EXPECT_EQ(c.call(host_call::core_state, 0), Ok(core_idle));
  EXPECT_EQ(c.start(1'000, 100, 7, NIL), Ok(0));
  EXPECT_EQ(c.settle(0), core_finished);
  EXPECT_EQ(c.call(host_call::core_result, 0), Ok(51));
  EXPECT_EQ(c.call(host_call::core_executed, 0), Ok(5));
  EXPECT_EQ(c.host().cores[0].budget, kCoreDefaultBudget);
  EXPECT_EQ(tryte_value_at(c.host().cores[0].machine.memory, 50), 4);  // packed 5: one tryte, 5 - 1
  EXPECT_EQ(c.memory.symbols(1'050, 1), ".");                          // main memory untouched
}

TEST(Cores, AHaltingCoreReturnsItsInitialAccumulator) {
  Cores c;
  ASSERT_TRUE(c.memory.load(".", 2'000));
  EXPECT_EQ(c.start(2'000, 1, 7, NIL), Ok(0));
  EXPECT_EQ(c.settle(0), core_finished);
  EXPECT_EQ(c.call(host_call::core_result, 0), Ok(7));
}

TEST(Cores, TheBudgetIsExactlyReached) {
  Cores c;
  ASSERT_TRUE(c.memory.load(kLoop, 3'000));
  EXPECT_EQ(c.start(3'000, 9, 0, 100'000), Ok(0));
  EXPECT_EQ(c.settle(0), core_failed);
  EXPECT_EQ(c.call(host_call::core_executed, 0), Ok(100'000));
  EXPECT_EQ(c.call(host_call::core_result, 0), Ok(NIL));
  // A halt on the very last instruction of the budget counts as a halt.
  ASSERT_TRUE(c.memory.load("15 .", 3'100));
  EXPECT_EQ(c.start(3'100, 3, 0, 2), Ok(0));
  EXPECT_EQ(c.settle(0), core_finished);
  EXPECT_EQ(c.call(host_call::core_result, 0), Ok(5));
}

TEST(Cores, RunningOffTheCopyOrCallingTheHostBehaveAsWithoutAHost) {
  Cores c;
  ASSERT_TRUE(c.memory.load("15", 4'000));
  EXPECT_EQ(c.start(4'000, 2, 0, NIL), Ok(0));
  EXPECT_EQ(c.settle(0), core_failed);  // memory end
  EXPECT_EQ(c.host().cores[0].machine.status, status_memory_end);
  ASSERT_TRUE(c.memory.load("B1 >0 =01 .", 4'100));  // a host call: acc NIL, goes on
  EXPECT_EQ(c.start(4'100, 8, 9, NIL), Ok(0));
  EXPECT_EQ(c.settle(0), core_finished);
  EXPECT_EQ(c.call(host_call::core_result, 0), Ok(NIL));
  EXPECT_EQ(c.call(host_call::core_executed, 0), Ok(4));
}

TEST(Cores, SlotsAreChosenInOrderAndNeverTakenTwice) {
  Cores c;
  ASSERT_TRUE(c.memory.load(kLoop, 5'000));
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax, 1), Ok(1));
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax, 1), Ok(NIL));  // slot 1 runs
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax, 5), Ok(NIL));
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax, -1), Ok(NIL));
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax), Ok(0));
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax), Ok(2));
  EXPECT_EQ(c.start(5'000, 9, 0, kValueMax), Ok(NIL));
  EXPECT_EQ(c.call(host_call::core_result, 1), Ok(NIL));  // running: no result
  EXPECT_EQ(c.call(host_call::core_stop, 1), Ok(0));
  EXPECT_EQ(c.settle(1), core_failed);
  EXPECT_EQ(c.call(host_call::core_state, 0), Ok(core_running));
  EXPECT_EQ(c.call(host_call::core_stop, NIL), Ok(0));
  EXPECT_EQ(c.settle(0), core_failed);
  EXPECT_EQ(c.settle(2), core_failed);
  EXPECT_EQ(c.call(host_call::core_result, 2), Ok(NIL));
}

TEST(Cores, AFinishedSlotStartsAgainWithAFreshResult) {
  Cores c;
  ASSERT_TRUE(c.memory.load(".", 6'000));
  ASSERT_EQ(c.start(6'000, 1, 11, NIL, 2), Ok(2));
  ASSERT_EQ(c.settle(2), core_finished);
  ASSERT_TRUE(c.memory.load(kLoop, 6'100));
  EXPECT_EQ(c.start(6'100, 9, 0, kValueMax, 2), Ok(2));
  EXPECT_EQ(c.call(host_call::core_result, 2), Ok(NIL));
  EXPECT_EQ(c.call(host_call::core_stop, 2), Ok(0));
  EXPECT_EQ(c.settle(2), core_failed);
  EXPECT_EQ(c.start(6'000, 1, 12, NIL, 2), Ok(2));
  EXPECT_EQ(c.settle(2), core_finished);
  EXPECT_EQ(c.call(host_call::core_result, 2), Ok(12));
}

TEST(Cores, BadParameterBlocksFailAndChangeNothing) {
  Cores c;
  const int64_t size = static_cast<int64_t>(c.memory.size);
  struct Case {
    int64_t source, length, budget;
  } cases[] = {
      {0, 0, NIL},    {0, 262'145, NIL}, {-1, 10, NIL}, {NIL, 10, NIL}, {size - 9, 10, NIL},
      {size, 1, NIL}, {0, 10, 0},        {0, 10, -1},   {0, NIL, NIL},
  };
  for (const Case& bad : cases) {
    EXPECT_EQ(c.start(bad.source, bad.length, 0, bad.budget), kFailed) << bad.source << " " << bad.length;
  }
  EXPECT_EQ(c.start(size - 10, 10, 0, 1), Ok(0));  // the last ten trytes are fine
  EXPECT_EQ(c.settle(0), core_finished);
  EXPECT_EQ(c.call(host_call::core_start, -1), kFailed);
  EXPECT_EQ(c.call(host_call::core_start, NIL), kFailed);
  EXPECT_EQ(c.call(host_call::core_start, size - 39), kFailed);  // the block itself runs off the end
  ASSERT_TRUE(c.memory.load("8", kBlock + 20));                  // the accumulator cell is not a cell
  EXPECT_EQ(c.call(host_call::core_start, kBlock), kFailed);
  EXPECT_EQ(c.call(host_call::core_state, 1), Ok(core_idle));
  EXPECT_EQ(c.call(host_call::core_state, 2), Ok(core_idle));
}

TEST(Cores, SlotNumbersAreCheckedUnsigned) {
  Cores c;
  for (int64_t type : {host_call::core_state, host_call::core_result, host_call::core_executed, host_call::core_stop}) {
    EXPECT_EQ(c.call(type, 3), kFailed) << type;
    EXPECT_EQ(c.call(type, -1), kFailed) << type;
    if (type != host_call::core_stop) {
      EXPECT_EQ(c.call(type, NIL), kFailed) << type;
    }
  }
  EXPECT_EQ(c.call(host_call::core_result, 0), Ok(NIL));  // idle
  EXPECT_EQ(c.call(host_call::core_executed, 0), Ok(0));
}

TEST(Cores, PacedCoresRunAtTheSharedSpeed) {
  Cores c;
  ASSERT_TRUE(c.memory.load(kLoop, 7'000));
  ASSERT_EQ(c.call(host_call::sys_set_speed, 2'000), Ok(2'000));
  const uint64_t began = clock_now_ns();
  ASSERT_EQ(c.start(7'000, 9, 0, 300), Ok(0));
  EXPECT_EQ(c.settle(0), core_failed);
  EXPECT_EQ(c.call(host_call::core_executed, 0), Ok(300));
  EXPECT_GE(clock_now_ns() - began, 100'000'000u);  // 300 at 2,000 a second: about 150 ms
}

// The user's stop is for good: a core started after it, or while it is being
// made, never executes an instruction (the start itself still succeeds).
TEST(Cores, NoCoreRunsAfterTheUsersStop) {
  Cores c;
  ASSERT_TRUE(c.memory.load(kLoop, 9'000));
  ASSERT_EQ(c.start(9'000, 9, 0, kValueMax, 0), Ok(0));
  processor_request_stop(*c.processor);
  EXPECT_EQ(c.settle(0), core_failed);
  for (int slot = 0; slot < kCoreCount; ++slot) {
    EXPECT_EQ(c.start(9'000, 9, 0, 1'000, slot), Ok(slot));
    EXPECT_EQ(c.settle(slot), core_failed);
    EXPECT_EQ(c.call(-26, slot), Ok(0)) << slot;
  }
}

TEST(Cores, ShutdownStopsAndJoinsRunningCores) {
  Cores c;
  ASSERT_TRUE(c.memory.load(kLoop, 8'000));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(c.start(8'000, 9, 0, kValueMax), Ok(i));
  cores_shutdown(c.host());
  for (const CoreSlot& slot : c.host().cores) {
    EXPECT_FALSE(slot.thread.started);
    EXPECT_EQ(slot.machine.memory, nullptr);
    EXPECT_EQ(slot.state, core_failed);
  }
}

}  // namespace
}  // namespace quill
