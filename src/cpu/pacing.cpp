#include "cpu/pacing.h"

#include "cpu/machine.h"

namespace quill {

Pause pause_for(uint64_t duration_ns) {
  constexpr uint64_t kNsPerMs = 1'000'000;
  if (duration_ns >= kLongestWaitMs * kNsPerMs) return Pause{false, kLongestWaitMs};
  if (duration_ns < kNsPerMs) return Pause{true, 0};
  return Pause{false, static_cast<uint32_t>(duration_ns / kNsPerMs)};
}

long double pacing_allowance(uint64_t elapsed_ns, uint64_t speed, uint64_t executed_since) {
  const long double due = static_cast<long double>(elapsed_ns) * static_cast<long double>(speed);
  return due / static_cast<long double>(kNsPerSecond) - static_cast<long double>(executed_since);
}

uint64_t batch_for_allowance(long double allowance, uint64_t limit) {
  if (!(allowance >= 1.0L)) return 0;
  if (allowance >= static_cast<long double>(limit)) return limit;
  return static_cast<uint64_t>(allowance);
}

uint64_t sleep_duration_ns(uint64_t instructions, uint64_t speed) {
  if (speed == 0) return 0;
  const uint64_t whole_seconds = instructions / speed;
  const uint64_t remainder = instructions % speed;
  if (whole_seconds > UINT64_MAX / kNsPerSecond) return UINT64_MAX;
  const auto fraction = static_cast<uint64_t>(static_cast<unsigned __int128>(remainder) * kNsPerSecond / speed);
  return saturating_add(whole_seconds * kNsPerSecond, fraction);
}

EndCheck runner_end_check(bool quit, bool stop, bool halt, uint32_t status) {
  if (quit) return EndCheck{true, (halt || stop) ? uint32_t{status_halted} : status};
  if (stop || halt) return EndCheck{true, status_halted};
  if (status >= status_halted) return EndCheck{true, stop ? uint32_t{status_halted} : status};
  return EndCheck{false, status};
}

}  // namespace quill
