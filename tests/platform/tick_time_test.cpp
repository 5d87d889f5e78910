// Tick counts to nanoseconds: exact (the floor of count × 10^9 / frequency) for
// the counts and frequencies real counters reach, with no overflow on the way.
#include "platform/tick_time.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

uint64_t exact_ns(uint64_t count, uint64_t frequency) {
  return static_cast<uint64_t>(static_cast<unsigned __int128>(count) * 1'000'000'000u / frequency);
}

TEST(TickTime, SmallCountsRoundDown) {
  EXPECT_EQ(ticks_to_ns(0, 10'000'000), 0u);
  EXPECT_EQ(ticks_to_ns(1, 10'000'000), 100u);  // the common 10 MHz counter
  EXPECT_EQ(ticks_to_ns(1, 3), 333'333'333u);
  EXPECT_EQ(ticks_to_ns(2, 3), 666'666'666u);
  EXPECT_EQ(ticks_to_ns(3, 3), 1'000'000'000u);
  EXPECT_EQ(ticks_to_ns(1'000'000'000, 1'000'000'000), 1'000'000'000u);
}

// A plain count × 10^9 would overflow after 30 minutes of a 10 MHz counter; the
// split stays exact for years of uptime and for gigahertz counters.
TEST(TickTime, LargeCountsAndFrequenciesStayExact) {
  const uint64_t frequencies[] = {1'000, 3'579'545, 10'000'000, 2'400'000'000, 18'000'000'000};
  const uint64_t seconds[] = {1'800, 86'400 * 365, 86'400 * 365 * 50};
  for (uint64_t f : frequencies) {
    for (uint64_t s : seconds) {
      for (uint64_t extra : {uint64_t{0}, uint64_t{1}, f / 2, f - 1}) {
        const uint64_t count = s * f + extra;
        EXPECT_EQ(ticks_to_ns(count, f), exact_ns(count, f)) << count << " at " << f;
      }
    }
  }
  const uint64_t largest = (uint64_t{1} << 63) - 1;  // the counter's largest value
  EXPECT_EQ(ticks_to_ns(largest, 10'000'000), exact_ns(largest, 10'000'000));
  EXPECT_EQ(ticks_to_ns(largest, 1'000'000'000), largest);
}

}  // namespace
}  // namespace quill
