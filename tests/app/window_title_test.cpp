#include <gtest/gtest.h>

#include "app/window_title.h"

namespace quill {
namespace {

TEST(WindowTitle, FinalTitleNamesTheStatusOrTheStop) {
  char title[kTitleCapacity];
  format_final_title(false, 2, title);
  EXPECT_STREQ(title, "Quillomar - halted");
  format_final_title(false, 7, title);
  EXPECT_STREQ(title, "Quillomar - invalid destination");
  format_final_title(false, 1, title);
  EXPECT_STREQ(title, "Quillomar - budget reached");
  format_final_title(false, 12345, title);
  EXPECT_STREQ(title, "Quillomar - unknown");
  format_final_title(true, 4, title);
  EXPECT_STREQ(title, "Quillomar - processor stopped (F12)");
}

}  // namespace
}  // namespace quill
