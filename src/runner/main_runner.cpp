// The main runner: executes the main machine in batches of machine_run, paced to
// `speed` instructions per second from a baseline that restarts after every key
// wait, sleep and change of speed, so waiting is never made up by a burst later.
// Flags, the lock and the clock are looked at only between batches.
#include "cpu/pacing.h"
#include "cpu/step.h"
#include "host/keyboard.h"
#include "platform/clock.h"
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

// A batch one instruction at a time with the step hook before each, ending as
// machine_run would; a hook that declines ends the run as a quit does.
void hooked_run(Processor& processor, uint64_t batch) {
  Machine& machine = processor.machine;
  if (machine_stopped(machine)) return;
  for (; batch > 0; --batch) {
    if (!processor.step_hook(processor.step_context, machine)) {
      processor.quit_requested.exchange(1);
      return;
    }
    if (machine_step(machine) != status_ready) return;
  }
  machine.status = status_budget_reached;
}

}  // namespace

void main_runner(void* argument) {
  Processor& processor = *static_cast<Processor*>(argument);
  Machine& machine = processor.machine;
  HostState& host = processor.host;
  Baseline baseline;
  reset(baseline, machine);
  uint64_t seen_changes = host.speed_changes;
  while (!should_end(processor)) {
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
    if (processor.step_hook != nullptr) {
      hooked_run(processor, batch);
    } else {
      (void)machine_run(machine, batch);
    }
  }
  if (processor.end_hook != nullptr) processor.end_hook(processor.end_context);
}

}  // namespace quill
