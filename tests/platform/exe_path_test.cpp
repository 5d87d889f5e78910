// The executable's folder: the cut after the last separator, the 260-character
// limit, and the real folder of this test program.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/exe_path.h"

namespace quill {
namespace {

std::string folder_of(const std::string& path, char separator = '\\') {
  char folder[kExeFolderCapacity];
  std::memset(folder, '#', sizeof folder);
  if (!exe_folder_from_path(path.c_str(), path.size(), separator, folder)) return "failed";
  return folder;
}

TEST(ExeFolder, KeepsThePathUpToItsLastSeparator) {
  EXPECT_EQ(folder_of("C:\\Quillomar\\quillomar.exe"), "C:\\Quillomar\\");
  EXPECT_EQ(folder_of("C:\\a\\b\\c.exe"), "C:\\a\\b\\");
  EXPECT_EQ(folder_of("C:\\x.exe"), "C:\\");
  EXPECT_EQ(folder_of("quillomar.exe"), "");  // files are then found in the current folder
  EXPECT_EQ(folder_of("/usr/local/bin/quillomar", '/'), "/usr/local/bin/");
  EXPECT_EQ(folder_of("C:/a/b.exe"), "");  // only the given separator counts
}

TEST(ExeFolder, FailsWithoutAPathOrWhenTheSystemCutItShort) {
  EXPECT_EQ(folder_of(""), "failed");
  const std::string longest = "C:\\" + std::string(kExeFolderCapacity - 10, 'd') + "\\q.exe";  // 259 characters
  ASSERT_EQ(longest.size(), kExeFolderCapacity - 1);
  EXPECT_EQ(folder_of(longest), longest.substr(0, longest.size() - 5));
  EXPECT_EQ(folder_of(longest + "x"), "failed");  // the system filled its whole buffer
  char folder[kExeFolderCapacity] = "untouched";
  EXPECT_FALSE(exe_folder_from_path(longest.c_str(), kExeFolderCapacity, '\\', folder));
  EXPECT_STREQ(folder, "untouched");
}

TEST(ExeFolder, NamesTheFolderThatHoldsThisProgram) {
  char folder[kExeFolderCapacity] = {};
  ASSERT_TRUE(exe_folder(folder));
  const std::string path = folder;
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(path.back() == '/' || path.back() == '\\') << path;
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    found = found || entry.path().stem() == "platform_tests";
  }
  EXPECT_TRUE(found) << path;
}

}  // namespace
}  // namespace quill
