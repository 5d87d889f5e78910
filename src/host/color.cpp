#include "host/color.h"

#include "codec/tryte.h"

namespace quill {
namespace {

int32_t clamp_channel(int32_t c) { return c < 0 ? 0 : c > 255 ? 255 : c; }

uint16_t component_digit(int32_t c) { return static_cast<uint16_t>(c >= 0 ? c : 10 - c); }

int32_t digit_component(int64_t digit) {
  if (digit <= 9) return static_cast<int32_t>(digit);
  return static_cast<int32_t>(10 - digit);  // 10 gives 0, 11..19 give -1..-9
}

}  // namespace

uint32_t color_rgb(TernaryColor color) {
  const int32_t y = ((color.l + 9) * 255) / 18;
  const int32_t m = y < 255 - y ? y : 255 - y;
  const int32_t r = y + (color.u * m) / 9 + (color.v * m) / 18;
  const int32_t g = y - (color.u * m) / 9 + (color.v * m) / 18;
  const int32_t b = y - (color.v * m) / 9;
  return static_cast<uint32_t>(clamp_channel(r)) << 16 | static_cast<uint32_t>(clamp_channel(g)) << 8 |
         static_cast<uint32_t>(clamp_channel(b));
}

uint16_t color_code(TernaryColor color) {
  return static_cast<uint16_t>(400 * component_digit(color.l) + 20 * component_digit(color.u) +
                               component_digit(color.v));
}

TernaryColor decode_color_code(uint16_t code) {
  if (code > kColorValueMax) return TernaryColor{};
  return TernaryColor{digit_component(code / 400), digit_component((code / 20) % 20), digit_component(code % 20)};
}

bool apply_color_value(TernaryColor& color, int64_t value) {
  if (value == NIL) return true;
  if (value > kColorValueMax || value < -kColorValueMax) return false;
  const int32_t sign = value < 0 ? -1 : 1;
  const int64_t magnitude = value < 0 ? -value : value;
  const int64_t digits[3] = {magnitude / 400, (magnitude / 20) % 20, magnitude % 20};
  int32_t* components[3] = {&color.l, &color.u, &color.v};
  for (int i = 0; i < 3; ++i) {
    if (digits[i] != 10) *components[i] = sign * digit_component(digits[i]);
  }
  return true;
}

}  // namespace quill
