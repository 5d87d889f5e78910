// An auto-reset event: a signal stays set until exactly one wait consumes it.
#pragma once

#include <cstdint>

namespace quill {

// Storage for the backend's event objects; only the backend looks inside.
struct PlatformEvent {
  alignas(16) unsigned char storage[128] = {};
  bool ready = false;  // set by event_init, cleared by event_destroy
};

// Prepares the event, not signalled; false when the system refuses. One thread.
[[nodiscard]] bool event_init(PlatformEvent& event);

// Sets the event; a waiting thread (or the next wait) returns and clears it. Any thread.
void event_signal(PlatformEvent& event);

// Waits until the event is set or `timeout_ms` have passed; true when it was set
// (and is now clear again). Any thread.
bool event_wait_ms(PlatformEvent& event, uint32_t timeout_ms);

// Frees the system's resources; nobody may wait on it. Safe when never prepared.
void event_destroy(PlatformEvent& event);

}  // namespace quill
