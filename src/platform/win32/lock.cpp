#include "platform/lock.h"

#include <windows.h>

namespace quill {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(PlatformLock::storage));

static CRITICAL_SECTION* native(PlatformLock& lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock.storage); }

// A critical section is recursive, but the host never takes the lock twice on one
// thread, so it behaves as the plain lock the interface promises.
bool lock_init(PlatformLock& lock) {
  if (lock.ready) return false;
  InitializeCriticalSection(native(lock));
  lock.ready = true;
  return true;
}

void lock_acquire(PlatformLock& lock) { EnterCriticalSection(native(lock)); }

void lock_release(PlatformLock& lock) { LeaveCriticalSection(native(lock)); }

void lock_destroy(PlatformLock& lock) {
  if (!lock.ready) return;
  DeleteCriticalSection(native(lock));
  lock.ready = false;
}

}  // namespace quill
