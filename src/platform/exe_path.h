// Where the running executable lives: its memory image files sit beside it.
#pragma once

#include <cstddef>

namespace quill {

inline constexpr size_t kExeFolderCapacity = 260;  // bytes, with the terminating NUL

// Cuts the executable's full `path` (`length` bytes, not NUL-terminated) after its
// last `separator`, keeping the separator, into `out`; a path without one gives the
// empty string. False, `out` untouched, when the full path needs kExeFolderCapacity
// bytes or more, so a folder is never taken from a truncated path. Any thread.
[[nodiscard]] bool folder_of_executable(const char* path, size_t length, char separator,
                                        char (&out)[kExeFolderCapacity]);

// Writes the running executable's folder, ending in the system's separator, into
// `out`. False, `out` untouched, when the system cannot tell the path or it is too
// long for the rule above. Any thread.
[[nodiscard]] bool executable_folder(char (&out)[kExeFolderCapacity]);

}  // namespace quill
