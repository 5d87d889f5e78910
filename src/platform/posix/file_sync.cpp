#include "platform/file_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <climits>

namespace quill {

bool platform_sync_file(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  return fsync(fileno(file)) == 0;
}

bool platform_replace_file(const char* from, const char* to) {
  if (std::rename(from, to) != 0) return false;
  // Persist the directory entry too. Some file systems cannot sync a directory;
  // the rename has happened either way, so that is not a failure.
  char folder[PATH_MAX] = ".";
  const char* slash = std::strrchr(to, '/');
  if (slash != nullptr) {
    const size_t length = static_cast<size_t>(slash - to) + 1;
    if (length >= sizeof folder) return true;
    std::memcpy(folder, to, length);
    folder[length] = '\0';
  }
  const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)fsync(fd);
    close(fd);
  }
  return true;
}

}  // namespace quill
