// Opening a file for reading so that nothing can hang or mislead the reader: a
// missing file is told apart from one that is there but unreadable, and a FIFO or
// device in place of a memory image is refused without waiting for a writer.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quill {

enum class FileOpenOutcome : uint8_t {
  opened,
  not_found,    // nothing by that name (ENOENT; ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND)
  directory,    // a folder
  not_regular,  // a FIFO, device or socket where a regular file is required
  denied,       // no permission to read it
  failed,       // anything else: an I/O error, a loop of links, a bad name
};

enum class FileKinds : uint8_t {
  regular_only,       // memory images: anything else is refused without blocking
  regular_or_stream,  // the tools' inputs: pipes and devices too (/dev/stdin), never a folder
};

struct OpenedFile {
  std::FILE* file = nullptr;  // binary, at the start; the caller closes it
  bool regular = false;
  uint64_t size_bytes = 0;  // a regular file's length when it was opened; 0 otherwise
};

// Opens `path` for reading in binary mode. Writes `out` only when the outcome is
// `opened`. Any thread.
[[nodiscard]] FileOpenOutcome platform_open_for_reading(const char* path, FileKinds kinds, OpenedFile& out);

// The current length of the regular file behind `file`; false when the system
// cannot tell. Any thread.
[[nodiscard]] bool platform_file_size(std::FILE* file, uint64_t& out);

}  // namespace quill
