// FIFOs, devices and links, which only POSIX systems make this easy to build.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_open.h"
#include "support/temp_folder.h"

namespace quill {
namespace {

using test::TempFolder;

TEST(FileOpen, RefusesAFifoOrDeviceAsAnImageWithoutWaitingForAWriter) {
  TempFolder folder;
  ASSERT_EQ(mkfifo(folder.file("fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("loop", folder.file("loop").c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", folder.file("null").c_str()), 0);
  ASSERT_EQ(symlink("gone", folder.file("dangling").c_str()), 0);
  // Holding both ends keeps even a blocking open of the FIFO from waiting, so a
  // regression fails here instead of hanging.
  const int guard = open(folder.file("fifo").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(guard, 0);
  struct Case {
    const char* name;
    FileKinds kinds;
    FileOpenOutcome expected;
  };
  const Case cases[] = {
      {"fifo", FileKinds::regular_only, FileOpenOutcome::not_regular},
      {"null", FileKinds::regular_only, FileOpenOutcome::not_regular},
      {"loop", FileKinds::regular_only, FileOpenOutcome::failed},  // ELOOP is not "missing"
      {"dangling", FileKinds::regular_only, FileOpenOutcome::not_found},
      {"fifo", FileKinds::regular_or_stream, FileOpenOutcome::opened},  // the tools read pipes
      {"null", FileKinds::regular_or_stream, FileOpenOutcome::opened},
      {"loop", FileKinds::regular_or_stream, FileOpenOutcome::failed},
  };
  for (const Case& c : cases) {
    OpenedFile opened;
    EXPECT_EQ(platform_open_for_reading(folder.file(c.name).c_str(), c.kinds, opened), c.expected) << c.name;
    if (opened.file == nullptr) continue;
    EXPECT_FALSE(opened.regular) << c.name;
    EXPECT_EQ(opened.size_bytes, 0u) << c.name;
    std::fclose(opened.file);
  }
  close(guard);
}

}  // namespace
}  // namespace quill
