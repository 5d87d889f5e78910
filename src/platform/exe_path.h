// The folder that holds the running executable: where the memory image files live.
#pragma once

#include <cstddef>

namespace quill {

// Room for the folder with its terminating NUL: the Windows path limit, kept by
// every backend so that the same folders work, or fail, on every system.
inline constexpr size_t kExeFolderCapacity = 260;

// Writes the executable's folder, ending in the path separator, into `folder`; the
// empty string when its path names no folder. Returns false, `folder` untouched, when
// the path cannot be read or needs kExeFolderCapacity characters or more. Any thread.
[[nodiscard]] bool exe_folder(char (&folder)[kExeFolderCapacity]);

// The rule behind exe_folder. `path` holds the `length` characters that the system
// wrote into a buffer of kExeFolderCapacity bytes: 0 means it failed and a full
// buffer means the path was cut short, and both return false. Otherwise writes the
// path up to and including its last `separator` (or "" when there is none).
[[nodiscard]] bool exe_folder_from_path(const char* path, size_t length, char separator,
                                        char (&folder)[kExeFolderCapacity]);

}  // namespace quill
