// The arithmetic of pacing a processor to a number of instructions per second:
// how many instructions are due, how to pause, and how long a sleep lasts. Pure
// functions, shared by the main runner and the auxiliary cores.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr uint64_t kRunnerBatch = 65'536;  // most steps between two looks at the flags
inline constexpr uint64_t kNsPerSecond = 1'000'000'000;
inline constexpr uint32_t kLongestWaitMs = 10;  // no wait on the wake event lasts longer

// One pause of the main runner: give up the time slice, or wait on the wake event.
struct Pause {
  bool yield = false;    // true: yield once; false: wait up to wait_ms
  uint32_t wait_ms = 0;  // 1..10 when not yielding
};

// How to pause for `duration_ns`: 10 ms or more waits 10 ms, under 1 ms yields,
// anything between waits its whole milliseconds (1..9).
[[nodiscard]] Pause pause_for(uint64_t duration_ns);

// Nanoseconds between two instructions at `speed` (> 0), truncated.
[[nodiscard]] constexpr uint64_t period_ns(uint64_t speed) { return kNsPerSecond / speed; }

// Instructions due: elapsed_ns * speed / 1e9 - executed_since, in extended
// precision (each integer converted as unsigned, product first), so the
// answer stays exact far beyond what doubles would keep.
[[nodiscard]] long double pacing_allowance(uint64_t elapsed_ns, uint64_t speed, uint64_t executed_since);

// The batch that an allowance permits, at most `limit`: 0 when under one
// instruction is due (the runner pauses), else the allowance truncated.
[[nodiscard]] uint64_t batch_for_allowance(long double allowance, uint64_t limit);

// A sleep of `instructions` instruction times at `speed`, in nanoseconds: 0 at
// speed 0, and 2^64 - 1 when it does not fit in 64 bits.
[[nodiscard]] uint64_t sleep_duration_ns(uint64_t instructions, uint64_t speed);

// a + b, or 2^64 - 1 when the sum does not fit.
[[nodiscard]] constexpr uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// What the main runner does about its flags before a batch.
struct EndCheck {
  bool ends = false;    // the runner stops here
  uint32_t status = 0;  // the machine's status afterwards
};

// The end rules, in order: quit ends (halted when a halt or a stop was also
// asked for, else the status stays); a stop or a halt request ends halted; a
// stopped machine ends, as it is unless a stop was asked for at that moment.
[[nodiscard]] EndCheck runner_end_check(bool quit, bool stop, bool halt, uint32_t status);

}  // namespace quill
