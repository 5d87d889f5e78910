#include "codec/literal.h"

namespace quill {

bool read_cell(const uint8_t* memory, uint64_t size, uint64_t address, int64_t& result) {
  if (size < address || size - address <= 9) return false;
  const uint8_t head = tryte_value_at(memory, address);
  if (head != symbol_value('9') && head != symbol_value('J')) return false;
  uint64_t position = address;
  return read_literal(memory, size, position, result) == literal_ok;
}

bool write_cell(uint8_t* memory, uint64_t size, uint64_t address, int64_t value) {
  if (static_cast<int64_t>(address) < 0) return false;
  if (value != NIL && range_or_nil(value) == NIL) return false;
  if (size < address || size - address <= 9) return false;
  const bool negative = value < 0;  // NIL is negative too
  const uint64_t magnitude = value == NIL ? 0 : static_cast<uint64_t>(negative ? -value : value);
  put_tryte(memory, address, symbol_value(negative ? 'J' : '9'));
  uint64_t scale = 25'600'000'000;  // 20^8
  for (uint64_t k = 1; k <= 9; ++k, scale /= 20) {
    const uint64_t digit = (magnitude / scale) % 20;
    put_tryte(memory, address + k, symbol_value(static_cast<uint8_t>(kDigitCharacters[digit])));
  }
  return true;
}

}  // namespace quill
