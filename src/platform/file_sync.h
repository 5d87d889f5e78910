// Durable file replacement: the two OS calls that the memory image writer needs
// beyond the C library (forcing a file to disk, and renaming over an old file).
#pragma once

#include <cstdio>

namespace quill {

// Flushes the stream's buffers and forces the file's contents to the disk.
// Returns false when either step reports an error. Any thread.
[[nodiscard]] bool platform_sync_file(std::FILE* file);

// Renames `from` over `to` in one step, replacing an existing `to`, and makes the
// rename itself durable where the file system allows. Returns false when the
// rename fails; `to` is then untouched. Any thread.
[[nodiscard]] bool platform_replace_file(const char* from, const char* to);

}  // namespace quill
