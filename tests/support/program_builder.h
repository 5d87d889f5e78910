// Writes small ternary programs that make host calls, for tests of the host: each
// call's arguments go into an argument block in a data area, and results can be
// kept on the value stacks 10..19 of frame 0 (twenty a stack) to be read afterwards;
// stacks 0..9 are scratch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/literal.h"
#include "codec/tryte.h"
#include "cpu/machine.h"

namespace quill::test {

// The symbols of the number literal of `value`; `width` > 0 pads it with leading
// zero digits to exactly that many digits (for offsets computed before they are known).
inline std::string literal_symbols(int64_t value, int width = 0) {
  if (value == NIL) return "A";
  std::string digits;
  for (int64_t m = value < 0 ? -value : value; m > 0; m /= 20) digits.insert(digits.begin(), kDigitCharacters[m % 20]);
  while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
  const int n = static_cast<int>(digits.size());
  return std::string(1, kDigitCharacters[value < 0 ? 10 + n : n]) + digits;
}

struct ProgramBuilder {
  uint64_t origin = 0;  // address of the first symbol of `code`
  uint64_t data = 0;    // next free address for argument blocks and cells
  std::string code;
  std::vector<std::pair<uint64_t, int64_t>> cells;  // written before the run
  int kept = 0;

  ProgramBuilder(uint64_t code_address, uint64_t data_address) : origin(code_address), data(data_address) {}

  uint64_t here() const { return origin + code.size(); }
  // Appends symbols; whitespace only separates them for the reader.
  void emit(const std::string& symbols) {
    for (char c : symbols) {
      if (c != ' ' && c != '\n' && c != '\r' && c != '\t') code += c;
    }
  }
  void literal(int64_t value) { code += literal_symbols(value); }

  // A cell to be stored at the next data address; returns that address.
  uint64_t cell(int64_t value) {
    cells.emplace_back(data, value);
    data += 10;
    return data - 10;
  }

  // Host call `type` with no argument: the result lands in acc.
  void call(int64_t type) {
    literal(type);
    emit(">0=01");
  }

  // Host call `type` with the argument block (x, y).
  void call(int64_t type, int64_t x, int64_t y = NIL) {
    const uint64_t block = cell(x);
    (void)cell(y);
    literal(type);
    emit(">0");
    literal(static_cast<int64_t>(block));
    emit(">1=01");
  }

  // Keeps acc as result number `kept` (stack 10 + kept / 20).
  void keep() { emit(std::string(">") + kDigitCharacters[10 + kept++ / 20]); }

  void call_and_keep(int64_t type) {
    call(type);
    keep();
  }
  void call_and_keep(int64_t type, int64_t x, int64_t y = NIL) {
    call(type, x, y);
    keep();
  }

  // Repeats host call (type, x, y) while its result is below `target`.
  void repeat_while_below(int64_t type, int64_t x, int64_t y, int64_t target) {
    const uint64_t top = here();
    call(type, x, y);
    emit(">7");
    literal(target);
    emit(">3");
    literal(0);
    emit(">4");
    const size_t offset_at = code.size();
    emit(literal_symbols(-1, 4) + ">5");
    literal(0);
    emit(">6<7");
    const auto back = static_cast<int64_t>(top) - static_cast<int64_t>(here());
    code.replace(offset_at, 5, literal_symbols(back, 4));
    emit("~3456");
  }

  // Stores the code and the cells; false when something does not fit.
  bool store(uint8_t* memory, uint64_t size) const {
    if (origin + code.size() > size) return false;
    for (size_t i = 0; i < code.size(); ++i) put_tryte(memory, origin + i, symbol_value(static_cast<uint8_t>(code[i])));
    for (const auto& [address, value] : cells) {
      if (!write_cell(memory, size, address, value)) return false;
    }
    return true;
  }
};

// Result number `index` kept by ProgramBuilder::keep.
inline int64_t kept_result(const Machine& machine, int index) {
  return machine.frames[0].stacks[10 + index / 20].values[index % 20];
}

}  // namespace quill::test
