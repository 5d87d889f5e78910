#include "platform/exe_path.h"

#include <unistd.h>

namespace quill {

bool exe_folder(char (&folder)[kExeFolderCapacity]) {
  char path[kExeFolderCapacity];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0) return false;
  return exe_folder_from_path(path, static_cast<size_t>(n), '/', folder);
}

}  // namespace quill
