// host_dispatch: the main machine's host hook. It checks a host call, decodes its
// argument block and routes it by number to the service groups.
#pragma once

#include <cstdint>

#include "host/host_state.h"

namespace quill {

// The host hook (context: the HostState). `argument` is NIL or the address of two
// cells x and y. Returns non-zero with `*result` written on success, 0 on failure.
// Main runner thread only.
[[nodiscard]] int32_t host_dispatch(void* host_state, int64_t type, int64_t argument, int64_t* result);

// The arguments of a host call: both NIL when `argument` is NIL, else the cells at
// argument and argument + 10. False when the block is malformed or outside memory.
[[nodiscard]] bool decode_host_arguments(const Machine& machine, int64_t argument, int64_t& x, int64_t& y);

// The service groups that host_dispatch routes to. Each returns false for a call
// that fails and otherwise writes `result`; all run on the main runner thread.
[[nodiscard]] bool system_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool core_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool framebuffer_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool keyboard_service(HostState& state, int64_t type, int64_t& result);

// Asks the runner of `machine` to end its batch after the current instruction.
inline void request_yield(Machine& machine) { machine.status = status_budget_reached; }

}  // namespace quill
