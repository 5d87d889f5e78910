// The system services (group sys in host_calls.h): memory access by address and through the read
// cursor, the executed count, speed, sleep, halt and the elapsed time.
#include "codec/literal.h"
#include "codec/packed.h"
#include "cpu/memory_write.h"
#include "cpu/pacing.h"
#include "host/dispatch.h"
#include "platform/clock.h"

namespace quill {
namespace {

bool read_tryte_value(const Machine& machine, int64_t address, int64_t& result) {
  if (address < 0 || static_cast<uint64_t>(address) >= machine.size) return false;
  const uint8_t value = tryte_value_at(machine.memory, static_cast<uint64_t>(address));
  if (value == kNoTryte) return false;
  result = value;
  return true;
}

// Tells the debugger's recorder, when there is one, what a service is about to write.
void note_write(const HostState& state, int64_t first, uint64_t count) {
  if (state.note_write != nullptr && first >= 0)
    state.note_write(state.note_context, static_cast<uint64_t>(first), count);
}

bool packed_write(HostState& state, int64_t x, int64_t y, int64_t& result) {
  Machine& machine = *state.machine;
  if (x < 0 || y < 0) return false;
  const int length = packed_length(static_cast<uint64_t>(y));
  if (length > 0) note_write(state, x, static_cast<uint64_t>(length));
  const int written = machine_write_packed(machine, static_cast<uint64_t>(x), y);
  if (written == kPackedTooLarge) return false;
  result = x + written;
  return true;
}

bool write_cell_service(HostState& state, int64_t x, int64_t y, int64_t& result) {
  Machine& machine = *state.machine;
  note_write(state, x, 10);  // a cell is ten trytes
  if (x < 0 || !machine_write_cell(machine, static_cast<uint64_t>(x), y)) return false;
  result = x + 10;
  return true;
}

bool set_speed(HostState& state, int64_t x, int64_t& result) {
  if (x < 0) return false;
  {
    LockGuard guard(state.lock);
    state.speed = static_cast<uint64_t>(x);
    state.speed_changes += 1;
  }
  request_yield(*state.machine);
  result = x;
  return true;
}

bool sleep_service(HostState& state, int64_t x, int64_t& result) {
  if (x < 0) return false;
  const uint64_t duration = sleep_duration_ns(static_cast<uint64_t>(x), state.speed);
  state.wake_ns = saturating_add(clock_now_ns(), duration);
  request_yield(*state.machine);
  result = x;
  return true;
}

bool cursor_service(HostState& state, int64_t type, int64_t x, int64_t& result) {
  const Machine& machine = *state.machine;
  if (type == host_call::sys_set_cursor) {
    if (x < 0 || static_cast<uint64_t>(x) > machine.size) return false;
    state.read_cursor = static_cast<uint64_t>(x);
    result = x;
    return true;
  }
  if (type == host_call::sys_cursor_tryte) {
    if (state.read_cursor > static_cast<uint64_t>(INT64_MAX)) return false;
    if (!read_tryte_value(machine, static_cast<int64_t>(state.read_cursor), result)) return false;
    state.read_cursor += 1;
    return true;
  }
  if (!read_cell(machine.memory, machine.size, state.read_cursor, result)) return false;
  state.read_cursor += 10;
  return true;
}

int64_t count_or_nil(uint64_t count) {
  return count > static_cast<uint64_t>(kValueMax) ? NIL : static_cast<int64_t>(count);
}

}  // namespace

bool system_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result) {
  Machine& machine = *state.machine;
  switch (type) {
    case host_call::sys_present:
      result = 1;
      return true;
    case host_call::sys_memory_size:
      result = static_cast<int64_t>(machine.size);
      return true;
    case host_call::sys_read_tryte:
      return read_tryte_value(machine, x, result);
    case host_call::sys_write_packed:
      return packed_write(state, x, y, result);
    case host_call::sys_read_cell:
      return x >= 0 && read_cell(machine.memory, machine.size, static_cast<uint64_t>(x), result);
    case host_call::sys_write_cell:
      return write_cell_service(state, x, y, result);
    case host_call::sys_executed:
      result = count_or_nil(machine.executed);
      return true;
    case host_call::sys_get_speed:
      result = static_cast<int64_t>(state.speed);
      return true;
    case host_call::sys_set_speed:
      return set_speed(state, x, result);
    case host_call::sys_sleep:
      return sleep_service(state, x, result);
    case host_call::sys_halt:
      state.halt_request = true;
      request_yield(machine);
      result = 0;
      return true;
    case host_call::sys_elapsed_ms:
      result = count_or_nil((clock_now_ns() - state.start_ns) / 1'000'000);
      return true;
    case host_call::sys_set_cursor:
    case host_call::sys_cursor_tryte:
    case host_call::sys_cursor_cell:
      return cursor_service(state, type, x, result);
    default:
      return false;
  }
}

}  // namespace quill
