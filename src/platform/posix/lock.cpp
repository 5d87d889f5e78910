#include "platform/lock.h"

#include <pthread.h>

namespace quill {

static_assert(sizeof(pthread_mutex_t) <= sizeof(PlatformLock::storage));

static pthread_mutex_t* native(PlatformLock& lock) { return reinterpret_cast<pthread_mutex_t*>(lock.storage); }

bool lock_init(PlatformLock& lock) {
  if (lock.ready) return false;
  lock.ready = pthread_mutex_init(native(lock), nullptr) == 0;
  return lock.ready;
}

void lock_acquire(PlatformLock& lock) { (void)pthread_mutex_lock(native(lock)); }

void lock_release(PlatformLock& lock) { (void)pthread_mutex_unlock(native(lock)); }

void lock_destroy(PlatformLock& lock) {
  if (!lock.ready) return;
  (void)pthread_mutex_destroy(native(lock));
  lock.ready = false;
}

}  // namespace quill
