#include "platform/file_stamp.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

FileStamp platform_file_stamp(const char* path) {
  struct stat info {};
  if (stat(path, &info) != 0) return {};
  return {true, static_cast<uint64_t>(info.st_size),
          static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

CreateOutcome platform_create_new_file(const char* path, std::FILE*& out) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? CreateOutcome::exists : CreateOutcome::failed;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    (void)close(fd);
    (void)unlink(path);
    return CreateOutcome::failed;
  }
  out = file;
  return CreateOutcome::created;
}

}  // namespace quill
