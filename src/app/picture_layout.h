// Where the 500 x 320 framebuffer goes in the window, and when to repaint.
// Pure arithmetic, shared by every window backend.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr int64_t kPictureWidth = 500;
inline constexpr int64_t kPictureHeight = 320;

struct PictureRect {
  int64_t x = 0;
  int64_t y = 0;
  int64_t width = 0;
  int64_t height = 0;
};

// The picture's place in a client area of the given size: the largest whole-number
// scale that fits, or, when not even scale 1 fits, the largest 500:320 rectangle;
// centred, truncating. Returns false (out untouched) when the picture would have no
// area, so only the black background is drawn.
[[nodiscard]] bool picture_layout(int64_t client_width, int64_t client_height, PictureRect& out);

// The window repaints for a framebuffer change only when a program has published a
// new frame since the last paint.
[[nodiscard]] constexpr bool frame_needs_repaint(uint64_t frame_counter, uint64_t painted_frame) {
  return frame_counter != painted_frame;
}

}  // namespace quill
