// Every file the tools read goes through here: sources and includes, images, key
// scripts and symbol files. A folder, an unreadable file or one that changes while
// it is read becomes a message instead of an abort, and no read goes past a bound.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_open.h"

namespace quill {

// Sources, key scripts and symbol files: far beyond any real one, small enough to hold.
inline constexpr uint64_t kTextInputLimitBytes = uint64_t{64} << 20;

// An input open for reading: a regular file, or a pipe or device such as /dev/stdin.
struct InputFile {
  std::string path;
  OpenedFile opened;
  uint64_t read_bytes = 0;

  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();
};

// Opens `path` into `in`; false with `error` ("PATH: is a directory") otherwise.
[[nodiscard]] bool input_open(const std::string& path, InputFile& in, std::string& error);

// Reads up to `capacity` bytes into `buffer`; `got` is 0 at the end. False with
// `error` on a read error, or when a regular file turns out longer or shorter than
// it was when opened (it was being rewritten).
[[nodiscard]] bool input_read(InputFile& in, uint8_t* buffer, size_t capacity, size_t& got, std::string& error);

// The whole file at `path` into `out`, which is left alone on failure; false with
// `error` when it cannot be read or holds more than `limit` bytes.
[[nodiscard]] bool read_input_file(const std::string& path, uint64_t limit, std::string& out, std::string& error);

}  // namespace quill
