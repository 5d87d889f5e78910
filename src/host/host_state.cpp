#include "host/host_state.h"

#include "host/cores.h"
#include "host/dispatch.h"
#include "host/framebuffer.h"
#include "platform/clock.h"

namespace quill {

bool host_state_init(HostState& state, Machine& machine) {
  if (!lock_init(state.lock)) return false;
  state.machine = &machine;
  state.cores_enabled = true;
  state.speed = kDefaultSpeed;
  framebuffer_init(state);
  state.start_ns = clock_now_ns();
  machine.host_hook = host_dispatch;
  machine.host_context = &state;
  return true;
}

void host_state_release(HostState& state) {
  cores_shutdown(state);
  if (state.machine != nullptr && state.machine->host_context == &state) {
    state.machine->host_hook = nullptr;
    state.machine->host_context = nullptr;
  }
  fetch_release(state.fetch);
  lock_destroy(state.lock);
}

}  // namespace quill
