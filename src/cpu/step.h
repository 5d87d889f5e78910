// The processor: one instruction at a time, or a batch of them.
#pragma once

#include <cstdint>

#include "cpu/machine.h"

namespace quill {

// Executes the instruction at pc and returns the status it leaves in the machine:
// 0 to go on, 1 when a host call asked to yield, 2 or more when the machine stopped.
// Called only from the thread that owns the machine.
uint32_t machine_step(Machine& machine);

// Runs up to `max_steps` instructions, exactly as calling machine_step in a loop:
// it stops at the first step that returns non-zero, and when the batch is used up
// it leaves status 1 ("budget reached"). A stopped machine (status 2 or more) or a
// batch of 0 executes nothing. Returns the status left in the machine.
//
// This is the fast engine (cpu/engine.cpp): it keeps a decoded side table in the
// machine (see machine_release) and executes from it, so every write into the
// machine's memory from outside the processor must go through cpu/memory_write.h.
uint32_t machine_run(Machine& machine, uint64_t max_steps);

// The same batch as machine_run, one machine_step after another with no side table:
// the yardstick for the engine, and its fallback when a table cannot be allocated.
uint32_t machine_run_reference(Machine& machine, uint64_t max_steps);

}  // namespace quill
