#include "cpu/memory_write.h"

#include "codec/literal.h"
#include "codec/packed.h"

namespace quill {

bool machine_write_cell(Machine& machine, uint64_t address, int64_t value) {
  return write_cell(machine.memory, machine.size, address, value);
}

int machine_write_packed(Machine& machine, uint64_t address, int64_t value) {
  return write_packed(machine.memory, machine.size, address, value);
}

void machine_put_tryte(Machine& machine, uint64_t address, uint8_t tryte_value) {
  put_tryte(machine.memory, address, tryte_value);
}

}  // namespace quill
