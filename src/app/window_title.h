// The window's title once the processor has ended.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

inline constexpr char kWindowTitle[] = "Quillomar";
inline constexpr size_t kTitleCapacity = 128;

// Writes the final title into `out` (kTitleCapacity bytes): the stop message after
// F12, otherwise "Quillomar - " and the status text.
void format_final_title(bool stop_requested, uint32_t status, char* out);

}  // namespace quill
