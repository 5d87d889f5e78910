// What the tryte at pc executes as, and the arithmetic of the instructions:
// shared by the reference step and the fast engine, so both agree by construction.
#pragma once

#include <array>
#include <cstdint>

#include "codec/tryte.h"
#include "cpu/machine.h"

namespace quill {

// The instruction set, once: X(kind, symbol, mnemonic, operand trytes). The step,
// the engine's decoder, the assembler and the disassembler all take their kinds,
// symbols, names and operand counts from here, so adding an instruction is one
// line. Every symbol of the alphabet that is not listed is a literal's length
// tryte. "ret" is also written "halt" in source (the assembler's alias).
#define QUILL_OPCODES(X)   \
  X(return, '.', "ret", 0) \
  X(pop, '<', "pop", 1)    \
  X(push, '>', "push", 1)  \
  X(add, '+', "add", 2)    \
  X(sub, '-', "sub", 2)    \
  X(call, '=', "call", 2)  \
  X(jump, '~', "cmp", 4)

#define QUILL_OP_KIND(kind, symbol, mnemonic, operands) op_##kind,
enum OpKind : uint8_t { op_literal, QUILL_OPCODES(QUILL_OP_KIND) op_invalid };
#undef QUILL_OP_KIND

struct Instruction {
  OpKind kind;
  char symbol;
  const char* mnemonic;
  int operands;  // stack operand trytes after the symbol
};

#define QUILL_OP_ROW(kind, symbol, mnemonic, operands) {op_##kind, symbol, mnemonic, operands},
inline constexpr Instruction kInstructions[] = {QUILL_OPCODES(QUILL_OP_ROW)};
#undef QUILL_OP_ROW

namespace detail {
constexpr std::array<OpKind, 256> op_kind_table() {
  std::array<OpKind, 256> t{};
  for (auto& k : t) k = op_invalid;
  for (uint8_t tv = 0; tv < 27; ++tv) {
    t[tv] = op_literal;
    for (const Instruction& i : kInstructions) {
      if (i.symbol == kSymbolAlphabet[tv]) t[tv] = i.kind;
    }
  }
  return t;
}
inline constexpr auto kOpKind = op_kind_table();
}  // namespace detail

// The kind of the instruction whose first tryte is `tryte_value` (a TryteValue or kNoTryte).
[[nodiscard]] inline OpKind op_kind(uint8_t tryte_value) { return detail::kOpKind[tryte_value]; }

// The row of `kind`, which must be an instruction (not op_literal or op_invalid).
[[nodiscard]] constexpr const Instruction& op_info(OpKind kind) { return kInstructions[kind - op_return]; }

// Operand trytes after the instruction symbol, for the kinds that have them.
[[nodiscard]] constexpr int operand_count(OpKind kind) {
  return kind == op_literal || kind == op_invalid ? 0 : op_info(kind).operands;
}

// "+" and "-" on popped values A and B: a missing (NIL) operand counts as equal
// to the present one, so X + NIL is 2X and X - NIL is 0; both missing give NIL.
[[nodiscard]] inline int64_t add_values(int64_t a, int64_t b) {
  if (a != NIL && b != NIL) return range_or_nil(a + b);
  if (a == NIL && b == NIL) return NIL;
  const int64_t x = a == NIL ? b : a;
  return range_or_nil(x + x);
}
[[nodiscard]] inline int64_t subtract_values(int64_t a, int64_t b) {
  if (a != NIL && b != NIL) return range_or_nil(a - b);
  return a == NIL && b == NIL ? NIL : 0;
}

// Pops the top value of `stack`; an empty stack yields NIL and stays as it is.
[[nodiscard]] inline int64_t pop_value(ValueStack& stack) { return stack.count ? stack.values[--stack.count] : NIL; }

}  // namespace quill
