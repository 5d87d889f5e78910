#include "app/picture_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill {
namespace {

TEST(PictureLayout, WholeScalesWhenTheyFitAndProportionalFitOtherwise) {
  struct Case {
    int64_t w, h;
    PictureRect expected;
  } cases[] = {
      {1000, 640, {0, 0, 1000, 640}},      // the initial window: scale 2, no bars
      {1499, 959, {249, 159, 1000, 640}},  // still scale 2
      {1500, 960, {0, 0, 1500, 960}},      // scale 3
      {800, 320, {150, 0, 500, 320}},      // scale 1, bars left and right
      {500, 1000, {0, 340, 500, 320}},     // scale 1, bars above and below
      {400, 400, {0, 72, 400, 256}},       // too narrow: fit by width
      {600, 200, {144, 0, 312, 200}},      // too low: fit by height, 312.5 truncated
      {499, 320, {0, 0, 499, 319}},        // one pixel short of scale 1
      {1, 1, {0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    PictureRect r{-1, -1, -1, -1};
    const bool drawn = picture_layout(c.w, c.h, r);
    if (c.expected.width <= 0 || c.expected.height <= 0) {
      EXPECT_FALSE(drawn) << c.w << "x" << c.h;
      EXPECT_EQ(r.x, -1);  // untouched
      continue;
    }
    ASSERT_TRUE(drawn) << c.w << "x" << c.h;
    EXPECT_EQ(r.x, c.expected.x) << c.w << "x" << c.h;
    EXPECT_EQ(r.y, c.expected.y) << c.w << "x" << c.h;
    EXPECT_EQ(r.width, c.expected.width) << c.w << "x" << c.h;
    EXPECT_EQ(r.height, c.expected.height) << c.w << "x" << c.h;
  }
}

TEST(PictureLayout, NothingToStretchWithoutArea) {
  PictureRect r;
  EXPECT_FALSE(picture_layout(0, 640, r));
  EXPECT_FALSE(picture_layout(1000, 0, r));
  EXPECT_FALSE(picture_layout(0, 0, r));
  EXPECT_FALSE(picture_layout(-5, 100, r));
}

TEST(PictureLayout, RepaintOnlyForANewFrame) {
  EXPECT_FALSE(frame_needs_repaint(0, 0));  // right after start-up
  EXPECT_TRUE(frame_needs_repaint(1, 0));
  EXPECT_FALSE(frame_needs_repaint(77, 77));
}

// A picture whose every pixel tells its own coordinates.
std::vector<uint32_t> coordinate_picture() {
  std::vector<uint32_t> picture(kPictureWidth * kPictureHeight);
  for (int64_t y = 0; y < kPictureHeight; ++y) {
    for (int64_t x = 0; x < kPictureWidth; ++x) picture[y * kPictureWidth + x] = static_cast<uint32_t>(y << 12 | x);
  }
  return picture;
}

std::vector<uint32_t> drawn(const std::vector<uint32_t>& picture, int64_t w, int64_t h) {
  std::vector<uint32_t> canvas(static_cast<size_t>(w * h), 0xDEAD);
  draw_picture(picture.data(), canvas.data(), w, h);
  return canvas;
}

TEST(DrawPicture, WholeScalesRepeatEveryPixelInASquareBlock) {
  const std::vector<uint32_t> picture = coordinate_picture();
  const std::vector<uint32_t> canvas = drawn(picture, 1000, 640);
  for (int64_t y = 0; y < 640; ++y) {
    for (int64_t x = 0; x < 1000; ++x) {
      ASSERT_EQ(canvas[y * 1000 + x], picture[(y / 2) * kPictureWidth + x / 2]) << x << "," << y;
    }
  }
}

TEST(DrawPicture, BarsAreBlackAndTheFittedPictureSamplesByTruncation) {
  const std::vector<uint32_t> picture = coordinate_picture();
  const std::vector<uint32_t> canvas = drawn(picture, 600, 200);  // 312 x 200 at (144, 0)
  for (int64_t y = 0; y < 200; ++y) {
    for (int64_t x = 0; x < 600; ++x) {
      const bool inside = x >= 144 && x < 144 + 312;
      const uint32_t expected = inside ? picture[((y * 320) / 200) * kPictureWidth + ((x - 144) * 500) / 312] : 0;
      ASSERT_EQ(canvas[y * 600 + x], expected) << x << "," << y;
    }
  }
  const std::vector<uint32_t> centred = drawn(picture, 1499, 959);  // scale 2 at (249, 159)
  EXPECT_EQ(centred[158 * 1499 + 249], 0u);
  EXPECT_EQ(centred[159 * 1499 + 248], 0u);
  EXPECT_EQ(centred[159 * 1499 + 249], picture[0]);
  EXPECT_EQ(centred[(159 + 639) * 1499 + 249 + 999], picture[kPictureWidth * kPictureHeight - 1]);
  EXPECT_EQ(centred[(159 + 640) * 1499 + 249 + 999], 0u);
}

TEST(DrawPicture, NoAreaLeavesOnlyBlack) {
  const std::vector<uint32_t> picture = coordinate_picture();
  for (const std::vector<uint32_t>& canvas : {drawn(picture, 3, 1), drawn(picture, 1, 3)}) {
    for (uint32_t pixel : canvas) EXPECT_EQ(pixel, 0u);  // 1 pixel high or wide: nothing to stretch
  }
  std::vector<uint32_t> untouched(4, 0xDEAD);
  draw_picture(picture.data(), untouched.data(), 0, 4);
  EXPECT_EQ(untouched[0], 0xDEADu);
}

}  // namespace
}  // namespace quill
