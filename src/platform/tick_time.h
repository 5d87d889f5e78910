// Converting a tick count of a counter that runs at a fixed frequency into
// nanoseconds without overflow, for clocks that report ticks (the Windows
// performance counter).
#pragma once

#include <cstdint>

namespace quill {

// (count / frequency) s plus the remainder's share of a second. The remainder
// product stays below frequency × 10^9, which fits in 64 bits for every
// frequency under 18.4 GHz; the result wraps only after 584 years of ticks.
[[nodiscard]] constexpr uint64_t ticks_to_ns(uint64_t count, uint64_t frequency) {
  constexpr uint64_t kNsPerSecond = 1'000'000'000;
  return (count / frequency) * kNsPerSecond + ((count % frequency) * kNsPerSecond) / frequency;
}

}  // namespace quill
