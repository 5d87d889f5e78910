#include "platform/clock.h"

#include <windows.h>

#include "platform/tick_time.h"

namespace quill {

// The frequency is read on every call, after the count, as the system documents
// it to be fixed at boot; reading it costs next to nothing.
uint64_t clock_now_ns() {
  LARGE_INTEGER count{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart <= 0) return 0;
  return ticks_to_ns(static_cast<uint64_t>(count.QuadPart), static_cast<uint64_t>(frequency.QuadPart));
}

bool clock_local_time(CalendarTime& out) {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  out = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  return true;
}

void thread_yield() { (void)SwitchToThread(); }

void sleep_ms(uint32_t ms) { Sleep(ms); }

}  // namespace quill
