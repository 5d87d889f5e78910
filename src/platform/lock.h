// The one lock of the host: a plain mutual-exclusion lock, not recursive.
#pragma once

#include <cstdint>

namespace quill {

// Storage for the backend's lock object; only the backend looks inside.
struct PlatformLock {
  alignas(16) unsigned char storage[64] = {};
  bool ready = false;  // set by lock_init, cleared by lock_destroy
};

// Prepares the lock; false when the system refuses. First use only, one thread.
[[nodiscard]] bool lock_init(PlatformLock& lock);

// Takes the lock, blocking while another thread holds it. Any thread.
void lock_acquire(PlatformLock& lock);

// Releases the lock held by the calling thread.
void lock_release(PlatformLock& lock);

// Frees the system's resources; no thread may hold or wait for it. Safe on a lock
// that was never prepared.
void lock_destroy(PlatformLock& lock);

// Holds the lock for the rest of a scope.
struct LockGuard {
  PlatformLock& lock;
  explicit LockGuard(PlatformLock& held) : lock(held) { lock_acquire(lock); }
  ~LockGuard() { lock_release(lock); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
};

}  // namespace quill
