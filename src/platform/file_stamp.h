// What the live reload watches of a file, and the screenshot's way of never
// writing over one.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quill {

// A file's size and last change; two stamps that compare equal mean nothing was
// written in between, as far as the system can tell.
struct FileStamp {
  bool exists = false;  // false also when the file cannot be looked at
  uint64_t size = 0;
  int64_t changed_ns = 0;  // the modification time, in the system's epoch

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file at `path` now (a missing file has exists == false). Any thread.
[[nodiscard]] FileStamp platform_file_stamp(const char* path);

enum class CreateOutcome : uint8_t { created, exists, failed };

// Creates the file at `path` for writing in binary mode, only when nothing by that
// name is there yet. Writes `out` only on `created`; the caller closes it.
[[nodiscard]] CreateOutcome platform_create_new_file(const char* path, std::FILE*& out);

}  // namespace quill
