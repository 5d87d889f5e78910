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

// Fills a client area of `width` x `height` pixels (`canvas`, rows of `width`
// pixels, top row first) the way the window shows it: black, with `picture`
// (kPictureWidth x kPictureHeight pixels, 0x00RRGGBB, top row first) scaled into
// its picture_layout place by nearest neighbour: canvas pixel (x, y) of the picture
// rectangle shows picture pixel ((x * 500) / width, (y * 320) / height), counted from
// the rectangle's corner.
void draw_picture(const uint32_t* picture, uint32_t* canvas, int64_t width, int64_t height);

// The window repaints for a framebuffer change only when a program has published a
// new frame since the last paint.
[[nodiscard]] constexpr bool frame_needs_repaint(uint64_t frame_counter, uint64_t painted_frame) {
  return frame_counter != painted_frame;
}

}  // namespace quill
