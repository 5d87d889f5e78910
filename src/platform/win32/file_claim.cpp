#include "platform/file_claim.h"

#include <windows.h>

namespace quill {
namespace {

// Far beyond the largest image (192,000,000 bytes): a lock there keeps the bytes
// readable by everyone, as Windows' locks are mandatory.
constexpr DWORD kClaimOffsetHigh = 0x7FFFFFFF;

}  // namespace

ClaimOutcome platform_claim_file(const char* path, FileClaim& out) {
  // Shared in every way, so that loading, and the save's rename over the file, still work.
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ClaimOutcome::failed;
  OVERLAPPED at{};
  at.OffsetHigh = kClaimOffsetHigh;
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) == 0) {
    const bool busy = GetLastError() == ERROR_LOCK_VIOLATION;
    (void)CloseHandle(file);
    return busy ? ClaimOutcome::held_elsewhere : ClaimOutcome::failed;
  }
  out.handle = reinterpret_cast<intptr_t>(file);
  return ClaimOutcome::claimed;
}

void platform_release_claim(FileClaim& claim) {
  if (claim.handle == -1) return;
  (void)CloseHandle(reinterpret_cast<HANDLE>(claim.handle));  // closing drops the lock
  claim.handle = -1;
}

}  // namespace quill
