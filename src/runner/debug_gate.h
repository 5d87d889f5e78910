// The gate through which an attached debugger holds the window's running machine:
// it parks the main runner at an instruction boundary, lends the machine while it
// is parked, and lets it go on until one of a set of addresses is next. A
// Processor carries one only when the emulator listens for a debugger; without it
// the runner pays nothing.
//
// Who owns what: the machine and `breakpoints` belong to the runner while it runs
// and to the debugger while it is parked; everything else is under `lock`.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cpu/machine.h"
#include "platform/event.h"
#include "platform/lock.h"

namespace quill {

struct Processor;

// Why the runner parks.
enum class ParkReason : uint8_t {
  pause,       // the debugger asked
  breakpoint,  // one of the breakpoints is the next instruction
  ended,       // the machine halted or failed; a resume lets the runner end
};

struct DebugGate {
  PlatformLock lock;
  PlatformEvent parked_event;         // signalled when the runner parks or ends, and when the gate closes
  std::atomic<int32_t> knock{0};      // something for the runner to look at under the lock; read between batches
  std::vector<uint64_t> breakpoints;  // sorted addresses; see the owners above
  // Under the lock:
  Processor* processor = nullptr;  // bound by processor_start, unbound by processor_release
  bool running = false;            // the bound runner has not ended
  bool attached = false;           // a debugger paused since the last detach: the machine's end parks too
  bool pause_wanted = false;
  bool parked = false;
};

// Prepares the gate's lock and event; false when the system refuses. One thread.
[[nodiscard]] bool debug_gate_init(DebugGate& gate);

// Frees them; no thread may use the gate any more.
void debug_gate_destroy(DebugGate& gate);

// A debugger goes: the breakpoints are forgotten, a parked runner goes on, and the
// machine's end no longer parks until a debugger pauses again. The debugger's
// thread, outside pause and resume.
void debug_gate_detach(DebugGate& gate);

// The three operations an attached debugger uses, with the gate as `context`.
//
// Stops the runner before its next instruction (waiting out a host call in
// progress) and lends the machine: writes memory, size and the Processor. From
// then until debug_gate_detach the debugger counts as attached. Also true
// when the runner parked by itself (a breakpoint, or the machine's end: the status
// tells). False when no runner runs any more or the processor is being replaced.
[[nodiscard]] bool debug_gate_pause(void* context, uint8_t** memory, uint64_t* size, Processor** processor);

// Lets a parked runner go on at its own pace; it parks by itself before executing
// any of the sorted `breakpoints` (the first instruction excepted) and when the
// machine halts or fails. Nothing happens when it is not parked.
void debug_gate_resume(void* context, const uint64_t* breakpoints, size_t count);

// Waits up to `timeout_ms` for the runner to have parked by itself; true when it
// has, and also when no runner runs any more (pause then says false).
[[nodiscard]] bool debug_gate_wait_paused(void* context, uint32_t timeout_ms);

// The runner's side. processor_start binds the gate to its processor before the
// runner starts; processor_release unbinds it before the join, so a debugger stops
// reaching that processor; main_runner reports its end.
void debug_gate_bind(DebugGate& gate, Processor& processor);
void debug_gate_unbind(DebugGate& gate, Processor& processor);
void debug_gate_runner_ended(DebugGate& gate);
// Parks the runner until the debugger lets go, a quit or a stop is requested, or
// no debugger is attached; reason `pause` parks only when one was asked for.
void debug_gate_park(DebugGate& gate, Processor& processor, ParkReason reason);

}  // namespace quill
