// host_dispatch: the main machine's host hook. It checks a host call, decodes its
// argument block and routes it by number to the service groups.
#pragma once

#include <cstdint>

#include "host/host_calls.h"
#include "host/host_state.h"

namespace quill {

// The host hook (context: the HostState). `argument` is NIL or the address of two
// cells x and y. Returns non-zero with `*result` written on success, 0 on failure.
// Main runner thread only.
[[nodiscard]] int32_t host_dispatch(void* host_state, int64_t type, int64_t argument, int64_t* result);

// The arguments of a host call: both NIL when `argument` is NIL, else the cells at
// argument and argument + 10. False when the block is malformed or outside memory.
[[nodiscard]] bool decode_host_arguments(const Machine& machine, int64_t argument, int64_t& x, int64_t& y);

// A service group: serves host call `type` of its group with the arguments x and y.
// Returns false for a call that fails and otherwise writes `result`. Every group
// has this form and runs on the main runner thread.
using HostGroupService = bool (*)(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);

[[nodiscard]] bool system_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool core_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool framebuffer_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool keyboard_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);
[[nodiscard]] bool fetch_group_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result);

// One group's numbers, first (nearest zero) down to last, as the catalogue lists
// them, and its service.
struct HostRoute {
  int64_t first = 0;
  int64_t last = 0;
  HostGroup group = HostGroup::sys;
  HostGroupService service = nullptr;
};

// The route whose range holds `type`; nullptr for a number outside every group's
// range (such calls fail). Any thread.
[[nodiscard]] const HostRoute* host_route(int64_t type);

// Asks the runner of `machine` to end its batch after the current instruction.
inline void request_yield(Machine& machine) { machine.status = status_budget_reached; }

}  // namespace quill
