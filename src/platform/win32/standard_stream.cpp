#include "platform/standard_stream.h"

#include <windows.h>

namespace quill {

// The handles are used directly, past the C runtime's text mode.
bool standard_input_read(uint8_t* bytes, size_t capacity, size_t& received) {
  DWORD n = 0;
  const DWORD chunk = capacity > 0x10000 ? 0x10000 : static_cast<DWORD>(capacity);
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), bytes, chunk, &n, nullptr) || n == 0) return false;
  received = n;
  return true;
}

bool standard_output_write(const uint8_t* bytes, size_t length) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  while (length > 0) {
    DWORD n = 0;
    const DWORD chunk = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
    if (!WriteFile(out, bytes, chunk, &n, nullptr) || n == 0) return false;
    bytes += n;
    length -= n;
  }
  return true;
}

}  // namespace quill
