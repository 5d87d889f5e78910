#include "host/keyboard.h"

#include "host/dispatch.h"

namespace quill {

bool push_key(HostState& state, const std::atomic<int32_t>& quit_requested, PlatformEvent& wake_event, int64_t code) {
  if (quit_requested.load() != 0) return false;
  {
    LockGuard guard(state.lock);
    if (state.key_count == kKeyQueueCapacity) return false;
    state.key_queue[(state.key_head + state.key_count) % kKeyQueueCapacity] = code;
    state.key_count += 1;
    state.waiting_for_key = false;
  }
  event_signal(wake_event);
  return true;
}

bool waiting_for_key(HostState& state) {
  LockGuard guard(state.lock);
  return state.waiting_for_key;
}

bool keyboard_service(HostState& state, int64_t type, int64_t /*x*/, int64_t /*y*/, int64_t& result) {
  LockGuard guard(state.lock);
  switch (type) {
    case host_call::kbd_count:
      result = state.key_count;
      return true;
    case host_call::kbd_take:
      if (state.key_count == 0) {
        result = NIL;
        return true;
      }
      result = state.key_queue[state.key_head];
      state.key_head = (state.key_head + 1) % kKeyQueueCapacity;
      state.key_count -= 1;
      return true;
    case host_call::kbd_present:
      result = 1;
      return true;
    case host_call::kbd_wait:
      state.waiting_for_key = state.key_count == 0;
      request_yield(*state.machine);
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace quill
