// Ternary colours: the reference table, every code, and colour values.
#include "host/color.h"

#include <gtest/gtest.h>

#include "codec/tryte.h"

namespace quill {
namespace {

bool same(TernaryColor a, TernaryColor b) { return a.l == b.l && a.u == b.u && a.v == b.v; }

TEST(Color, ReferenceColoursGiveTheirRgbAndCode) {
  struct Case {
    TernaryColor color;
    uint32_t rgb;
    uint16_t code;
  } cases[] = {
      {{9, 0, 0}, 0xFFFFFF, 3600}, {{-9, 0, 0}, 0x000000, 7600}, {{0, 0, 0}, 0x7F7F7F, 0},
      {{0, 9, 0}, 0xFE007F, 180},  {{0, -9, 0}, 0x00FE7F, 380},  {{0, 0, 9}, 0xBEBE00, 9},
      {{0, 0, -9}, 0x4040FE, 19},  {{5, 3, -2}, 0xD3ADD2, 2072},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(color_rgb(c.color), c.rgb) << c.code;
    EXPECT_EQ(color_code(c.color), c.code);
    EXPECT_TRUE(same(decode_color_code(c.code), c.color)) << c.code;
  }
}

TEST(Color, EveryColourRoundTripsThroughItsCodeAndStaysInRange) {
  int colours = 0;
  for (int l = -9; l <= 9; ++l) {
    for (int u = -9; u <= 9; ++u) {
      for (int v = -9; v <= 9; ++v) {
        const TernaryColor c{l, u, v};
        const uint16_t code = color_code(c);
        ASSERT_LE(code, 7999);
        ASSERT_TRUE(same(decode_color_code(code), c)) << code;
        const uint32_t rgb = color_rgb(c);
        ASSERT_EQ(rgb >> 24, 0u);
        if (l == -9) {
          ASSERT_EQ(rgb, 0u);  // chroma has no effect at black and white
        }
        if (l == 9) {
          ASSERT_EQ(rgb, 0xFFFFFFu);
        }
        ++colours;
      }
    }
  }
  EXPECT_EQ(colours, 6859);
}

TEST(Color, CodesWithTheDigitTenDecodeItAsZero) {
  // Such codes are never stored, but decoding them must not invent a component.
  EXPECT_TRUE(same(decode_color_code(4000 + 200 + 10), TernaryColor{0, 0, 0}));
  EXPECT_TRUE(same(decode_color_code(8000), TernaryColor{0, 0, 0}));
  EXPECT_TRUE(same(decode_color_code(65535), TernaryColor{0, 0, 0}));
}

TEST(ColorValue, SetsDigitsKeepsTenAndNegatesForNegativeValues) {
  struct Case {
    int64_t value;
    TernaryColor expected;
  } cases[] = {
      {3600, {9, 0, 0}}, {-7600, {9, 0, 0}},  {7600, {-9, 0, 0}}, {-3600, {-9, 0, 0}},
      {4205, {2, 3, 5}},  // digits 10, 10, 5: L and U kept
      {0, {0, 0, 0}},    {-4205, {2, 3, -5}}, {2072, {5, 3, -2}}, {-2072, {-5, -3, 2}},
  };
  for (const Case& c : cases) {
    TernaryColor color{2, 3, 4};
    ASSERT_TRUE(apply_color_value(color, c.value)) << c.value;
    EXPECT_TRUE(same(color, c.expected)) << c.value << ": " << color.l << " " << color.u << " " << color.v;
  }
}

TEST(ColorValue, NilChangesNothingAndMagnitudesAbove7999Fail) {
  TernaryColor color{2, 3, 4};
  EXPECT_TRUE(apply_color_value(color, NIL));
  EXPECT_TRUE(same(color, TernaryColor{2, 3, 4}));
  EXPECT_TRUE(apply_color_value(color, 7999));
  EXPECT_TRUE(apply_color_value(color, -7999));
  const TernaryColor before = color;
  EXPECT_FALSE(apply_color_value(color, 8000));
  EXPECT_FALSE(apply_color_value(color, -8000));
  EXPECT_FALSE(apply_color_value(color, kValueMax));
  EXPECT_TRUE(same(color, before));
}

}  // namespace
}  // namespace quill
