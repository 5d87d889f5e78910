#include "runner/debug_gate.h"

#include <algorithm>

#include "cpu/pacing.h"
#include "platform/clock.h"
#include "runner/processor.h"

namespace quill {
namespace {

constexpr uint32_t kGateWaitMs = 100;  // the longest single wait on the parked event; every change signals it

// Under the lock: lets a parked runner go on.
void let_go(DebugGate& gate) {
  gate.parked = false;
  if (gate.processor != nullptr) event_signal(gate.processor->wake_event);
}

// Waits until `done(gate)` holds under the lock or `timeout_ms` pass (no limit for
// UINT32_MAX); returns with the lock held and the last answer.
template <typename Done>
bool wait_until(DebugGate& gate, uint32_t timeout_ms, Done done) {
  const uint64_t deadline = timeout_ms == UINT32_MAX ? UINT64_MAX : clock_now_ns() + uint64_t{timeout_ms} * 1'000'000;
  lock_acquire(gate.lock);
  while (!done(gate)) {
    const uint64_t now = clock_now_ns();
    if (now >= deadline) return false;
    const uint64_t left_ms = (deadline - now) / 1'000'000 + 1;
    lock_release(gate.lock);
    (void)event_wait_ms(gate.parked_event, static_cast<uint32_t>(std::min<uint64_t>(left_ms, kGateWaitMs)));
    lock_acquire(gate.lock);
  }
  return true;
}

bool parked_or_gone(const DebugGate& gate) { return gate.parked || !gate.running; }

}  // namespace

bool debug_gate_init(DebugGate& gate) { return lock_init(gate.lock) && event_init(gate.parked_event); }

void debug_gate_destroy(DebugGate& gate) {
  event_destroy(gate.parked_event);
  lock_destroy(gate.lock);
}

void debug_gate_detach(DebugGate& gate) {
  LockGuard hold(gate.lock);
  gate.attached = false;
  gate.pause_wanted = false;
  if (gate.parked) {
    gate.breakpoints.clear();  // the debugger's while parked
    let_go(gate);
  } else if (gate.running) {
    gate.knock.store(1);  // the runner forgets its breakpoints at the knock
    event_signal(gate.processor->wake_event);
  }
}

bool debug_gate_pause(void* context, uint8_t** memory, uint64_t* size, Processor** processor) {
  DebugGate& gate = *static_cast<DebugGate*>(context);
  lock_acquire(gate.lock);
  if (gate.running) gate.attached = true;
  if (gate.running && !gate.parked) {
    gate.pause_wanted = true;
    gate.knock.store(1);
    event_signal(gate.processor->wake_event);
  }
  lock_release(gate.lock);
  (void)wait_until(gate, UINT32_MAX, parked_or_gone);
  const bool lent = gate.parked && gate.running;
  if (lent) {
    *memory = gate.processor->machine.memory;
    *size = gate.processor->machine.size;
    *processor = gate.processor;
  }
  lock_release(gate.lock);
  return lent;
}

void debug_gate_resume(void* context, const uint64_t* breakpoints, size_t count) {
  DebugGate& gate = *static_cast<DebugGate*>(context);
  LockGuard hold(gate.lock);
  if (!gate.parked) return;
  gate.breakpoints.assign(breakpoints, breakpoints + count);
  std::sort(gate.breakpoints.begin(), gate.breakpoints.end());  // the runner searches them
  let_go(gate);
}

bool debug_gate_wait_paused(void* context, uint32_t timeout_ms) {
  DebugGate& gate = *static_cast<DebugGate*>(context);
  const bool paused = wait_until(gate, timeout_ms, parked_or_gone);
  lock_release(gate.lock);
  return paused;
}

void debug_gate_bind(DebugGate& gate, Processor& processor) {
  LockGuard hold(gate.lock);
  gate.processor = &processor;
  gate.running = true;
  gate.pause_wanted = false;
  gate.parked = false;
  gate.knock.store(0);
  gate.breakpoints.clear();  // no runner runs yet
}

void debug_gate_unbind(DebugGate& gate, Processor& processor) {
  {
    LockGuard hold(gate.lock);
    if (gate.processor != &processor) return;
    gate.processor = nullptr;
    gate.running = false;
    gate.pause_wanted = false;
  }
  event_signal(gate.parked_event);  // a pause waiting for this runner gives up
}

void debug_gate_runner_ended(DebugGate& gate) {
  {
    LockGuard hold(gate.lock);
    gate.running = false;
    gate.parked = false;
  }
  event_signal(gate.parked_event);
}

void debug_gate_park(DebugGate& gate, Processor& processor, ParkReason reason) {
  {
    LockGuard hold(gate.lock);
    if (reason == ParkReason::pause) gate.knock.store(0);
    if (!gate.attached) {
      gate.breakpoints.clear();  // the runner's while it runs
      return;
    }
    if (reason == ParkReason::pause && !gate.pause_wanted) return;
    gate.pause_wanted = false;
    gate.parked = true;
  }
  event_signal(gate.parked_event);
  // Key presses wake the runner too; it only looks and waits again.
  while (processor.quit_requested.load() == 0 && processor.stop_requested.load() == 0) {
    (void)event_wait_ms(processor.wake_event, kLongestWaitMs);
    LockGuard hold(gate.lock);
    if (!gate.parked) return;
  }
  LockGuard hold(gate.lock);
  gate.parked = false;
}

}  // namespace quill
