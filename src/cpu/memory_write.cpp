#include "cpu/memory_write.h"

#include "codec/literal.h"
#include "codec/packed.h"
#include "cpu/decoded_table.h"

namespace quill {

bool machine_write_cell(Machine& machine, uint64_t address, int64_t value) {
  if (!write_cell(machine.memory, machine.size, address, value)) return false;
  machine_memory_changed(machine, address, 10);
  return true;
}

int machine_write_packed(Machine& machine, uint64_t address, int64_t value) {
  const int k = write_packed(machine.memory, machine.size, address, value);
  if (k > 0) machine_memory_changed(machine, address, static_cast<uint64_t>(k));
  return k;
}

void machine_put_tryte(Machine& machine, uint64_t address, uint8_t tryte_value) {
  put_tryte(machine.memory, address, tryte_value);
  machine_memory_changed(machine, address, 1);
}

void machine_memory_changed(Machine& machine, uint64_t first_tryte, uint64_t count) {
  if (machine.decoded != nullptr) decoded_table_invalidate(*machine.decoded, first_tryte, count);
}

}  // namespace quill
