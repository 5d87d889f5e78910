// Safe file replacement: the OS calls that writing a file beside the old one and
// renaming it over needs beyond the C library (an exclusive create that follows no
// link, what a path names, where a link leads, forcing a file to disk, renaming).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace quill {

inline constexpr size_t kPlatformPathCapacity = 4096;  // bytes, with the terminating NUL

// What a path names once symbolic links are followed, as far as writing goes.
enum class FileKind : uint8_t {
  missing,  // nothing (a link that leads nowhere too): a new file may be made
  regular,  // a file on a disk, replaced by renaming a new one over it
  other,    // a folder, device, pipe, or a name that cannot be examined: written in place or not at all
};

// The kind of `path`. On POSIX every name under /dev/ or /proc/ met on the way
// (/dev/stdout leads to /proc/self/fd/1) counts as `other`. Any thread.
[[nodiscard]] FileKind platform_file_kind(const char* path);

// Writes into `out` (`capacity` bytes) the path of the file that `path` stands
// for: `path` itself, or, when it names a symbolic link, where the chain of links
// ends (which need not exist yet). False, `out` untouched, when that does not fit
// or the chain does not end. Any thread.
[[nodiscard]] bool platform_resolve_link(const char* path, char* out, size_t capacity);

// Creates `path` as a new, empty file open for binary writing. Fails when anything
// has that name already (a link, even one that leads nowhere, included), so it
// never writes through a link someone planted. On POSIX the file gets the
// permission bits of the file `like` when that exists. nullptr on failure, with
// errno set. Any thread.
[[nodiscard]] std::FILE* platform_create_new_file(const char* path, const char* like);

// Flushes the stream's buffers and forces the file's contents to the disk.
// Returns false when either step reports an error. Any thread.
[[nodiscard]] bool platform_sync_file(std::FILE* file);

// Renames `from` over `to` in one step, replacing an existing `to`, and makes the
// rename itself durable where the file system allows. Returns false when the
// rename fails; `to` is then untouched. Any thread.
[[nodiscard]] bool platform_replace_file(const char* from, const char* to);

}  // namespace quill
