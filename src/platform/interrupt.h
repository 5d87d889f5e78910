// The user's interrupt (Ctrl-C at a terminal) as a flag to look at, instead of the
// end of the process: the debugger pauses a running program with it.
#pragma once

#include <atomic>
#include <cstdint>

namespace quill {

// From now on each interrupt sets `*flag` to 1 (an atomic exchange, safe in a
// signal handler) and the process goes on. False when the handler cannot be installed.
[[nodiscard]] bool interrupt_catch(std::atomic<int32_t>* flag);

// Interrupts end the process again.
void interrupt_release();

}  // namespace quill
