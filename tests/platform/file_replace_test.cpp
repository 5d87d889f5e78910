// Replacing a file through a temporary beside it, on every system.
#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/temp_folder.h"

namespace quill {
namespace {

using test::TempFolder;

TEST(FileReplace, TemporaryIsNamedBesideTheFileItReplaces) {
  struct Case {
    const char* name;
    TemporaryName naming;
    const char* temporary;
  };
  const Case cases[] = {
      {"memory_trits.txt", TemporaryName::txt_to_new, "memory_trits.new"},
      {"image.tern", TemporaryName::txt_to_new, "image.tern.new"},
      {"txt", TemporaryName::txt_to_new, "txt.new"},
      {"out.tern", TemporaryName::append_part, "out.tern.part"},
      {"listing.txt", TemporaryName::append_part, "listing.txt.part"},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    FileReplacement r;
    ASSERT_TRUE(replacement_paths(r, folder.file(c.name).c_str(), c.naming)) << c.name;
    EXPECT_EQ(r.target, folder.file(c.name));
    EXPECT_EQ(r.temporary, folder.file(c.temporary));
  }
  FileReplacement r;
  std::string longest = folder.file("absent");  // room for ".new" but not for ".part"
  while (longest.size() < kPlatformPathCapacity - 5) longest += longest.size() % 2 == 0 ? "/" : "d";
  EXPECT_TRUE(replacement_paths(r, longest.c_str(), TemporaryName::txt_to_new));
  EXPECT_FALSE(replacement_paths(r, longest.c_str(), TemporaryName::append_part));
}

TEST(FileReplace, NewFileIsCreatedOnlyWhereNothingIsYet) {
  TempFolder folder;
  folder.write("taken", "keep");
  errno = 0;
  EXPECT_EQ(platform_create_new_file(folder.file("taken").c_str(), nullptr), nullptr);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(folder.read("taken"), "keep");
  std::FILE* file = platform_create_new_file(folder.file("fresh").c_str(), folder.file("taken").c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_GE(std::fputs("new", file), 0);
  EXPECT_EQ(std::fclose(file), 0);
  EXPECT_EQ(folder.read("fresh"), "new");
}

TEST(FileReplace, CommitReplacesAndEveryFailureKeepsTheOldFile) {
  TempFolder folder;
  const std::string path = folder.file("out.tern");
  folder.write("out.tern", "old");
  folder.write("out.tern.part", "left by a killed run");
  FileReplacement r;
  ASSERT_TRUE(replacement_open(r, path.c_str(), TemporaryName::append_part));
  std::fputs("abandoned", r.file);
  replacement_abandon(r);
  EXPECT_EQ(folder.listing(), "out.tern");
  EXPECT_EQ(folder.read("out.tern"), "old");
  ASSERT_TRUE(replacement_open(r, path.c_str(), TemporaryName::append_part));
  std::fputs("new", r.file);
  ASSERT_TRUE(replacement_commit(r));
  EXPECT_EQ(folder.read("out.tern"), "new");
  EXPECT_EQ(folder.listing(), "out.tern");
  // A target whose folder vanished: the rename fails and nothing is left behind.
  ASSERT_TRUE(replacement_open(r, folder.file("sub.part").c_str(), TemporaryName::txt_to_new));
  std::snprintf(r.target, sizeof r.target, "%s", folder.file("gone/out.tern").c_str());
  EXPECT_FALSE(replacement_commit(r));
  EXPECT_EQ(folder.listing(), "out.tern");
}

TEST(FileReplace, KindTellsWhatMayBeReplaced) {
  TempFolder folder;
  folder.write("file", "x");
  EXPECT_EQ(platform_file_kind(folder.file("file").c_str()), FileKind::regular);
  EXPECT_EQ(platform_file_kind(folder.file("absent").c_str()), FileKind::missing);
  EXPECT_EQ(platform_file_kind(folder.file("no/such/folder/x").c_str()), FileKind::missing);
  EXPECT_EQ(platform_file_kind(folder.path.c_str()), FileKind::other);
}

}  // namespace
}  // namespace quill
