// The key queue: key codes 0..93 (characters) and 100..113 (special keys) pushed
// by the window thread and taken by the program through the kbd host calls.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/host_state.h"
#include "platform/event.h"

namespace quill {

// Appends `code` under the lock, clears waiting_for_key and then signals
// `wake_event`. The code is dropped (false, nothing signalled) once a quit was
// requested or when 4096 codes are already waiting. Window thread.
bool push_key(HostState& state, const std::atomic<int32_t>& quit_requested, PlatformEvent& wake_event, int64_t code);

// True while the program waits for a key; read under the lock. Any thread.
[[nodiscard]] bool waiting_for_key(HostState& state);

}  // namespace quill
