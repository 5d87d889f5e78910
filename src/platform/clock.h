// Time: the monotonic clock, giving up the processor, and short sleeps.
#pragma once

#include <cstdint>

namespace quill {

// Nanoseconds on a clock that never goes back, from an arbitrary start. Any thread.
[[nodiscard]] uint64_t clock_now_ns();

// Offers the rest of the calling thread's time slice to another ready thread.
void thread_yield();

// Sleeps the calling thread for about `ms` milliseconds.
void sleep_ms(uint32_t ms);

}  // namespace quill
