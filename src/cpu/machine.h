// The state of one processor core, its status codes and the host hook.
//
// A Machine is stepped by exactly one thread; nothing in it is atomic or locked.
// It does not own its memory: whoever creates it allocates and frees the trytes.
// It does own the fast engine's decoded table, which machine_run allocates on
// first use: see machine_release for who must free it.
#pragma once

#include <cstdint>

#include "codec/literal.h"

namespace quill {

inline constexpr int kStackCount = 20;     // value stacks per call frame, named by digits 0..19
inline constexpr int kStackCapacity = 20;  // values per stack
inline constexpr int kFrameCount = 20;     // call frames; depth runs 0..19
inline constexpr uint32_t kMaxDepth = kFrameCount - 1;

enum MachineStatus : uint32_t {
  status_ready = 0,
  status_budget_reached = 1,
  status_halted = 2,
  status_memory_end = 3,
  status_cannot_decode = 4,
  status_stack_overflow = 5,
  status_call_stack_overflow = 6,
  status_invalid_destination = 7,
  status_host_error = 8,
};
static_assert(uint32_t{status_memory_end} == uint32_t{literal_memory_end} &&
              uint32_t{status_cannot_decode} == uint32_t{literal_cannot_decode});

// The host-call handler reached by "=" with a negative target. It returns non-zero
// on success with `*result` written, 0 on failure; `*result` is NIL on entry. It
// may set the machine's status to status_budget_reached to make the runner yield.
using HostHook = int32_t (*)(void* host_context, int64_t call, int64_t argument, int64_t* result);

struct DecodedTable;  // the fast engine's side table (cpu/decoded_table.h)
struct WriteJournal;  // what stores overwrote, while a debugger records (cpu/write_journal.h)

struct ValueStack {
  int64_t values[kStackCapacity] = {};  // values[0] is the bottom, values[count-1] the top
  uint8_t count = 0;
};

struct CallFrame {
  ValueStack stacks[kStackCount] = {};
  uint64_t return_address = 0;  // where "." resumes; frame 0's is never read
};

struct Machine {
  uint8_t* memory = nullptr;  // 3 * size trit bytes, owned by whoever created the Machine
  uint64_t size = 0;          // in trytes
  uint64_t pc = 0;
  int64_t acc = NIL;
  CallFrame frames[kFrameCount] = {};
  uint32_t depth = 0;
  uint64_t executed = 0;  // completed instructions since creation
  uint32_t status = status_ready;
  HostHook host_hook = nullptr;
  void* host_context = nullptr;
  DecodedTable* decoded = nullptr;  // made by machine_run, freed by machine_release
  WriteJournal* journal = nullptr;  // null unless someone records the stores; never owned
};

// The fixed text of a status code; "unknown" for codes above 8.
[[nodiscard]] const char* status_text(uint32_t status);

// Puts `machine` in the state of a new core over `memory` (which the caller fills):
// every frame empty, pc 0, depth 0, executed 0, status ready, acc NIL, no hook and
// no journal.
// Releases the decoded table first, so `machine` must be default-initialised or
// zero-filled, or a machine that was reset before.
void machine_reset(Machine& machine, uint8_t* memory, uint64_t size);

// Frees the decoded table that machine_run keeps in `machine` and clears the
// pointer; safe to call again, and on a machine that never ran. Whoever frees a
// machine's memory or discards the Machine calls it first: the application at
// shutdown, a core slot before it reuses or zeroes its Machine and at shutdown.
// Not while the machine runs (call it from the thread that runs it, or after
// joining that thread). A Machine that has run must not be copied: both copies
// would hold the same table.
void machine_release(Machine& machine);

// True when the status says the machine will not be stepped again (2 or more).
[[nodiscard]] inline bool machine_stopped(const Machine& machine) { return machine.status >= status_halted; }

}  // namespace quill
