#include "cpu/machine.h"

#include "cpu/decoded_table.h"

namespace quill {

const char* status_text(uint32_t status) {
  static constexpr const char* kTexts[] = {
      "ready",
      "budget reached",
      "halted",
      "memory end",
      "cannot decode",
      "stack overflow",
      "call stack overflow",
      "invalid destination",
      "host error",
  };
  return status < sizeof kTexts / sizeof kTexts[0] ? kTexts[status] : "unknown";
}

void machine_reset(Machine& machine, uint8_t* memory, uint64_t size) {
  machine_release(machine);
  for (CallFrame& frame : machine.frames) frame = CallFrame{};
  machine.memory = memory;
  machine.size = size;
  machine.pc = 0;
  machine.acc = NIL;
  machine.depth = 0;
  machine.executed = 0;
  machine.status = status_ready;
  machine.host_hook = nullptr;
  machine.host_context = nullptr;
  machine.journal = nullptr;
}

void machine_release(Machine& machine) {
  decoded_table_free(machine.decoded);
  machine.decoded = nullptr;
}

}  // namespace quill
