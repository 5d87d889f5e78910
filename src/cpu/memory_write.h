// Writes into a Machine's memory from outside the step (host services, loaders).
//
// Everything that changes the trytes of a machine that may run again goes through
// these, never through the codec functions on the raw array: machine_run keeps
// decoded instructions in a side table, and these clear the entries a write can
// affect. Called from the thread that runs the machine (a host hook, between
// batches) or while no thread runs it.
#pragma once

#include <cstdint>

#include "cpu/machine.h"

namespace quill {

// write_cell on the machine's memory: false, writing nothing, as write_cell.
[[nodiscard]] bool machine_write_cell(Machine& machine, uint64_t address, int64_t value);

// write_packed on the machine's memory: K, or kPackedTooLarge writing nothing.
[[nodiscard]] int machine_write_packed(Machine& machine, uint64_t address, int64_t value);

// put_tryte on the machine's memory; `address` must be below size.
void machine_put_tryte(Machine& machine, uint64_t address, uint8_t tryte_value);

// Tells the machine that `count` trytes from `first_tryte` were changed by some
// other means (an image load, a copy into a core's memory, a bulk fill). Cheap
// when nothing there has been executed; ranges beyond the memory are ignored.
void machine_memory_changed(Machine& machine, uint64_t first_tryte, uint64_t count);

}  // namespace quill
