// The file name F2 writes the picture to: the date and time, and a number after
// them when that name is taken, so no picture is ever written over.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace quill {

inline constexpr size_t kScreenshotNameCapacity = 48;
inline constexpr uint32_t kScreenshotAttempts = 100;

// "quillomar-YYYYMMDD-HHMMSS.png" for attempt 0, "...-HHMMSS-N.png" with N =
// attempt + 1 after it, into `out` (kScreenshotNameCapacity bytes). False when
// the time is out of range for that form (`out` untouched then).
[[nodiscard]] bool screenshot_name(const CalendarTime& time, uint32_t attempt, char* out);

}  // namespace quill
