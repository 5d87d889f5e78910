// Ternary colours: three balanced components (luma L, red-green U, yellow-blue V,
// each -9..9), their three-digit base-20 codes, and the fixed formula that turns
// them into the 0x00RRGGBB pixels the window shows. Pure functions.
#pragma once

#include <cstdint>

namespace quill {

struct TernaryColor {
  int32_t l = 0;  // -9 black .. 9 white
  int32_t u = 0;  // towards red when positive, green when negative
  int32_t v = 0;  // towards yellow when positive, blue when negative
};

inline constexpr TernaryColor kWhite{9, 0, 0};
inline constexpr TernaryColor kBlack{-9, 0, 0};
inline constexpr uint16_t kBlackCode = 7600;
inline constexpr int64_t kColorValueMax = 7999;  // largest magnitude of a colour value

// The 0x00RRGGBB of a colour whose components lie in -9..9.
[[nodiscard]] uint32_t color_rgb(TernaryColor color);

// The code 400*dL + 20*dU + dV, a negative component c having the digit 10 - c.
[[nodiscard]] uint16_t color_code(TernaryColor color);

// The colour of a code: digits 0..9 are themselves, 11..19 are 10 - digit, 10 is 0;
// a code above 7999 is (0, 0, 0).
[[nodiscard]] TernaryColor decode_color_code(uint16_t code);

// Applies a colour value to `color`: NIL changes nothing; each base-20 digit of the
// magnitude sets its component (digit 10 keeps it), negated when the value is
// negative. False, changing nothing, when the magnitude exceeds 7999.
[[nodiscard]] bool apply_color_value(TernaryColor& color, int64_t value);

}  // namespace quill
