// Where the tools' outputs meet what only POSIX systems let a test build: devices,
// pipes, symbolic links and permission bits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "support/temp_folder.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

// Every option that names an output, with OUT where the path goes.
constexpr const char* kOutputCommands[] = {
    "asm p.tasm -o OUT", "asm p.tasm -o p.tern --listing OUT", "asm p.tasm -o p.tern --symbols OUT",
    "dis p.tern -o OUT", "run --screenshot OUT p.tern",        "run --trace OUT p.tern",
};

std::string with_output(const char* command, const std::string& path) {
  std::string line = command;
  return line.replace(line.find("OUT"), 3, path);
}

void prepare(const TempFolder& folder) {
  folder.write("p.tasm", "start: lit 5\npush 0\nhalt\n");
  ASSERT_EQ(quill(folder, "asm p.tasm -o p.tern").exit_code, 0);
}

bool is_link(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool is_character_device(const char* path) {
  struct stat info {};
  return lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

// A tool that renamed a file over a device would, as root, turn /dev/null into a
// regular file. So each command first writes through a private link to the
// device, which such a fault would replace instead, and meets the real devices
// only once that went straight.
TEST(ToolOutput, DevicesAreWrittenStraightAndAFullOneFailsClearly) {
  TempFolder folder;
  prepare(folder);
  ASSERT_EQ(symlink("/dev/full", folder.file("full").c_str()), 0);
  const std::string no_space = std::strerror(ENOSPC);
  for (const char* command : kOutputCommands) {
    const CommandResult linked = quill(folder, with_output(command, "full"));
    ASSERT_TRUE(is_link(folder.file("full")) && linked.exit_code == 1) << command << ": " << linked.err;
    ASSERT_NE(linked.err.find("cannot write 'full': " + no_space), std::string::npos) << command << ": " << linked.err;
    const CommandResult full = quill(folder, with_output(command, "/dev/full"));
    EXPECT_EQ(full.exit_code, 1) << command;
    EXPECT_NE(full.err.find("cannot write '/dev/full': " + no_space), std::string::npos) << command << ": " << full.err;
    const CommandResult null = quill(folder, with_output(command, "/dev/null"));
    EXPECT_EQ(null.exit_code, 0) << command << ": " << null.err;
  }
  EXPECT_TRUE(is_character_device("/dev/null") && is_character_device("/dev/full"));
  EXPECT_EQ(folder.listing(), "err.txt full out.txt p.tasm p.tern");
}

TEST(ToolOutput, APipeIsWrittenStraight) {
  TempFolder folder;
  prepare(folder);
  ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = folder.read("pipe"); });
  const CommandResult r = quill(folder, "asm p.tasm -o pipe");
  reader.join();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(received, folder.read("p.tern"));
  EXPECT_FALSE(folder.exists("pipe.part"));
}

TEST(ToolOutput, ALinkedOutputKeepsItsLinkAndTheTargetItsPermissions) {
  TempFolder folder, store;
  prepare(folder);
  store.write("image", "old");
  store.write("image.part", "left by a killed run");
  ASSERT_EQ(chmod(store.file("image").c_str(), 0600), 0);
  ASSERT_EQ(symlink(store.file("image").c_str(), folder.file("out.tern").c_str()), 0);
  ASSERT_EQ(quill(folder, "asm p.tasm -o out.tern").exit_code, 0);
  struct stat info {};
  ASSERT_EQ(lstat(folder.file("out.tern").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(store.read("image"), folder.read("p.tern"));
  ASSERT_EQ(stat(store.file("image").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(store.listing(), "image");
}

TEST(ToolOutput, OutputNeverWritesThroughALinkAtTheTemporaryName) {
  TempFolder folder, elsewhere;
  prepare(folder);
  elsewhere.write("victim", "precious");
  ASSERT_EQ(symlink(elsewhere.file("victim").c_str(), folder.file("out.tern.part").c_str()), 0);
  ASSERT_EQ(quill(folder, "asm p.tasm -o out.tern").exit_code, 0);
  EXPECT_EQ(elsewhere.read("victim"), "precious");
  EXPECT_EQ(folder.read("out.tern"), folder.read("p.tern"));
  EXPECT_FALSE(folder.exists("out.tern.part"));
}

}  // namespace
}  // namespace quill::test
