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

}  // namespace quill
