#include "platform/file_open.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_folder.h"

namespace quill {
namespace {

using test::TempFolder;

TEST(FileOpen, TellsAMissingFileFromOneThatIsThereButCannotBeRead) {
  TempFolder folder;
  folder.write("image", "+-.");
  std::filesystem::create_directory(folder.file("folder"));
  struct Case {
    const char* name;
    FileKinds kinds;
    FileOpenOutcome expected;
  };
  const Case cases[] = {
      {"image", FileKinds::regular_only, FileOpenOutcome::opened},
      {"image", FileKinds::regular_or_stream, FileOpenOutcome::opened},
      {"absent", FileKinds::regular_only, FileOpenOutcome::not_found},
      {"absent/image", FileKinds::regular_only, FileOpenOutcome::not_found},
      {"folder", FileKinds::regular_only, FileOpenOutcome::directory},
      {"folder", FileKinds::regular_or_stream, FileOpenOutcome::directory},
  };
  for (const Case& c : cases) {
    OpenedFile opened;
    EXPECT_EQ(platform_open_for_reading(folder.file(c.name).c_str(), c.kinds, opened), c.expected) << c.name;
    if (c.expected != FileOpenOutcome::opened) {
      EXPECT_EQ(opened.file, nullptr) << c.name;
      continue;
    }
    EXPECT_TRUE(opened.regular);
    EXPECT_EQ(opened.size_bytes, 3u);
    char bytes[4] = {};
    EXPECT_EQ(std::fread(bytes, 1, 4, opened.file), 3u);
    EXPECT_STREQ(bytes, "+-.");
    std::fclose(opened.file);
  }
}

TEST(FileOpen, SizeIsTheFilesLengthNowNotWhenItWasOpened) {
  TempFolder folder;
  folder.write("image", "+++");
  OpenedFile opened;
  ASSERT_EQ(platform_open_for_reading(folder.file("image").c_str(), FileKinds::regular_only, opened),
            FileOpenOutcome::opened);
  std::ofstream(folder.file("image"), std::ios::binary | std::ios::app) << "---";
  uint64_t now = 0;
  ASSERT_TRUE(platform_file_size(opened.file, now));
  EXPECT_EQ(now, 6u);
  EXPECT_EQ(opened.size_bytes, 3u);
  std::fclose(opened.file);
}

}  // namespace
}  // namespace quill
