// Number literals and cells: the only way numbers are written in memory.
//
// A literal is a length tryte (digit value L) followed by its digits, most
// significant first: L = 0 is 0, 1..9 are that many positive digits, 10 is NIL,
// 11..19 are L-10 negative digits. A cell is a literal of exactly ten trytes.
#pragma once

#include <cstdint>

#include "codec/tryte.h"

namespace quill {

// read_literal outcomes; the numbers are the machine status codes they become.
enum LiteralResult : uint32_t { literal_ok = 0, literal_memory_end = 3, literal_cannot_decode = 4 };

// Reads the literal at `position` and advances `position` past it. On literal_ok
// writes `result`; on failure leaves `result` alone and `position` meaningless.
[[nodiscard]] inline LiteralResult read_literal(const uint8_t* memory, uint64_t size, uint64_t& position,
                                                int64_t& result) {
  const uint64_t p = position;
  if (p >= size) return literal_memory_end;
  position = p + 1;
  const uint8_t length = digit_value(tryte_value_at(memory, p));
  if (length == kNoDigit) return literal_cannot_decode;
  const uint64_t n = length <= 9 ? length : length - 10u;
  if (size - (p + 1) < n) return literal_memory_end;
  if (length == 0) {
    result = 0;
    return literal_ok;
  }
  if (length == 10) {
    result = NIL;
    return literal_ok;
  }
  int64_t g = 0;
  for (uint64_t k = 0; k < n; ++k) {
    position = p + 2 + k;
    const uint8_t digit = digit_value(tryte_value_at(memory, p + 1 + k));
    if (digit == kNoDigit) return literal_cannot_decode;
    g = 20 * g + digit;
  }
  position = p + 1 + n;
  result = length <= 9 ? g : (g == 0 ? NIL : -g);
  return literal_ok;
}

// Reads the ten-tryte cell at `address` into `result`; false (result untouched)
// when fewer than ten trytes remain, the first symbol is not "9" or "J", or a digit is bad.
[[nodiscard]] bool read_cell(const uint8_t* memory, uint64_t size, uint64_t address, int64_t& result);

// Writes `value` (NIL or in range) as a cell at `address`; false, writing nothing,
// when the address is negative as a signed number, the value is out of range, or
// fewer than ten trytes remain.
[[nodiscard]] bool write_cell(uint8_t* memory, uint64_t size, uint64_t address, int64_t value);

}  // namespace quill
