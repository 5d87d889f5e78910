// What only POSIX systems let a test build: symbolic links, devices, pipes. The
// exclusive create and the kept permissions are pinned where they matter, in the
// image save and tool output tests.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file_replace.h"
#include "support/temp_folder.h"

namespace quill {
namespace {

using test::TempFolder;

void link_at(const TempFolder& folder, const std::string& name, const std::string& target) {
  ASSERT_EQ(symlink(target.c_str(), folder.file(name).c_str()), 0) << name;
}

TEST(FileReplacePosix, KindFollowsLinksAndKeepsDevicesAndPipesApart) {
  TempFolder folder;
  folder.write("file", "x");
  ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0600), 0);
  link_at(folder, "to_file", "file");
  link_at(folder, "to_nowhere", "absent");
  link_at(folder, "to_null", "/dev/null");
  link_at(folder, "loop", "loop");
  const std::pair<std::string, FileKind> cases[] = {
      {folder.file("file"), FileKind::regular},
      {folder.file("to_file"), FileKind::regular},
      {folder.file("absent"), FileKind::missing},
      {folder.file("to_nowhere"), FileKind::missing},
      {folder.file("pipe"), FileKind::other},
      {folder.file("to_null"), FileKind::other},
      {folder.file("loop"), FileKind::other},
      {"/dev/null", FileKind::other},
      {"/dev/full", FileKind::other},
      {"/dev/stdout", FileKind::other},
      {"/proc/self/fd/1", FileKind::other},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(platform_file_kind(path.c_str()), kind) << path;
}

TEST(FileReplacePosix, LinksResolveToTheEndOfTheirChain) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("data"));
  link_at(folder, "relative", "data/image");
  link_at(folder, "absolute", folder.file("data/image"));
  link_at(folder, "chain", "relative");
  link_at(folder, "data/up", "../plain");
  link_at(folder, "loop", "loop");
  const std::pair<const char*, std::string> cases[] = {
      {"plain", folder.file("plain")},           {"relative", folder.file("data/image")},
      {"absolute", folder.file("data/image")},   {"chain", folder.file("data/image")},
      {"data/up", folder.file("data/../plain")},
  };
  char out[kPlatformPathCapacity];
  for (const auto& [name, end] : cases) {
    ASSERT_TRUE(platform_resolve_link(folder.file(name).c_str(), out, sizeof out)) << name;
    EXPECT_EQ(out, end) << name;
  }
  EXPECT_FALSE(platform_resolve_link(folder.file("loop").c_str(), out, sizeof out));
  EXPECT_FALSE(platform_resolve_link(folder.file("relative").c_str(), out, folder.file("data/image").size()));
}

}  // namespace
}  // namespace quill
