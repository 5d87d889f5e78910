// An auto-reset event from a mutex, a condition variable on the monotonic clock
// and a flag.
#include "platform/event.h"

#include <pthread.h>
#include <time.h>

namespace quill {
namespace {

struct NativeEvent {
  pthread_mutex_t mutex;
  pthread_cond_t condition;
  bool signalled;
};
static_assert(sizeof(NativeEvent) <= sizeof(PlatformEvent::storage));

NativeEvent* native(PlatformEvent& event) { return reinterpret_cast<NativeEvent*>(event.storage); }

timespec deadline_after(uint32_t timeout_ms) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long nanoseconds = now.tv_nsec + static_cast<long long>(timeout_ms % 1000) * 1'000'000;
  timespec at{};
  at.tv_sec = now.tv_sec + static_cast<time_t>(timeout_ms / 1000) + static_cast<time_t>(nanoseconds / 1'000'000'000);
  at.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
  return at;
}

}  // namespace

bool event_init(PlatformEvent& event) {
  if (event.ready) return false;
  NativeEvent* e = native(event);
  pthread_condattr_t attributes;
  if (pthread_condattr_init(&attributes) != 0) return false;
  const bool clock_set = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC) == 0;
  const bool condition_made = clock_set && pthread_cond_init(&e->condition, &attributes) == 0;
  (void)pthread_condattr_destroy(&attributes);
  if (!condition_made) return false;
  if (pthread_mutex_init(&e->mutex, nullptr) != 0) {
    (void)pthread_cond_destroy(&e->condition);
    return false;
  }
  e->signalled = false;
  event.ready = true;
  return true;
}

void event_signal(PlatformEvent& event) {
  NativeEvent* e = native(event);
  (void)pthread_mutex_lock(&e->mutex);
  e->signalled = true;
  (void)pthread_cond_signal(&e->condition);
  (void)pthread_mutex_unlock(&e->mutex);
}

bool event_wait_ms(PlatformEvent& event, uint32_t timeout_ms) {
  NativeEvent* e = native(event);
  const timespec at = deadline_after(timeout_ms);
  (void)pthread_mutex_lock(&e->mutex);
  int outcome = 0;
  while (!e->signalled && outcome == 0) outcome = pthread_cond_timedwait(&e->condition, &e->mutex, &at);
  const bool was_signalled = e->signalled;
  e->signalled = false;
  (void)pthread_mutex_unlock(&e->mutex);
  return was_signalled;
}

void event_destroy(PlatformEvent& event) {
  if (!event.ready) return;
  NativeEvent* e = native(event);
  (void)pthread_cond_destroy(&e->condition);
  (void)pthread_mutex_destroy(&e->mutex);
  event.ready = false;
}

}  // namespace quill
