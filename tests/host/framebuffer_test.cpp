// Framebuffer services: bounds on both sides, what they paint, holds and the
// frame counter, and the copy the window paints from.
#include "host/framebuffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/host_harness.h"

namespace quill {
namespace {

using test::HostHarness;
using test::kFailed;
using test::Ok;

constexpr uint32_t kWhiteRgb = 0xFFFFFF;

struct Frame : HostHarness {
  uint64_t frames() { return host().frame_counter; }
  uint16_t code(int64_t i) { return host().color_codes[i]; }
  uint32_t rgb(int64_t i) { return host().pixels[i]; }
};

TEST(Framebuffer, StartsBlackWithWhiteAndBlackRegisters) {
  Frame f;
  EXPECT_EQ(f.call(host_call::fb_width), Ok(500));
  EXPECT_EQ(f.call(host_call::fb_height), Ok(320));
  EXPECT_EQ(f.call(host_call::fb_get_color1), Ok(3600));
  EXPECT_EQ(f.call(host_call::fb_get_color0), Ok(7600));
  EXPECT_EQ(f.call(host_call::fb_pixel_code, 0), Ok(7600));
  EXPECT_EQ(f.call(host_call::fb_pixel_code, 159'999), Ok(7600));
  EXPECT_EQ(f.call(host_call::fb_pixel_lit, 0), Ok(0));
  EXPECT_EQ(f.frames(), 0u);
}

TEST(Framebuffer, SetPixelBoundsAndSelectors) {
  Frame f;
  EXPECT_EQ(f.call(host_call::fb_set_pixel, 159'999, 1), Ok(159'999));
  EXPECT_EQ(f.rgb(159'999), kWhiteRgb);
  EXPECT_EQ(f.code(159'999), 3600);
  EXPECT_EQ(f.call(host_call::fb_pixel_lit, 159'999), Ok(1));
  EXPECT_EQ(f.frames(), 1u);
  EXPECT_EQ(f.call(host_call::fb_set_pixel, 160'000, 1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_set_pixel, -1, 1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_set_pixel, NIL, 1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_set_pixel, 0, 2), kFailed);
  EXPECT_EQ(f.call(host_call::fb_set_pixel, 0, NIL), kFailed);
  EXPECT_EQ(f.call(host_call::fb_pixel_lit, 160'000), kFailed);
  EXPECT_EQ(f.frames(), 1u);
  EXPECT_EQ(f.call(host_call::fb_set_pixel, 159'999, 0), Ok(159'999));
  EXPECT_EQ(f.rgb(159'999), 0u);
}

TEST(Framebuffer, PixelLitFollowsLuma) {
  Frame f;
  for (int64_t chroma : {int64_t{0}, int64_t{9}, int64_t{-9}, int64_t{5}}) {
    const int64_t c = chroma < 0 ? 10 - chroma : chroma;
    ASSERT_TRUE(f.call(host_call::fb_set_color1, 7600 + 20 * c + c).ok);  // L = -9
    ASSERT_TRUE(f.call(host_call::fb_set_pixel, 5, 1).ok);
    EXPECT_EQ(f.call(host_call::fb_pixel_lit, 5), Ok(0)) << chroma;
    ASSERT_TRUE(f.call(host_call::fb_set_color1, 3600 + 20 * c + c).ok);  // L = 9
    ASSERT_TRUE(f.call(host_call::fb_set_pixel, 5, 1).ok);
    EXPECT_EQ(f.call(host_call::fb_pixel_lit, 5), Ok(1)) << chroma;
  }
}

TEST(Framebuffer, ClearPaintsEveryPixel) {
  Frame f;
  EXPECT_EQ(f.call(host_call::fb_clear, 1), Ok(160'000));
  EXPECT_EQ(f.rgb(0), kWhiteRgb);
  EXPECT_EQ(f.rgb(159'999), kWhiteRgb);
  EXPECT_EQ(f.code(80'000), 3600);
  EXPECT_EQ(f.call(host_call::fb_clear, 2), kFailed);
  EXPECT_EQ(f.frames(), 1u);
}

TEST(Framebuffer, BitPatternPaintsBelowTheMarkerWithinTheRow) {
  Frame f;
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 0, 1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 0, 0), kFailed);
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 0, NIL), kFailed);
  ASSERT_EQ(f.call(host_call::fb_clear, 1), Ok(160'000));
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 10, 2), Ok(11));  // one pixel, colour 0
  EXPECT_EQ(f.rgb(10), 0u);
  ASSERT_EQ(f.call(host_call::fb_clear, 0), Ok(160'000));
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 20, 3), Ok(21));  // one pixel, colour 1
  EXPECT_EQ(f.rgb(20), kWhiteRgb);
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 0, 13), Ok(3));  // 1101: pattern 101
  EXPECT_EQ(f.rgb(0), kWhiteRgb);
  EXPECT_EQ(f.rgb(1), 0u);
  EXPECT_EQ(f.rgb(2), kWhiteRgb);
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 499, 4), kFailed);  // two pixels from the last column
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 498, 4), Ok(500));
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 159'999, 3), Ok(160'000));
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 160'000, 3), kFailed);
  EXPECT_EQ(f.call(host_call::fb_bit_pattern, 0, kValueMax), Ok(38));  // the longest pattern a cell holds
}

TEST(Framebuffer, ScrollMovesRowsUpAndPaintsTheBottom) {
  Frame f;
  ASSERT_TRUE(f.call(host_call::fb_set_pixel, 500, 1).ok);  // row 1, column 0
  ASSERT_TRUE(f.call(host_call::fb_set_pixel, 3, 1).ok);    // row 0, scrolled away
  EXPECT_EQ(f.call(host_call::fb_scroll_up, 1, 1), Ok(1));
  EXPECT_EQ(f.rgb(0), kWhiteRgb);
  EXPECT_EQ(f.code(0), 3600);
  EXPECT_EQ(f.rgb(3), 0u);
  EXPECT_EQ(f.rgb(500), 0u);
  EXPECT_EQ(f.rgb(159'500), kWhiteRgb);  // the new bottom row
  EXPECT_EQ(f.rgb(159'999), kWhiteRgb);
  EXPECT_EQ(f.rgb(159'499), 0u);
  const uint64_t before = f.frames();
  EXPECT_EQ(f.call(host_call::fb_scroll_up, 0, 0), Ok(0));  // nothing moves, still published
  EXPECT_EQ(f.frames(), before + 1);
  EXPECT_EQ(f.rgb(0), kWhiteRgb);
  EXPECT_EQ(f.call(host_call::fb_scroll_up, 320, 0), Ok(320));
  EXPECT_EQ(f.rgb(0), 0u);
  EXPECT_EQ(f.rgb(159'500), 0u);
  EXPECT_EQ(f.call(host_call::fb_scroll_up, 321, 0), kFailed);
  EXPECT_EQ(f.call(host_call::fb_scroll_up, -1, 0), kFailed);
  EXPECT_EQ(f.call(host_call::fb_scroll_up, 1, 3), kFailed);
}

TEST(Framebuffer, InvertTwiceRestoresAndStopsAtTheRowEnd) {
  Frame f;
  EXPECT_EQ(f.call(host_call::fb_invert_run, 1'000, 500), Ok(1'500));
  EXPECT_EQ(f.code(1'000), 3600);
  EXPECT_EQ(f.rgb(1'499), kWhiteRgb);
  EXPECT_EQ(f.rgb(1'500), 0u);
  EXPECT_EQ(f.call(host_call::fb_invert_run, 1'000, 500), Ok(1'500));
  EXPECT_EQ(f.code(1'000), 7600);
  EXPECT_EQ(f.rgb(1'000), 0u);
  EXPECT_EQ(f.call(host_call::fb_invert_run, 1'010, 490), Ok(1'500));
  EXPECT_EQ(f.call(host_call::fb_invert_run, 1'010, 491), kFailed);
  EXPECT_EQ(f.call(host_call::fb_invert_run, 1'010, -1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_invert_run, 160'000, 0), kFailed);
  EXPECT_EQ(f.call(host_call::fb_invert_run, 5, 0), Ok(5));
}

TEST(Framebuffer, FillRunsCrossRowsUpToTheEnd) {
  Frame f;
  ASSERT_TRUE(f.call(host_call::fb_set_color0, 3600).ok);  // colour 0 := white
  const uint64_t before = f.frames();
  EXPECT_EQ(f.call(host_call::fb_fill_run, 160'000, 0), Ok(160'000));
  EXPECT_EQ(f.frames(), before + 1);
  EXPECT_EQ(f.call(host_call::fb_fill_run, 159'000, 1'000), Ok(160'000));
  EXPECT_EQ(f.rgb(159'000), kWhiteRgb);
  EXPECT_EQ(f.rgb(158'999), 0u);
  EXPECT_EQ(f.call(host_call::fb_fill_run, 159'000, 1'001), kFailed);
  EXPECT_EQ(f.call(host_call::fb_fill_run, 160'001, 0), kFailed);
  EXPECT_EQ(f.call(host_call::fb_fill_run, 0, -1), kFailed);
}

TEST(Framebuffer, RegistersTakeColourValues) {
  Frame f;
  ASSERT_EQ(f.call(host_call::fb_set_color1, 2072), Ok(2072));
  EXPECT_EQ(f.call(host_call::fb_set_color1, 4205), Ok(2065));  // keeps L and U, V := 5
  EXPECT_EQ(f.call(host_call::fb_set_color1, -3600), Ok(7600));
  EXPECT_EQ(f.call(host_call::fb_set_color1, 8000), kFailed);
  EXPECT_EQ(f.call(host_call::fb_set_color1, NIL), Ok(7600));
  EXPECT_EQ(f.call(host_call::fb_get_color1), Ok(7600));
  EXPECT_EQ(f.call(host_call::fb_set_color0, -7600), Ok(3600));
  EXPECT_EQ(f.call(host_call::fb_get_color0), Ok(3600));
  EXPECT_EQ(f.call(host_call::fb_set_color0, -8000), kFailed);
  EXPECT_EQ(f.frames(), 0u);  // registers do not publish anything
}

TEST(Framebuffer, RecolourDecodesChangesAndRepaints) {
  Frame f;
  EXPECT_EQ(f.call(host_call::fb_recolor_pixel, 7, 2072), Ok(7));
  EXPECT_EQ(f.code(7), 2072);
  EXPECT_EQ(f.rgb(7), 0xD3ADD2u);
  EXPECT_EQ(f.call(host_call::fb_recolor_pixel, 7, NIL), Ok(7));  // unchanged, still published
  EXPECT_EQ(f.code(7), 2072);
  EXPECT_EQ(f.frames(), 2u);
  EXPECT_EQ(f.call(host_call::fb_recolor_pixel, 7, 8000), kFailed);
  EXPECT_EQ(f.call(host_call::fb_recolor_pixel, 160'000, 1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_pixel_code, 7), Ok(2072));
  EXPECT_EQ(f.call(host_call::fb_pixel_code, 160'000), kFailed);
  EXPECT_EQ(f.frames(), 2u);
}

TEST(Framebuffer, CursorRunsFromTheCursor) {
  Frame f;
  ASSERT_TRUE(f.call(host_call::fb_set_color0, 3600).ok);
  EXPECT_EQ(f.call(host_call::fb_set_cursor, 100), Ok(100));
  EXPECT_EQ(f.call(host_call::fb_cursor_run, 5), Ok(105));
  EXPECT_EQ(f.rgb(104), kWhiteRgb);
  EXPECT_EQ(f.rgb(105), 0u);
  EXPECT_EQ(f.call(host_call::fb_set_cursor, 160'001), kFailed);
  EXPECT_EQ(f.call(host_call::fb_set_cursor, 160'000), Ok(160'000));
  EXPECT_EQ(f.call(host_call::fb_cursor_run, 1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_cursor_run, -1), kFailed);
  EXPECT_EQ(f.call(host_call::fb_cursor_run, 0), Ok(160'000));
}

TEST(Framebuffer, HoldsFreezeThePaintedPictureUntilTheLastRelease) {
  Frame f;
  std::vector<uint32_t> painted(kPixelCount);
  EXPECT_EQ(f.call(host_call::fb_release), kFailed);
  EXPECT_EQ(f.call(host_call::fb_hold), Ok(1));
  EXPECT_EQ(f.call(host_call::fb_release), Ok(0));
  EXPECT_EQ(f.frames(), 0u);  // nothing drawn: no new frame
  EXPECT_EQ(f.call(host_call::fb_hold), Ok(1));
  EXPECT_EQ(f.call(host_call::fb_hold), Ok(2));
  ASSERT_TRUE(f.call(host_call::fb_set_pixel, 0, 1).ok);
  EXPECT_EQ(framebuffer_copy_for_paint(f.host(), painted.data()), 0u);
  EXPECT_EQ(painted[0], 0u);  // the window still shows the picture from before the hold
  EXPECT_EQ(f.call(host_call::fb_release), Ok(1));
  EXPECT_EQ(f.frames(), 0u);
  EXPECT_EQ(f.call(host_call::fb_release), Ok(0));
  EXPECT_EQ(f.frames(), 1u);
  EXPECT_EQ(framebuffer_copy_for_paint(f.host(), painted.data()), 1u);
  EXPECT_EQ(painted[0], kWhiteRgb);
  f.host().hold_depth = UINT32_MAX;
  EXPECT_EQ(f.call(host_call::fb_hold), kFailed);
  EXPECT_EQ(f.host().hold_depth, UINT32_MAX);
}

}  // namespace
}  // namespace quill
