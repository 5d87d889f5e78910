#include "platform/clock.h"

#include <errno.h>
#include <sched.h>
#include <time.h>

namespace quill {

uint64_t clock_now_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(now.tv_nsec);
}

bool clock_local_time(CalendarTime& out) {
  const time_t now = time(nullptr);
  tm local{};
  if (now == static_cast<time_t>(-1) || localtime_r(&now, &local) == nullptr) return false;
  out = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  return true;
}

void thread_yield() { (void)sched_yield(); }

void sleep_ms(uint32_t ms) {
  timespec duration{};
  duration.tv_sec = static_cast<time_t>(ms / 1000);
  duration.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000;
  while (nanosleep(&duration, &duration) != 0 && errno == EINTR) {
  }
}

}  // namespace quill
