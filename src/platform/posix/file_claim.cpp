#include "platform/file_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace quill {

ClaimOutcome platform_claim_file(const char* path, FileClaim& out) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return ClaimOutcome::failed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    return busy ? ClaimOutcome::held_elsewhere : ClaimOutcome::failed;
  }
  out.handle = fd;
  return ClaimOutcome::claimed;
}

void platform_release_claim(FileClaim& claim) {
  if (claim.handle < 0) return;
  close(static_cast<int>(claim.handle));  // closing the only descriptor drops the lock
  claim.handle = -1;
}

}  // namespace quill
