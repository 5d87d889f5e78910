// The window's icon, drawn in code so that both window systems share it and no
// image file ships with the program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

inline constexpr size_t kIconSide = 32;  // pixels

// Writes the icon's kIconSide x kIconSide pixels, row by row from the top, as
// 0xAARRGGBB words (bytes B, G, R, A in memory, as both window systems take them).
void draw_window_icon(uint32_t (&pixels)[kIconSide * kIconSide]);

}  // namespace quill
