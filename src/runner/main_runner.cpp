// The main runner: executes the main machine in batches of machine_run, paced to
// `speed` instructions per second from a baseline that restarts after every key
// wait, sleep and change of speed, so waiting is never made up by a burst later.
// Flags, the lock and the clock are looked at only between batches. A debugger's
// gate (debug_gate.h) is looked at there too; its breakpoints are the engine's stop
// points, so batches stay whole. Only a step hook (or breakpoints the engine cannot
// hold) makes the runner go one instruction at a time.
#include <algorithm>

#include "cpu/engine.h"
#include "cpu/pacing.h"
#include "cpu/step.h"
#include "host/keyboard.h"
#include "platform/clock.h"
#include "runner/debug_gate.h"
#include "runner/processor.h"

namespace quill {
namespace {

struct Baseline {
  uint64_t time_ns = 0;
  uint64_t count = 0;
};

void pause(Processor& processor, uint64_t duration_ns) {
  const Pause how = pause_for(duration_ns);
  if (how.yield) {
    thread_yield();
  } else {
    (void)event_wait_ms(processor.wake_event, how.wait_ms);
  }
}

void reset(Baseline& baseline, const Machine& machine) {
  baseline.time_ns = clock_now_ns();
  baseline.count = machine.executed;
}

// Steps 1 to 3 of an iteration: true when the runner ends here.
bool should_end(Processor& processor) {
  Machine& machine = processor.machine;
  const EndCheck check = runner_end_check(processor.quit_requested.load() != 0, processor.stop_requested.load() != 0,
                                          processor.host.halt_request, machine.status);
  machine.status = check.status;
  if (check.ends) return true;
  return processor.step_limit != 0 && machine.executed >= processor.step_limit;
}

// The batch due now, or 0 after pausing because nothing is due yet.
uint64_t paced_batch(Processor& processor, Baseline& baseline, uint64_t& seen_changes) {
  const HostState& host = processor.host;
  const Machine& machine = processor.machine;
  const uint64_t now = clock_now_ns();
  const uint64_t changes = host.speed_changes;  // only this thread writes them
  const uint64_t speed = host.speed;
  if (changes != seen_changes) {
    baseline.count = machine.executed;
    baseline.time_ns = now;
    seen_changes = changes;
    if (speed == 0) return kRunnerBatch;
    pause(processor, period_ns(speed));
    return 0;
  }
  if (speed == 0) return kRunnerBatch;
  const long double allowance = pacing_allowance(now - baseline.time_ns, speed, machine.executed - baseline.count);
  const uint64_t batch = batch_for_allowance(allowance, kRunnerBatch);
  if (batch == 0) pause(processor, period_ns(speed));
  return batch;
}

// The gate's breakpoints become the engine's stop points, so a batch runs whole up to
// the next one. False when the engine cannot hold them all: the batches then go one
// instruction at a time and look at each.
bool set_engine_stops(Processor& processor) {
  Machine& machine = processor.machine;
  machine_clear_stops(machine);
  if (processor.debug_gate == nullptr) return true;
  for (const uint64_t address : processor.debug_gate->breakpoints) {
    if (!machine_set_stop(machine, address, true)) {
      machine_clear_stops(machine);
      return false;
    }
  }
  return true;
}

bool checks_each_step(const Processor& processor, bool engine_stops) {
  return processor.step_hook != nullptr ||
         (!engine_stops && processor.debug_gate != nullptr && !processor.debug_gate->breakpoints.empty());
}

// A batch one instruction at a time, ending as machine_run would. Before each
// instruction the step hook is called (one that declines ends the run as a quit
// does) and the gate's breakpoints are looked at: the runner parks before one, and
// the batch ends so that the flags are looked at again. `skip_breakpoint` lets the
// first instruction after a park run whatever its address.
void checked_run(Processor& processor, uint64_t batch, bool& skip_breakpoint) {
  Machine& machine = processor.machine;
  if (machine_stopped(machine)) return;
  DebugGate* gate = processor.debug_gate;
  for (; batch > 0; --batch) {
    if (gate != nullptr && !skip_breakpoint &&
        std::binary_search(gate->breakpoints.begin(), gate->breakpoints.end(), machine.pc)) {
      debug_gate_park(*gate, processor, ParkReason::breakpoint);
      skip_breakpoint = true;
      return;
    }
    skip_breakpoint = false;
    if (processor.step_hook != nullptr && !processor.step_hook(processor.step_context, machine)) {
      processor.quit_requested.exchange(1);
      return;
    }
    if (machine_step(machine) != status_ready) return;
  }
  machine.status = status_budget_reached;
}

// A batch through the engine, which stops before the gate's breakpoints (set as its
// stop points); the runner parks there. A batch never stops before its first
// instruction, so a breakpoint at pc is looked at here first, unless the runner has
// just parked there.
// True when it parked.
bool run_to_breakpoint(Processor& processor, uint64_t batch, bool& skip_breakpoint) {
  Machine& machine = processor.machine;
  DebugGate& gate = *processor.debug_gate;
  if (!skip_breakpoint && std::binary_search(gate.breakpoints.begin(), gate.breakpoints.end(), machine.pc)) {
    debug_gate_park(gate, processor, ParkReason::breakpoint);
    skip_breakpoint = true;
    return true;
  }
  skip_breakpoint = false;
  (void)machine_run(machine, batch);
  if (!machine_ended_at_stop(machine)) return false;
  debug_gate_park(gate, processor, ParkReason::breakpoint);
  skip_breakpoint = true;
  return true;
}

// The machine ended by itself (a halt or a fault), not by a quit, a stop or the limit.
bool ended_by_itself(const Processor& processor) {
  return machine_stopped(processor.machine) && processor.quit_requested.load() == 0 &&
         processor.stop_requested.load() == 0;
}

}  // namespace

void main_runner(void* argument) {
  Processor& processor = *static_cast<Processor*>(argument);
  Machine& machine = processor.machine;
  HostState& host = processor.host;
  Baseline baseline;
  reset(baseline, machine);
  uint64_t seen_changes = host.speed_changes;
  DebugGate* gate = processor.debug_gate;
  bool skip_breakpoint = false;
  bool engine_stops = true;  // the gate's breakpoints are the engine's stops
  for (;;) {
    if (should_end(processor)) {
      // An attached debugger sees the end before the window does.
      if (gate != nullptr && ended_by_itself(processor)) debug_gate_park(*gate, processor, ParkReason::ended);
      break;
    }
    if (gate != nullptr && gate->knock.load() != 0) {
      debug_gate_park(*gate, processor, ParkReason::pause);
      skip_breakpoint = true;
      engine_stops = set_engine_stops(processor);  // the debugger may have changed them
      reset(baseline, machine);                    // time parked is not made up by a burst
      continue;
    }
    if (waiting_for_key(host)) {
      (void)event_wait_ms(processor.wake_event, kLongestWaitMs);
      reset(baseline, machine);
      continue;
    }
    const uint64_t now = clock_now_ns();
    if (now < host.wake_ns) {
      pause(processor, host.wake_ns - now);
      reset(baseline, machine);
      continue;
    }
    uint64_t batch = paced_batch(processor, baseline, seen_changes);
    if (batch == 0) continue;
    if (processor.step_limit != 0 && processor.step_limit - machine.executed < batch) {
      batch = processor.step_limit - machine.executed;
    }
    const uint64_t executed = machine.executed;
    if (checks_each_step(processor, engine_stops)) {
      checked_run(processor, batch, skip_breakpoint);
    } else if (gate != nullptr && !gate->breakpoints.empty()) {
      if (run_to_breakpoint(processor, batch, skip_breakpoint)) engine_stops = set_engine_stops(processor);
    } else {
      (void)machine_run(machine, batch);
    }
    if (machine.executed == executed) reset(baseline, machine);  // parked at once
  }
  if (gate != nullptr) debug_gate_runner_ended(*gate);
  if (processor.end_hook != nullptr) processor.end_hook(processor.end_context);
}

}  // namespace quill
