// The window's running machine, lent to an attached editor. The window fills
// this in; the debug adapter's `attach` uses it to stop the runner, inspect and
// step the machine on the adapter's thread, and let it run on between stops.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runner/processor.h"

namespace quill::dap {

struct LiveMachine {
  void* context = nullptr;
  // Stops the runner between two instructions and lends the machine: writes
  // memory, size (trytes) and the Processor (not owned). False when the machine
  // has ended or the window is closing.
  bool (*pause)(void* context, uint8_t** memory, uint64_t* size, Processor** processor) = nullptr;
  // Lets the runner go on at its own pace; it pauses by itself before executing
  // any of the sorted `breakpoints` (and when the machine stops), though not at
  // the one it resumes from, which it executes first. Never called while not
  // paused. The adapter borrows the machine again with `pause` after each stop.
  void (*resume)(void* context, const uint64_t* breakpoints, size_t count) = nullptr;
  // Waits up to timeout_ms for the runner to have paused by itself; true when it has.
  bool (*wait_paused)(void* context, uint32_t timeout_ms) = nullptr;
};

}  // namespace quill::dap
