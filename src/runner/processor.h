// The main processor as the threads around it see it: the main machine, its host
// state, the runner thread with its wake event and the quit and stop flags. The
// application's record and the headless host both embed one, so the runner is
// wired up in one place.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpu/machine.h"
#include "host/host_state.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace quill {

// Called once on the runner thread as its last action, whatever ended it.
using RunnerEndHook = void (*)(void* context);

// Called on the runner thread before each instruction of the main machine when
// set (tracing, breakpoints); returning false ends the run before that
// instruction. Without one the runner steps in whole batches.
using StepHook = bool (*)(void* context, const Machine& machine);

struct DebugGate;

struct Processor {
  Machine machine;
  HostState host;
  PlatformThread runner_thread;
  PlatformEvent wake_event;                // auto-reset; wakes the runner from its waits
  std::atomic<int32_t> quit_requested{0};  // set on close and at shutdown, never cleared
  std::atomic<int32_t> stop_requested{0};  // set by the user's stop, never cleared
  uint64_t step_limit = 0;                 // 0: none; else the runner ends once this many have run
  RunnerEndHook end_hook = nullptr;
  void* end_context = nullptr;
  StepHook step_hook = nullptr;  // set before the runner starts, never changed while it runs
  void* step_context = nullptr;
  DebugGate* debug_gate = nullptr;  // set before the runner starts when a debugger may attach (debug_gate.h)
  bool runner_started = false;      // the runner is started at most once
};

// Prepares a constructed Processor over `memory` (`size` trytes, filled by the
// caller, owned by the caller): the machine at pc 0, the host state with
// host_dispatch hooked in, the wake event. False when a system object cannot be
// made; processor_release then undoes what was done. Before any thread starts.
[[nodiscard]] bool processor_init(Processor& processor, uint8_t* memory, uint64_t size);

// Starts the main runner thread once; `end_hook(end_context)` runs when it ends.
// A debug gate is bound to the processor first. False when it was started before or
// the thread cannot be created. First thread.
[[nodiscard]] bool processor_start(Processor& processor, RunnerEndHook end_hook, void* end_context);

// Asks the runner to end (the machine keeps its status) and wakes it. Any thread.
void processor_request_quit(Processor& processor);

// Stops the processor and every core, as the user's stop key does. Any thread.
void processor_request_stop(Processor& processor);

// Queues a key code for the program (see push_key). Any thread but the runner's.
bool processor_push_key(Processor& processor, int64_t code);

// Requests a quit and waits for the runner thread to end (a fetch in progress
// gives up), then stops and joins the cores. Afterwards the main machine no longer
// changes and no other thread of the processor runs. First thread.
void processor_join(Processor& processor);

// Unbinds the debug gate, joins the runner, then stops and joins the cores and
// frees everything the processor made (not the main memory). First thread, once.
void processor_release(Processor& processor);

// The main runner thread procedure; `processor` is the Processor.
void main_runner(void* processor);

}  // namespace quill
