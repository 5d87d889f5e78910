#include "platform/exe_path.h"

#include <cstring>

namespace quill {

bool exe_folder_from_path(const char* path, size_t length, char separator, char (&folder)[kExeFolderCapacity]) {
  if (length == 0 || length >= kExeFolderCapacity) return false;
  size_t kept = 0;  // up to and including the last separator
  for (size_t i = 0; i < length; ++i) {
    if (path[i] == separator) kept = i + 1;
  }
  std::memcpy(folder, path, kept);
  folder[kept] = '\0';
  return true;
}

}  // namespace quill
