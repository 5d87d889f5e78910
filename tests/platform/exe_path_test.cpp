#include "platform/exe_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quill {
namespace {

bool cut(const std::string& path, char (&out)[kExeFolderCapacity]) {
  return folder_of_executable(path.data(), path.size(), '/', out);
}

TEST(ExeFolder, KeepsTheTrailingSeparatorOrIsEmpty) {
  char out[kExeFolderCapacity];
  ASSERT_TRUE(cut("/opt/quillomar/quillomar", out));
  EXPECT_STREQ(out, "/opt/quillomar/");
  ASSERT_TRUE(cut("/quillomar", out));
  EXPECT_STREQ(out, "/");
  ASSERT_TRUE(cut("quillomar", out));
  EXPECT_STREQ(out, "");
  ASSERT_TRUE(folder_of_executable("C:\\Q\\quillomar.exe", 18, '\\', out));
  EXPECT_STREQ(out, "C:\\Q\\");
}

TEST(ExeFolder, APathOf260BytesOrMoreIsRefusedWithoutTouchingTheOutput) {
  char out[kExeFolderCapacity];
  const std::string folder = "/" + std::string(248, 'f') + "/";           // 250 bytes
  ASSERT_TRUE(cut(folder + std::string(259 - folder.size(), 'q'), out));  // 259: fits with its NUL
  EXPECT_EQ(std::strlen(out), folder.size());
  std::strcpy(out, "kept");
  EXPECT_FALSE(cut(folder + std::string(260 - folder.size(), 'q'), out));
  EXPECT_FALSE(cut(folder + std::string(400, 'q'), out));
  EXPECT_STREQ(out, "kept");
}

TEST(ExeFolder, TheRunningExecutablesFolderHoldsIt) {
  char out[kExeFolderCapacity];
  ASSERT_TRUE(executable_folder(out));
  const std::string folder = out;
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\') << folder;  // the system's separator
  std::string normal = folder;
  for (char& c : normal) c = c == '\\' ? '/' : c;
  EXPECT_NE(normal.find("tests/platform/"), std::string::npos) << folder;
}

}  // namespace
}  // namespace quill
