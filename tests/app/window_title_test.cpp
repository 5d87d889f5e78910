#include "app/window_title.h"

#include <gtest/gtest.h>

#include <string>

namespace quill {
namespace {

TEST(WindowTitle, FinalTitleNamesTheStatus) {
  const char* texts[] = {"ready",
                         "budget reached",
                         "halted",
                         "memory end",
                         "cannot decode",
                         "stack overflow",
                         "call stack overflow",
                         "invalid destination",
                         "host error"};
  char title[kTitleCapacity];
  for (uint32_t status = 0; status < 9; ++status) {
    format_final_title(false, status, title);
    EXPECT_EQ(std::string(title), std::string("Quillomar - ") + texts[status]);
  }
  for (uint32_t status : {9u, 12345u, 0xFFFFFFFFu}) {
    format_final_title(false, status, title);
    EXPECT_STREQ(title, "Quillomar - unknown");
  }
}

TEST(WindowTitle, AfterF12TheStopWhateverTheStatus) {
  char title[kTitleCapacity];
  for (uint32_t status : {0u, 2u, 4u, 12345u}) {
    format_final_title(true, status, title);
    EXPECT_STREQ(title, "Quillomar - processor stopped (F12)");
  }
}

}  // namespace
}  // namespace quill
