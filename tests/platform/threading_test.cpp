// The thread, lock, event and clock primitives of the platform layer.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/thread.h"

namespace quill {
namespace {

struct Counter {
  PlatformLock lock;
  uint64_t value = 0;
};

void add_many(void* argument) {
  auto& counter = *static_cast<Counter*>(argument);
  for (int i = 0; i < 100'000; ++i) {
    LockGuard hold(counter.lock);
    counter.value = counter.value + 1;
  }
}

TEST(Threads, TwoThreadsUnderTheLockLoseNoUpdate) {
  Counter counter;
  ASSERT_TRUE(lock_init(counter.lock));
  PlatformThread first;
  PlatformThread second;
  ASSERT_TRUE(thread_start(first, add_many, &counter));
  EXPECT_FALSE(thread_start(first, add_many, &counter));  // already running
  ASSERT_TRUE(thread_start(second, add_many, &counter));
  thread_join(first);
  thread_join(second);
  thread_join(second);  // a second join does nothing
  EXPECT_EQ(counter.value, 200'000u);
  lock_destroy(counter.lock);
}

struct Waiter {
  PlatformEvent event;
  std::atomic<int> woken{0};
};

void wait_once(void* argument) {
  auto& waiter = *static_cast<Waiter*>(argument);
  if (event_wait_ms(waiter.event, 10'000)) ++waiter.woken;
}

TEST(Event, OneSignalWakesOneWaitAndIsThenClear) {
  Waiter waiter;
  ASSERT_TRUE(event_init(waiter.event));
  EXPECT_FALSE(event_wait_ms(waiter.event, 20));  // starts clear
  event_signal(waiter.event);
  event_signal(waiter.event);  // a set event stays set once, not twice
  EXPECT_TRUE(event_wait_ms(waiter.event, 0));
  EXPECT_FALSE(event_wait_ms(waiter.event, 20));

  PlatformThread thread;
  ASSERT_TRUE(thread_start(thread, wait_once, &waiter));
  sleep_ms(20);
  event_signal(waiter.event);
  thread_join(thread);
  EXPECT_EQ(waiter.woken.load(), 1);
  event_destroy(waiter.event);
  event_destroy(waiter.event);
}

TEST(Clock, NeverGoesBackAndSleepsAtLeastAsAsked) {
  const uint64_t start = clock_now_ns();
  uint64_t last = start;
  for (int i = 0; i < 1'000; ++i) {
    const uint64_t now = clock_now_ns();
    EXPECT_GE(now, last);
    last = now;
    thread_yield();
  }
  const uint64_t before = clock_now_ns();
  sleep_ms(30);
  EXPECT_GE(clock_now_ns() - before, 25'000'000u);  // timer granularity may shave a little
}

}  // namespace
}  // namespace quill
