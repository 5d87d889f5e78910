// Pipes as the tools' inputs: read, but never further than the largest valid input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "support/temp_folder.h"
#include "tools/image/image_file.h"
#include "tools/io/input_file.h"

namespace quill::test {
namespace {

constexpr uint64_t kOffered = uint64_t{8} << 20;

// Writes `byte` into the FIFO at `path` until `limit` bytes or until the reader
// leaves. It opens without blocking and gives up once `reader_done` is set, so a
// reader that never opens the FIFO cannot hang the test.
struct FifoWriter {
  std::atomic<bool> reader_done{false};
  uint64_t written = 0;
  std::thread thread;

  FifoWriter(const std::string& path, const std::string& bytes, uint64_t limit) {
    signal(SIGPIPE, SIG_IGN);
    thread = std::thread([this, path, bytes, limit] {
      int fd = -1;
      while (fd < 0 && !reader_done) {
        fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) std::this_thread::yield();
      }
      if (fd < 0) return;
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      while (written < limit) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n <= 0) break;  // EPIPE: the reader has gone
        written += static_cast<uint64_t>(n);
      }
      close(fd);
    });
  }
  ~FifoWriter() { finish(); }
  void finish() {
    reader_done = true;
    if (thread.joinable()) thread.join();
  }
};

TEST(InputFile, APipeIsReadButNotPastTheLargestValidInput) {
  TempFolder folder;
  const std::string fifo = folder.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<uint8_t> memory(3 * 10, '.');
  uint64_t trytes = 0;
  std::string error, text;
  {
    FifoWriter writer(fifo, "12\n3", 4);
    EXPECT_TRUE(read_image_into(fifo, memory.data(), 10, trytes, error)) << error;
    EXPECT_EQ(trytes, 3u);
  }
  struct Case {
    const char* offered;
    bool image;
    const char* error;
    bool stops_early;
  };
  const Case cases[] = {
      {"+", true, ": larger than a memory of 10 trytes", true},     // trit characters, held as they come
      {"1 \n", true, ": larger than a memory of 10 trytes", true},  // symbols and whitespace
      {"\n", true, ": the image holds no symbols", false},          // whitespace has no limit
      {"x", false, ": larger than 100 bytes", true},
  };
  for (const Case& c : cases) {
    FifoWriter writer(fifo, std::string(4096, c.offered[0]) + (c.offered + 1), kOffered);
    const bool read =
        c.image ? read_image_into(fifo, memory.data(), 10, trytes, error) : read_input_file(fifo, 100, text, error);
    writer.finish();
    EXPECT_FALSE(read) << c.offered;
    EXPECT_EQ(error, fifo + c.error) << c.offered;
    EXPECT_EQ(writer.written < kOffered, c.stops_early) << c.offered;
  }
}

}  // namespace
}  // namespace quill::test
