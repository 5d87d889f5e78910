// Saving when the disk fills up, simulated with the file-size limit, and loading
// from FIFOs and links: things only POSIX systems offer.
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

}  // namespace
}  // namespace quill
