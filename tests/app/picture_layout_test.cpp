#include <gtest/gtest.h>

#include "app/picture_layout.h"

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

}  // namespace
}  // namespace quill
