#include "app/picture_layout.h"

#include <cstring>

namespace quill {

bool picture_layout(int64_t client_width, int64_t client_height, PictureRect& out) {
  const int64_t w = client_width < 0 ? 0 : client_width;
  const int64_t h = client_height < 0 ? 0 : client_height;
  const int64_t by_width = w / kPictureWidth;
  const int64_t by_height = h / kPictureHeight;
  const int64_t scale = by_width < by_height ? by_width : by_height;
  int64_t width = 0;
  int64_t height = 0;
  if (scale >= 1) {
    width = kPictureWidth * scale;
    height = kPictureHeight * scale;
  } else if (w * kPictureHeight > h * kPictureWidth) {
    height = h;
    width = h * kPictureWidth / kPictureHeight;
  } else {
    width = w;
    height = w * kPictureHeight / kPictureWidth;
  }
  if (width <= 0 || height <= 0) return false;
  out = PictureRect{(w - width) / 2, (h - height) / 2, width, height};
  return true;
}

namespace {

// One canvas row of the picture: `width` pixels from the picture row `source`.
// The source column advances by 500 / width per pixel, kept as a whole part and a
// remainder so that no division happens per pixel.
void stretch_row(const uint32_t* source, uint32_t* out, int64_t width) {
  int64_t column = 0;
  int64_t remainder = 0;
  for (int64_t x = 0; x < width; ++x) {
    out[x] = source[column];
    remainder += kPictureWidth;
    while (remainder >= width) {
      remainder -= width;
      ++column;
    }
  }
}

}  // namespace

void draw_picture(const uint32_t* picture, uint32_t* canvas, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return;
  std::memset(canvas, 0, static_cast<size_t>(width * height) * sizeof(uint32_t));
  PictureRect rect;
  if (!picture_layout(width, height, rect)) return;
  int64_t previous_source = -1;
  for (int64_t y = 0; y < rect.height; ++y) {
    uint32_t* row = canvas + (rect.y + y) * width + rect.x;
    const int64_t source = y * kPictureHeight / rect.height;
    if (source == previous_source) {
      std::memcpy(row, row - width, static_cast<size_t>(rect.width) * sizeof(uint32_t));  // same picture row again
    } else {
      stretch_row(picture + source * kPictureWidth, row, rect.width);
    }
    previous_source = source;
  }
}

}  // namespace quill
