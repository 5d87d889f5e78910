#include "platform/exe_path.h"

#include <cstring>

namespace quill {

bool folder_of_executable(const char* path, size_t length, char separator, char (&out)[kExeFolderCapacity]) {
  if (length >= kExeFolderCapacity) return false;
  size_t folder_length = 0;
  for (size_t i = 0; i < length; ++i) {
    if (path[i] == separator) folder_length = i + 1;
  }
  std::memcpy(out, path, folder_length);
  out[folder_length] = '\0';
  return true;
}

}  // namespace quill
