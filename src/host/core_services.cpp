// The core services (group core in host_calls.h): start a core on a copy of main memory, read its state,
// result and executed count, and stop it.
#include <cstdlib>
#include <cstring>

#include "codec/literal.h"
#include "host/cores.h"
#include "host/dispatch.h"

namespace quill {
namespace {

struct CoreParameters {
  uint64_t source = 0;
  uint64_t length = 0;
  int64_t acc = NIL;
  uint64_t budget = kCoreDefaultBudget;
};

// Reads and checks the four cells at `address`; false when any is missing or wrong.
bool read_parameters(const Machine& main, int64_t address, CoreParameters& out) {
  if (address < 0) return false;
  const auto at = static_cast<uint64_t>(address);
  if (at > main.size || main.size - at < 40) return false;
  int64_t cells[4] = {};
  for (uint64_t i = 0; i < 4; ++i) {
    if (!read_cell(main.memory, main.size, at + 10 * i, cells[i])) return false;
  }
  const int64_t source = cells[0], length = cells[1], budget = cells[3];
  if (source < 0 || length < 1 || length > static_cast<int64_t>(kCoreMemoryMax)) return false;
  if (static_cast<uint64_t>(source) > main.size ||
      main.size - static_cast<uint64_t>(source) < static_cast<uint64_t>(length)) {
    return false;
  }
  if (budget != NIL && budget < 1) return false;  // a cell never exceeds the value range
  out.source = static_cast<uint64_t>(source);
  out.length = static_cast<uint64_t>(length);
  out.acc = cells[2];
  out.budget = budget == NIL ? kCoreDefaultBudget : static_cast<uint64_t>(budget);
  return true;
}

// Marks the first slot that may be taken as running; -1 when there is none.
int claim_slot(HostState& state, int64_t wanted) {
  LockGuard guard(state.lock);
  for (int i = 0; i < kCoreCount; ++i) {
    if ((wanted == NIL || wanted == i) && state.cores[i].state != core_running) {
      state.cores[i].state = core_running;
      return i;
    }
  }
  return -1;
}

void mark_failed(HostState& state, CoreSlot& slot) {
  LockGuard guard(state.lock);
  slot.state = core_failed;
}

// Joins the slot's earlier thread and frees its memory, leaving an empty machine.
void clear_slot(CoreSlot& slot) {
  thread_join(slot.thread);
  std::free(slot.machine.memory);
  machine_reset(slot.machine, nullptr, 0);
}

bool start_core(HostState& state, int64_t x, int64_t y, int64_t& result) {
  CoreParameters parameters;
  if (!read_parameters(*state.machine, x, parameters)) return false;
  const int index = claim_slot(state, y);
  if (index < 0) {
    result = NIL;
    return true;
  }
  CoreSlot& slot = state.cores[index];
  clear_slot(slot);
  auto* memory = static_cast<uint8_t*>(std::malloc(3 * parameters.length));
  if (memory == nullptr) {
    mark_failed(state, slot);
    return false;
  }
  std::memcpy(memory, state.machine->memory + 3 * parameters.source, 3 * parameters.length);
  machine_reset(slot.machine, memory, parameters.length);
  slot.machine.acc = parameters.acc;
  slot.result = NIL;
  slot.executed_snapshot = 0;
  slot.host = &state;
  slot.budget = parameters.budget;
  // The stop for good sets cores_stopped before the slots' flags: either this load
  // sees it, or that stop sets this slot's flag after the clear above.
  slot.stop_requested.exchange(0);
  if (state.cores_stopped.load() != 0) slot.stop_requested.exchange(1);
  if (state.core_thread == nullptr || !thread_start(slot.thread, state.core_thread, &slot)) {
    mark_failed(state, slot);
    return false;
  }
  result = index;
  return true;
}

bool stop_cores(HostState& state, int64_t x, int64_t& result) {
  if (x == NIL) {
    cores_request_stop(state);
  } else {
    if (static_cast<uint64_t>(x) >= kCoreCount) return false;
    LockGuard guard(state.lock);
    state.cores[x].stop_requested.exchange(1);
  }
  result = 0;
  return true;
}

bool read_slot(HostState& state, int64_t type, int64_t x, int64_t& result) {
  if (static_cast<uint64_t>(x) >= kCoreCount) return false;
  LockGuard guard(state.lock);
  const CoreSlot& slot = state.cores[x];
  if (type == host_call::core_state) {
    result = slot.state;
  } else if (type == host_call::core_result) {
    result = slot.state == core_finished ? slot.result : NIL;
  } else {
    result =
        slot.executed_snapshot > static_cast<uint64_t>(kValueMax) ? NIL : static_cast<int64_t>(slot.executed_snapshot);
  }
  return true;
}

}  // namespace

void cores_request_stop(HostState& state) {
  for (CoreSlot& slot : state.cores) slot.stop_requested.exchange(1);
}

void cores_stop_for_good(HostState& state) {
  state.cores_stopped.exchange(1);
  cores_request_stop(state);
}

void cores_shutdown(HostState& state) {
  if (!state.cores_enabled) return;
  cores_stop_for_good(state);
  for (CoreSlot& slot : state.cores) clear_slot(slot);
}

bool core_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result) {
  switch (type) {
    case host_call::core_count:
      result = kCoreCount;
      return true;
    case host_call::core_start:
      return start_core(state, x, y, result);
    case host_call::core_stop:
      return stop_cores(state, x, result);
    case host_call::core_state:
    case host_call::core_result:
    case host_call::core_executed:
      return read_slot(state, type, x, result);
    default:
      return false;
  }
}

}  // namespace quill
