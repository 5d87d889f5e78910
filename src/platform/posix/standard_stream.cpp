#include "platform/standard_stream.h"

#include <unistd.h>

#include <cerrno>

namespace quill {

bool standard_input_read(uint8_t* bytes, size_t capacity, size_t& received) {
  ssize_t n = 0;
  do {
    n = ::read(STDIN_FILENO, bytes, capacity);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  received = static_cast<size_t>(n);
  return true;
}

bool standard_output_write(const uint8_t* bytes, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace quill
