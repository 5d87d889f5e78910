// The fast engine behind machine_run (declared in cpu/step.h): executes from the
// machine's decoded side table, with the exact results of a machine_step loop.
#pragma once

#include <cstdint>

#include "cpu/machine.h"

namespace quill {

// Bytes the machine's decoded table holds now (0 before its first run or after
// machine_release); it grows page by page and is freed only by machine_release.
// Called from the thread that runs the machine, or while none does.
[[nodiscard]] uint64_t machine_engine_bytes(const Machine& machine);

// Stop points: machine_run ends a batch before executing the instruction at an
// address in the machine's stop set, leaving status_budget_reached with pc there,
// except at the pc the batch starts from (resuming from a stop executes it). A
// stop is decoded into the table as its own entry, so a run without stops pays
// nothing for them, and it lasts through writes that change the code there.
// The set belongs to the decoded table: machine_release, machine_reset and giving
// the machine other memory empty it. Called from the thread that runs the machine.
//
// Puts `address` in the set or takes it out (making the table if need be); false,
// changing nothing, when the address lies outside memory or there is no memory for it.
[[nodiscard]] bool machine_set_stop(Machine& machine, uint64_t address, bool on);

// Empties the stop set.
void machine_clear_stops(Machine& machine);

// Whether the last machine_run ended before a stop (and not at the end of its
// batch, after a host call that asked to yield, or at a failure).
[[nodiscard]] bool machine_ended_at_stop(const Machine& machine);

}  // namespace quill
