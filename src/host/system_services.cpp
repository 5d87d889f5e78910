// The system services -1 .. -15: memory access by address and through the read
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

bool packed_write(Machine& machine, int64_t x, int64_t y, int64_t& result) {
  if (x < 0 || y < 0) return false;
  const int written = machine_write_packed(machine, static_cast<uint64_t>(x), y);
  if (written == kPackedTooLarge) return false;
  result = x + written;
  return true;
}

bool write_cell_service(Machine& machine, int64_t x, int64_t y, int64_t& result) {
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
  if (type == -13) {
    if (x < 0 || static_cast<uint64_t>(x) > machine.size) return false;
    state.read_cursor = static_cast<uint64_t>(x);
    result = x;
    return true;
  }
  if (type == -14) {
    if (state.read_cursor > static_cast<uint64_t>(INT64_MAX)) return false;
    if (!read_tryte_value(machine, static_cast<int64_t>(state.read_cursor), result)) return false;
    state.read_cursor += 1;
    return true;
  }
  if (!read_cell(machine.memory, machine.size, state.read_cursor, result)) return false;
  state.read_cursor += 10;
  return true;
}

int64_t count_or_nil(uint64_t count) { return count > static_cast<uint64_t>(kValueMax) ? NIL : static_cast<int64_t>(count); }

}  // namespace

bool system_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result) {
  Machine& machine = *state.machine;
  switch (type) {
    case -1: result = 1; return true;
    case -2: result = static_cast<int64_t>(machine.size); return true;
    case -3: return read_tryte_value(machine, x, result);
    case -4: return packed_write(machine, x, y, result);
    case -5: return x >= 0 && read_cell(machine.memory, machine.size, static_cast<uint64_t>(x), result);
    case -6: return write_cell_service(machine, x, y, result);
    case -7: result = count_or_nil(machine.executed); return true;
    case -8: result = static_cast<int64_t>(state.speed); return true;
    case -9: return set_speed(state, x, result);
    case -10: return sleep_service(state, x, result);
    case -11:
      state.halt_request = 1;
      request_yield(machine);
      result = 0;
      return true;
    case -12: result = count_or_nil((clock_now_ns() - state.start_ns) / 1'000'000); return true;
    case -13:
    case -14:
    case -15: return cursor_service(state, type, x, result);
    default: return false;
  }
}

}  // namespace quill
