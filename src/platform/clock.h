// Time: the monotonic clock, the calendar, giving up the processor, and short sleeps.
#pragma once

#include <cstdint>

namespace quill {

// Nanoseconds on a clock that never goes back, from an arbitrary start. Any thread.
[[nodiscard]] uint64_t clock_now_ns();

// The local date and time, to the second.
struct CalendarTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The calendar time now, in the local time zone; false when the system cannot
// tell (`out` untouched then). Any thread.
[[nodiscard]] bool clock_local_time(CalendarTime& out);

// Offers the rest of the calling thread's time slice to another ready thread.
void thread_yield();

// Sleeps the calling thread for about `ms` milliseconds.
void sleep_ms(uint32_t ms);

}  // namespace quill
