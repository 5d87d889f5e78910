#include "platform/event.h"

#include <windows.h>

#include <cstring>

namespace quill {
namespace {

static_assert(sizeof(HANDLE) <= sizeof(PlatformEvent::storage));

HANDLE handle_of(const PlatformEvent& event) {
  HANDLE handle = nullptr;
  std::memcpy(&handle, event.storage, sizeof handle);
  return handle;
}

}  // namespace

bool event_init(PlatformEvent& event) {
  if (event.ready) return false;
  HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // auto-reset, not signalled
  if (handle == nullptr) return false;
  std::memcpy(event.storage, &handle, sizeof handle);
  event.ready = true;
  return true;
}

void event_signal(PlatformEvent& event) { (void)SetEvent(handle_of(event)); }

bool event_wait_ms(PlatformEvent& event, uint32_t timeout_ms) {
  return WaitForSingleObject(handle_of(event), timeout_ms) == WAIT_OBJECT_0;
}

void event_destroy(PlatformEvent& event) {
  if (!event.ready) return;
  (void)CloseHandle(handle_of(event));
  std::memset(event.storage, 0, sizeof event.storage);
  event.ready = false;
}

}  // namespace quill
