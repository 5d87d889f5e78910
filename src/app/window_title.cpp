#include "app/window_title.h"

#include <cstdio>

#include "cpu/machine.h"

namespace quill {

void format_final_title(bool stop_requested, uint32_t status, char* out) {
  if (stop_requested) {
    std::snprintf(out, kTitleCapacity, "%s", "Quillomar - processor stopped (F12)");
    return;
  }
  std::snprintf(out, kTitleCapacity, "Quillomar - %s", status_text(status));
}

}  // namespace quill
