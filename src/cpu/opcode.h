// What the tryte at pc executes as, and the arithmetic of the instructions:
// shared by the reference step and the fast engine, so both agree by construction.
#pragma once

#include <array>
#include <cstdint>

#include "codec/tryte.h"
#include "cpu/machine.h"

namespace quill {

enum OpKind : uint8_t { op_literal, op_return, op_pop, op_push, op_add, op_sub, op_call, op_jump, op_invalid };

namespace detail {
constexpr std::array<OpKind, 256> op_kind_table() {
  std::array<OpKind, 256> t{};
  for (auto& k : t) k = op_invalid;
  for (uint8_t tv = 0; tv < 27; ++tv) {
    switch (kSymbolAlphabet[tv]) {
      case '.': t[tv] = op_return; break;
      case '<': t[tv] = op_pop; break;
      case '>': t[tv] = op_push; break;
      case '+': t[tv] = op_add; break;
      case '-': t[tv] = op_sub; break;
      case '=': t[tv] = op_call; break;
      case '~': t[tv] = op_jump; break;
      default: t[tv] = op_literal; break;
    }
  }
  return t;
}
inline constexpr auto kOpKind = op_kind_table();
}  // namespace detail

// The kind of the instruction whose first tryte is `tryte_value` (a TryteValue or kNoTryte).
[[nodiscard]] inline OpKind op_kind(uint8_t tryte_value) { return detail::kOpKind[tryte_value]; }

// Operand trytes after the instruction symbol, for the kinds that have them.
[[nodiscard]] constexpr int operand_count(OpKind kind) {
  return kind == op_pop || kind == op_push ? 1 : kind == op_jump ? 4 : kind == op_return || kind == op_literal ? 0 : 2;
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
[[nodiscard]] inline int64_t pop_value(ValueStack& stack) {
  return stack.count ? stack.values[--stack.count] : NIL;
}

}  // namespace quill
