#include "app/screenshot_name.h"

#include <cstdio>
#include <cstring>

namespace quill {

bool screenshot_name(const CalendarTime& time, uint32_t attempt, char* out) {
  const bool in_range = time.year >= 0 && time.year <= 9999 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
                        time.day <= 31 && time.hour >= 0 && time.hour <= 23 && time.minute >= 0 && time.minute <= 59 &&
                        time.second >= 0 && time.second <= 60;  // 60: a leap second
  if (!in_range) return false;
  char name[kScreenshotNameCapacity];
  const int length = std::snprintf(name, sizeof name, "quillomar-%04d%02d%02d-%02d%02d%02d", time.year, time.month,
                                   time.day, time.hour, time.minute, time.second);
  const size_t used = static_cast<size_t>(length);
  if (attempt == 0) {
    std::snprintf(name + used, sizeof name - used, ".png");
  } else {
    std::snprintf(name + used, sizeof name - used, "-%u.png", attempt + 1);
  }
  std::memcpy(out, name, sizeof name);
  return true;
}

}  // namespace quill
