#include "app/picture_layout.h"

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

}  // namespace quill
