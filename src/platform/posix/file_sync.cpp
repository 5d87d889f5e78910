#include "platform/file_sync.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace quill {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows in one path

using PathBuffer = char[kPlatformPathCapacity];

bool copy_path(char* out, size_t capacity, const char* path) {
  const size_t length = std::strlen(path);
  if (length >= capacity) return false;
  std::memcpy(out, path, length + 1);
  return true;
}

// Moves `path`, a symbolic link, one step along its chain: to its target, taken
// from the link's own folder when relative. False when that does not fit.
bool follow_link(PathBuffer& path) {
  PathBuffer target;
  const ssize_t length = readlink(path, target, sizeof target - 1);
  if (length <= 0) return false;
  target[length] = '\0';
  const char* slash = std::strrchr(path, '/');
  const size_t folder = target[0] == '/' || slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
  if (folder + static_cast<size_t>(length) >= sizeof path) return false;
  std::memcpy(path + folder, target, static_cast<size_t>(length) + 1);
  return true;
}

// Devices and the process file system: never replaced by a renamed file, and
// /proc/self/fd/N leads to whatever standard output happens to be.
bool in_device_tree(const char* path) {
  return std::strncmp(path, "/dev/", 5) == 0 || std::strncmp(path, "/proc/", 6) == 0;
}

enum class ChainEnd : uint8_t { found, missing, device, failed };

// Follows `path` (in place) through its links; `info` describes the end when found.
ChainEnd walk_links(PathBuffer& path, struct stat& info, bool stop_at_devices) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (stop_at_devices && in_device_tree(path)) return ChainEnd::device;
    if (lstat(path, &info) != 0) return errno == ENOENT ? ChainEnd::missing : ChainEnd::failed;
    if (!S_ISLNK(info.st_mode)) return ChainEnd::found;
    if (!follow_link(path)) return ChainEnd::failed;
  }
  return ChainEnd::failed;
}

}  // namespace

FileKind platform_file_kind(const char* path) {
  PathBuffer hop;
  struct stat info {};
  if (!copy_path(hop, sizeof hop, path)) return FileKind::other;
  switch (walk_links(hop, info, true)) {
    case ChainEnd::found:
      return S_ISREG(info.st_mode) ? FileKind::regular : FileKind::other;
    case ChainEnd::missing:
      return FileKind::missing;
    default:
      return FileKind::other;
  }
}

bool platform_resolve_link(const char* path, char* out, size_t capacity) {
  PathBuffer end;
  struct stat info {};
  if (!copy_path(end, sizeof end, path)) return false;
  const ChainEnd reached = walk_links(end, info, false);
  return (reached == ChainEnd::found || reached == ChainEnd::missing) && copy_path(out, capacity, end);
}

std::FILE* platform_create_new_file(const char* path, const char* like) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // The replacement keeps the old file's permissions. A file system that cannot
  // change them (FAT) keeps its own: no reason to refuse the save.
  struct stat old {};
  if (like != nullptr && stat(like, &old) == 0 && S_ISREG(old.st_mode)) (void)fchmod(fd, old.st_mode & 0777);
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    unlink(path);
    errno = error;
  }
  return file;
}

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
