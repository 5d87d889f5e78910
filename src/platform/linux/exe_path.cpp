// The executable's path from the kernel's /proc/self/exe link.
#include "platform/exe_path.h"

#include <unistd.h>

namespace quill {

bool executable_folder(char (&out)[kExeFolderCapacity]) {
  // One byte more than the limit tells a path that is too long from one that fits.
  char path[kExeFolderCapacity + 1];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0) return false;
  return folder_of_executable(path, static_cast<size_t>(length), '/', out);
}

}  // namespace quill
