// Where only POSIX systems let a test reach: saving to a full disk (simulated with
// the file-size limit), symbolic links, permission bits, and loading from FIFOs
// and links.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "codec/image_files.h"
#include "support/temp_folder.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::TempFolder;
using test::TestMemory;

constexpr const char* kTrits = kTritFileName;
constexpr const char* kText = kTextFileName;

// Lowers the file-size limit so that writes past `bytes` fail as on a full disk.
struct FileSizeLimit {
  rlimit saved{};
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit low = saved;
    low.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &low);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

TEST(ImageSave, WriteFailureLeavesPreviousFilesUntouched) {
  TempFolder folder;
  TestMemory memory(200'000);
  folder.write(kTrits, "previous trits");
  folder.write(kText, "previous text");
  {
    FileSizeLimit limit(100'000);  // the trit file needs 600,000 bytes
    EXPECT_FALSE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  }
  EXPECT_EQ(folder.read(kTrits), "previous trits");
  EXPECT_EQ(folder.read(kText), "previous text");
  EXPECT_EQ(folder.listing(), "memory_tambrisk.txt memory_trits.txt");
  {
    FileSizeLimit limit(300'000);  // the trit file fails again; the text file would have fit
    EXPECT_FALSE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  }
  EXPECT_EQ(folder.read(kText), "previous text");
  ASSERT_TRUE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  EXPECT_EQ(folder.read(kText), std::string(200'000, '.'));
}

// Loads in a child process, so that a load that blocks for ever ends with the
// alarm instead of hanging the tests: 1 loaded, 0 refused, -1 killed or lost.
int load_in_child(const TempFolder& folder) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(60);
    TestMemory memory(10);
    _exit(load_memory_files(memory.data(), memory.size, folder.path.c_str()) ? 1 : 0);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(ImageLoad, ATritFileThatCannotBeOpenedAsAFileFailsTheLoadWithoutBlocking) {
  struct Case {
    const char* trit_file;  // what stands in the trit file's place
    const char* text_file;
    int loaded;
  };
  const Case cases[] = {
      {"fifo", "regular", 0},
      {"link loop", "regular", 0},
      {"/dev/null", "regular", 0},
      {"dangling link", "regular", 1},  // the link's target is missing: as good as no trit file
      {"none", "fifo", 0},
      {"none", "/dev/null", 0},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    for (const auto& [name, kind] : {std::pair{kTrits, c.trit_file}, std::pair{kText, c.text_file}}) {
      const std::string path = folder.file(name), what = kind;
      int made = 0;
      if (what == "regular") folder.write(name, "+++");
      if (what == "fifo") made = mkfifo(path.c_str(), 0600);
      if (what == "link loop") made = symlink(name, path.c_str());
      if (what == "dangling link") made = symlink("gone", path.c_str());
      if (what == "/dev/null") made = symlink("/dev/null", path.c_str());
      ASSERT_EQ(made, 0) << what;
    }
    EXPECT_EQ(load_in_child(folder), c.loaded) << c.trit_file << ", " << c.text_file;
  }
}

bool is_link(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

mode_t mode_of(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(ImageSave, SaveNeverWritesThroughALinkAtTheTemporaryName) {
  for (const char* temporary : {"memory_trits.new", "memory_tambrisk.new"}) {
    for (const bool target_exists : {true, false}) {
      TempFolder folder, elsewhere;
      TestMemory memory(1000);
      if (target_exists) elsewhere.write("victim", "precious");
      ASSERT_EQ(symlink(elsewhere.file("victim").c_str(), folder.file(temporary).c_str()), 0);
      ASSERT_TRUE(save_memory_files(memory.data(), memory.size, folder.path.c_str())) << temporary;
      EXPECT_EQ(elsewhere.listing(), target_exists ? "victim" : "") << temporary;
      EXPECT_EQ(elsewhere.read("victim"), target_exists ? "precious" : "");
      EXPECT_EQ(folder.listing(), "memory_tambrisk.txt memory_trits.txt") << temporary;
      EXPECT_FALSE(is_link(folder.file(kTrits)) || is_link(folder.file(kText)));
      EXPECT_EQ(folder.read(kText), std::string(1000, '.'));
    }
  }
}

TEST(ImageSave, SaveKeepsThePermissionBitsOfTheFileItReplaces) {
  TempFolder folder;
  TestMemory memory(3);
  folder.write(kTrits, "+++");
  folder.write(kText, "+");
  ASSERT_EQ(chmod(folder.file(kTrits).c_str(), 0600), 0);
  ASSERT_EQ(chmod(folder.file(kText).c_str(), 0664), 0);
  ASSERT_TRUE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  EXPECT_EQ(mode_of(folder.file(kTrits)), 0600u);
  EXPECT_EQ(mode_of(folder.file(kText)), 0664u);
  EXPECT_EQ(folder.read(kText), "...");
}

TEST(ImageSave, SaveThroughALinkedImageUpdatesItsTargetAndKeepsTheLink) {
  TempFolder folder, store;
  TestMemory memory(3);
  ASSERT_TRUE(memory.load("J00"));
  store.write("trits.img", "old");
  ASSERT_EQ(chmod(store.file("trits.img").c_str(), 0640), 0);
  // The trit file links to a file elsewhere, the text file to one not made yet.
  ASSERT_EQ(symlink(store.file("trits.img").c_str(), folder.file(kTrits).c_str()), 0);
  ASSERT_EQ(symlink(store.file("text.img").c_str(), folder.file(kText).c_str()), 0);
  ASSERT_TRUE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  EXPECT_TRUE(is_link(folder.file(kTrits)) && is_link(folder.file(kText)));
  EXPECT_EQ(folder.listing(), "memory_tambrisk.txt memory_trits.txt");
  EXPECT_EQ(store.listing(), "text.img trits.img");  // the temporaries were beside the targets
  EXPECT_EQ(store.read("trits.img"), std::string(memory.bytes.begin(), memory.bytes.end()));
  EXPECT_EQ(store.read("text.img"), "J00");
  EXPECT_EQ(mode_of(store.file("trits.img")), 0640u);
  // A stale temporary of a linked image sits beside its target, and only it goes.
  store.write("trits.img.new", "left by a killed save");
  folder.write("memory_trits.new", "not ours any more");
  remove_stale_image_temporaries(folder.path.c_str());
  EXPECT_EQ(store.listing(), "text.img trits.img");
  EXPECT_TRUE(folder.exists("memory_trits.new"));
}

}  // namespace
}  // namespace quill
