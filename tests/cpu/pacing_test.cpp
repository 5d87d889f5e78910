// The pure arithmetic of pacing, exactly.
#include "cpu/pacing.h"

#include <gtest/gtest.h>

#include "cpu/machine.h"

namespace quill {
namespace {

TEST(Pause, ChoosesYieldShortWaitOrLongWaitByDuration) {
  struct Case {
    uint64_t ns;
    bool yield;
    uint32_t ms;
  } cases[] = {
      {0, true, 0},
      {999'999, true, 0},
      {1'000'000, false, 1},
      {1'999'999, false, 1},
      {2'000'000, false, 2},
      {9'999'999, false, 9},
      {10'000'000, false, 10},
      {UINT64_MAX, false, 10},
      {period_ns(100), false, 10},
      {period_ns(500), false, 2},
      {period_ns(1'001), true, 0},
      {period_ns(64'000'000), true, 0},
  };
  for (const Case& c : cases) {
    const Pause p = pause_for(c.ns);
    EXPECT_EQ(p.yield, c.yield) << c.ns;
    EXPECT_EQ(p.wait_ms, c.ms) << c.ns;
  }
  EXPECT_EQ(period_ns(64'000'000), 15u);
}

TEST(Allowance, IsElapsedTimesSpeedMinusExecutedInExtendedPrecision) {
  EXPECT_EQ(pacing_allowance(1'000'000'000, 1'000, 0), 1000.0L);
  EXPECT_EQ(pacing_allowance(1'500'000, 1'000, 0), 1.5L);
  EXPECT_EQ(pacing_allowance(1'000'000, 1'000, 1), 0.0L);
  EXPECT_EQ(pacing_allowance(0, 64'000'000, 5), -5.0L);
  // A product far beyond 2^64 that doubles would round: one hour at the highest
  // speed a cell can set, minus all but three of the instructions due.
  const uint64_t hour_ns = 3'600'000'000'000;
  const uint64_t speed = 511'999'999'999;
  const uint64_t due = 1'843'199'999'996'400;  // hour_ns * speed / 1e9
  EXPECT_EQ(pacing_allowance(hour_ns, speed, due - 3), 3.0L);
  // The elapsed time and the count are differences taken as unsigned values.
  EXPECT_EQ(pacing_allowance(UINT64_MAX, 1, 0), static_cast<long double>(UINT64_MAX) / 1e9L);
}

TEST(Allowance, BatchIsZeroBelowOneTruncatedBetweenAndCappedAtTheLimit) {
  EXPECT_EQ(batch_for_allowance(-3.0L, kRunnerBatch), 0u);
  EXPECT_EQ(batch_for_allowance(0.999L, kRunnerBatch), 0u);
  EXPECT_EQ(batch_for_allowance(1.0L, kRunnerBatch), 1u);
  EXPECT_EQ(batch_for_allowance(65'535.9L, kRunnerBatch), 65'535u);
  EXPECT_EQ(batch_for_allowance(65'536.0L, kRunnerBatch), 65'536u);
  EXPECT_EQ(batch_for_allowance(1e30L, kRunnerBatch), 65'536u);
  EXPECT_EQ(batch_for_allowance(500.5L, 7), 7u);  // a core's budget left
}

TEST(SleepDuration, IsInstructionTimesAtTheSpeed) {
  EXPECT_EQ(sleep_duration_ns(64'000'000, 64'000'000), 1'000'000'000u);
  EXPECT_EQ(sleep_duration_ns(64'000, 64'000'000), 1'000'000u);
  EXPECT_EQ(sleep_duration_ns(0, 64'000'000), 0u);
  EXPECT_EQ(sleep_duration_ns(511'999'999'999, 0), 0u);  // unpaced: no sleep at all
  EXPECT_EQ(sleep_duration_ns(1, 3), 333'333'333u);      // truncated
  EXPECT_EQ(sleep_duration_ns(2, 3), 666'666'666u);
}

TEST(SleepDuration, SaturatesAtTheLimitsAndKeepsThe128BitRemainder) {
  // q = 18,446,744,073 still fits; one more second does not.
  EXPECT_EQ(sleep_duration_ns(18'446'744'073, 1), 18'446'744'073'000'000'000u);
  EXPECT_EQ(sleep_duration_ns(18'446'744'074, 1), UINT64_MAX);
  // q at the limit plus a remainder that pushes the sum over 2^64 - 1.
  EXPECT_EQ(sleep_duration_ns(184'467'440'737, 10), 18'446'744'073'700'000'000u);
  EXPECT_EQ(sleep_duration_ns(184'467'440'739, 10), UINT64_MAX);
  // r * 1e9 needs more than 64 bits: r = speed - 1 with a speed near the cell limit.
  const uint64_t speed = 511'999'999'999;
  EXPECT_EQ(sleep_duration_ns(speed - 1, speed), 999'999'999u);
  EXPECT_EQ(sleep_duration_ns(speed + speed / 2, speed), 1'499'999'999u);
  EXPECT_EQ(saturating_add(UINT64_MAX - 1, 1), UINT64_MAX);
  EXPECT_EQ(saturating_add(UINT64_MAX - 1, 2), UINT64_MAX);
  EXPECT_EQ(saturating_add(5, 6), 11u);
}

TEST(RunnerEnd, FinalStatusFollowsTheCause) {
  struct Case {
    bool quit, stop, halt;
    uint32_t status;
    bool ends;
    uint32_t after;
  } cases[] = {
      {false, false, false, status_ready, false, status_ready},
      {false, false, false, status_budget_reached, false, status_budget_reached},
      {true, false, false, status_budget_reached, true, status_budget_reached},  // closed: unchanged
      {true, false, true, status_ready, true, status_halted},                    // close while halting
      {true, true, false, status_memory_end, true, status_halted},
      {false, true, false, status_ready, true, status_halted},  // stop key
      {false, false, true, status_budget_reached, true, status_halted},
      {false, false, false, status_halted, true, status_halted},
      {false, false, false, status_invalid_destination, true, status_invalid_destination},
  };
  for (const Case& c : cases) {
    const EndCheck check = runner_end_check(c.quit, c.stop, c.halt, c.status);
    EXPECT_EQ(check.ends, c.ends) << c.quit << c.stop << c.halt << " " << c.status;
    EXPECT_EQ(check.status, c.after) << c.quit << c.stop << c.halt << " " << c.status;
  }
}

}  // namespace
}  // namespace quill
