#include "host/dispatch.h"

#include "codec/literal.h"

namespace quill {
namespace {

constexpr int64_t kLowestType = -512'000'000'000;

// Each group owns a range of 400 numbers; only the listed ones are served.
bool route(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result) {
  if (type >= -15) return system_service(state, type, x, y, result);
  if (type <= -21 && type >= -26) return core_service(state, type, x, y, result);
  if (type <= -160001 && type >= -160019) return framebuffer_service(state, type, x, y, result);
  if (type <= -320001 && type >= -320004) return keyboard_service(state, type, result);
  if (type <= -480001 && type >= -480004) return fetch_service(state.fetch, *state.machine, type, x, &result) != 0;
  return false;
}

}  // namespace

bool decode_host_arguments(const Machine& machine, int64_t argument, int64_t& x, int64_t& y) {
  if (argument == NIL) {
    x = NIL;
    y = NIL;
    return true;
  }
  if (argument < 0) return false;
  const auto p = static_cast<uint64_t>(argument);
  int64_t first = NIL;
  int64_t second = NIL;
  // read_cell insists on a ten-tryte cell ("9" or "J" first), so a shorter
  // literal such as one starting with "8" is refused here.
  if (!read_cell(machine.memory, machine.size, p, first)) return false;
  if (!read_cell(machine.memory, machine.size, p + 10, second)) return false;
  x = first;
  y = second;
  return true;
}

int32_t host_dispatch(void* host_state, int64_t type, int64_t argument, int64_t* result) {
  auto* state = static_cast<HostState*>(host_state);
  if (state == nullptr || state->machine == nullptr || type >= 0) return 0;
  int64_t x = NIL;
  int64_t y = NIL;
  if (!decode_host_arguments(*state->machine, argument, x, y)) return 0;
  if (result == nullptr || type < kLowestType) return 0;
  int64_t value = NIL;
  if (!route(*state, type, x, y, value)) return 0;
  *result = value;
  return 1;
}

}  // namespace quill
