// Saving when the disk fills up, simulated with the file-size limit, which only
// POSIX systems offer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

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

}  // namespace
}  // namespace quill
