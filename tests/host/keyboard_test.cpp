// The key queue: order across the wrap, the full queue, and the wait flag.
#include "host/keyboard.h"

#include <gtest/gtest.h>

#include "platform/event.h"
#include "support/host_harness.h"

namespace quill {
namespace {

using test::HostHarness;
using test::kFailed;
using test::Ok;

TEST(KeyQueue, EmptyQueueGivesNilAndCountZero) {
  HostHarness h;
  EXPECT_EQ(h.call(host_call::kbd_take), Ok(NIL));
  EXPECT_EQ(h.call(host_call::kbd_count), Ok(0));
  EXPECT_EQ(h.call(host_call::kbd_present), Ok(1));
  EXPECT_EQ(h.call(-320005), kFailed);
}

TEST(KeyQueue, KeysComeOutInOrderAcrossTheWrap) {
  HostHarness h;
  // Move the head near the end of the ring first.
  for (int i = 0; i < 4090; ++i) ASSERT_TRUE(processor_push_key(*h.processor, 1));
  for (int i = 0; i < 4090; ++i) ASSERT_EQ(h.call(host_call::kbd_take), Ok(1));
  for (int64_t code = 0; code < 20; ++code) ASSERT_TRUE(processor_push_key(*h.processor, code));
  EXPECT_EQ(h.call(host_call::kbd_count), Ok(20));
  for (int64_t code = 0; code < 20; ++code) EXPECT_EQ(h.call(host_call::kbd_take), Ok(code));
  EXPECT_EQ(h.host().key_head, 14u);
}

TEST(KeyQueue, AFullQueueDropsKeysWithoutWakingTheRunner) {
  HostHarness h;
  Processor& p = *h.processor;
  for (uint32_t i = 0; i < kKeyQueueCapacity; ++i) ASSERT_TRUE(processor_push_key(p, i % 94));
  while (event_wait_ms(p.wake_event, 0)) {
  }
  EXPECT_FALSE(processor_push_key(p, 100));
  EXPECT_FALSE(event_wait_ms(p.wake_event, 0));  // a dropped key signals nothing
  EXPECT_EQ(h.call(host_call::kbd_count), Ok(4096));
  EXPECT_EQ(h.call(host_call::kbd_take), Ok(0));
  EXPECT_TRUE(processor_push_key(p, 113));
  EXPECT_TRUE(event_wait_ms(p.wake_event, 0));
  for (uint32_t i = 1; i < kKeyQueueCapacity; ++i) ASSERT_EQ(h.call(host_call::kbd_take), Ok(i % 94));
  EXPECT_EQ(h.call(host_call::kbd_take), Ok(113));
}

TEST(KeyQueue, NothingIsQueuedAfterAQuit) {
  HostHarness h;
  processor_request_quit(*h.processor);
  EXPECT_FALSE(processor_push_key(*h.processor, 5));
  EXPECT_EQ(h.call(host_call::kbd_count), Ok(0));
}

TEST(KeyWait, SetsTheFlagOnlyWhenEmptyAndAlwaysYields) {
  HostHarness h;
  EXPECT_EQ(h.call(host_call::kbd_wait), Ok(0));
  EXPECT_EQ(h.machine().status, status_budget_reached);
  EXPECT_TRUE(waiting_for_key(h.host()));
  EXPECT_TRUE(processor_push_key(*h.processor, 60));  // a key clears the wait
  EXPECT_FALSE(waiting_for_key(h.host()));
  h.machine().status = status_ready;
  EXPECT_EQ(h.call(host_call::kbd_wait), Ok(0));  // a key is already there: no wait, one yield
  EXPECT_EQ(h.machine().status, status_budget_reached);
  EXPECT_FALSE(waiting_for_key(h.host()));
  EXPECT_EQ(h.call(host_call::kbd_take), Ok(60));
}

}  // namespace
}  // namespace quill
