// The thread of one auxiliary core: batches of machine_run paced against the
// shared speed, with its own baseline and a 1 ms sleep as its only pause.
#include "runner/core_runner.h"

#include "cpu/pacing.h"
#include "cpu/step.h"
#include "host/cores.h"
#include "platform/clock.h"

namespace quill {
namespace {

void publish_count(CoreSlot& slot) {
  LockGuard guard(slot.host->lock);
  slot.executed_snapshot = slot.machine.executed;
}

// The final state: finished with the accumulator after a halt, failed otherwise.
void finish(CoreSlot& slot, bool halted) {
  LockGuard guard(slot.host->lock);
  slot.result = halted ? slot.machine.acc : NIL;
  slot.state = halted ? core_finished : core_failed;
}

// How many steps the next batch may take; 0 when the core must wait first.
uint64_t next_batch(const CoreSlot& slot, uint64_t speed, uint64_t base_ns, uint64_t base_count) {
  const uint64_t left = slot.budget - slot.machine.executed;
  const uint64_t batch = left < kRunnerBatch ? left : kRunnerBatch;
  if (speed == 0) return batch;
  const long double allowance = pacing_allowance(clock_now_ns() - base_ns, speed, slot.machine.executed - base_count);
  return batch_for_allowance(allowance, batch);
}

}  // namespace

void core_runner(void* argument) {
  CoreSlot& slot = *static_cast<CoreSlot*>(argument);
  Machine& machine = slot.machine;
  uint64_t base_ns = clock_now_ns();
  uint64_t base_count = 0;
  uint64_t seen_changes = UINT64_MAX;  // the first look always takes a baseline
  while (slot.stop_requested.load() == 0) {
    uint64_t changes = 0;
    uint64_t speed = 0;
    {
      LockGuard guard(slot.host->lock);
      changes = slot.host->speed_changes;
      speed = slot.host->speed;
    }
    if (changes != seen_changes) {
      base_ns = clock_now_ns();
      base_count = machine.executed;
    }
    const uint64_t batch = next_batch(slot, speed, base_ns, base_count);
    if (batch == 0) {
      sleep_ms(1);
    } else {
      const uint32_t status = machine_run(machine, batch);
      publish_count(slot);
      if (status >= status_halted) {
        finish(slot, status == status_halted);
        return;
      }
    }
    if (machine.executed >= slot.budget) break;
    seen_changes = changes;
  }
  finish(slot, false);  // stopped, or the budget is used up
}

}  // namespace quill
