#include "runner/processor.h"

#include "host/cores.h"
#include "host/keyboard.h"
#include "runner/core_runner.h"
#include "runner/debug_gate.h"

namespace quill {

bool processor_init(Processor& processor, uint8_t* memory, uint64_t size) {
  machine_reset(processor.machine, memory, size);
  if (!host_state_init(processor.host, processor.machine)) return false;
  processor.host.fetch.abort = &processor.quit_requested;  // closing must not wait for a fetch
  processor.host.core_thread = core_runner;
  return event_init(processor.wake_event);
}

bool processor_start(Processor& processor, RunnerEndHook end_hook, void* end_context) {
  if (processor.runner_started || !processor.wake_event.ready) return false;
  processor.end_hook = end_hook;
  processor.end_context = end_context;
  if (processor.debug_gate != nullptr) debug_gate_bind(*processor.debug_gate, processor);
  if (!thread_start(processor.runner_thread, main_runner, &processor)) {
    if (processor.debug_gate != nullptr) debug_gate_unbind(*processor.debug_gate, processor);
    return false;
  }
  processor.runner_started = true;
  return true;
}

void processor_request_quit(Processor& processor) {
  processor.quit_requested.exchange(1);
  event_signal(processor.wake_event);
}

void processor_request_stop(Processor& processor) {
  processor.stop_requested.exchange(1);
  cores_stop_for_good(processor.host);
  event_signal(processor.wake_event);
}

bool processor_push_key(Processor& processor, int64_t code) {
  return push_key(processor.host, processor.quit_requested, processor.wake_event, code);
}

void processor_join(Processor& processor) {
  if (processor.runner_thread.started) {
    processor_request_quit(processor);
    thread_join(processor.runner_thread);
  }
  // The cores never touch main memory, but left running they would compete with
  // the save that usually follows for the processors.
  cores_shutdown(processor.host);
}

void processor_release(Processor& processor) {
  if (processor.debug_gate != nullptr) debug_gate_unbind(*processor.debug_gate, processor);
  processor_join(processor);
  host_state_release(processor.host);
  event_destroy(processor.wake_event);
  machine_release(processor.machine);  // the engine's decoded table; the memory is the caller's
}

}  // namespace quill
