#include "platform/file_open.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

FileOpenOutcome outcome_of_errno(int error) {
  if (error == ENOENT) return FileOpenOutcome::not_found;
  if (error == EACCES || error == EPERM) return FileOpenOutcome::denied;
  return FileOpenOutcome::failed;
}

FileOpenOutcome refuse(int fd, FileOpenOutcome outcome) {
  close(fd);
  return outcome;
}

}  // namespace

// O_NONBLOCK keeps open() from waiting for a FIFO's writer; it is cleared once the
// file is known to be regular, so reads behave as usual. A tool reading a pipe opens
// it the ordinary way, since waiting for the writer is what reading a pipe means.
FileOpenOutcome platform_open_for_reading(const char* path, FileKinds kinds, OpenedFile& out) {
  const bool regular_only = kinds == FileKinds::regular_only;
  const int fd = open(path, O_RDONLY | O_CLOEXEC | (regular_only ? O_NONBLOCK : 0));
  if (fd < 0) return outcome_of_errno(errno);
  struct stat info {};
  if (fstat(fd, &info) != 0) return refuse(fd, FileOpenOutcome::failed);
  if (S_ISDIR(info.st_mode)) return refuse(fd, FileOpenOutcome::directory);
  const bool regular = S_ISREG(info.st_mode);
  if (regular_only && !regular) return refuse(fd, FileOpenOutcome::not_regular);
  if (regular_only) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(fd, FileOpenOutcome::failed);
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) return refuse(fd, FileOpenOutcome::failed);
  out = {file, regular, regular ? static_cast<uint64_t>(info.st_size) : 0};
  return FileOpenOutcome::opened;
}

bool platform_file_size(std::FILE* file, uint64_t& out) {
  struct stat info {};
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  out = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace quill
