#include "tools/asm/expand.h"

#include <string>

#include "codec/machine_memory.h"
#include "codec/packed.h"
#include "codec/tryte.h"
#include "tools/asm/literal_form.h"

namespace quill::as {

namespace {

struct Value {
  int64_t v = 0;
  bool known = false;
};

struct Builder {
  const Statement& s;
  const ExpandContext& context;
  std::vector<uint8_t>& digits;
  uint64_t base = 0;
  Expansion& out;
  size_t slot = 0;
  bool measuring = false;  // sizing a sequence before its offsets are known
  uint64_t tilde = 0;      // address of the "~" of the sequence, once measured

  void error(SourceLocation where, std::string message) {
    if (context.report && !measuring) context.errors->push_back({where, std::move(message)});
  }

  [[nodiscard]] uint64_t address() const { return base + out.trytes.size(); }

  Value value(const Expr& e) {
    int64_t v = 0;
    std::vector<Diagnostic>* errors = context.report && !measuring ? context.errors : nullptr;
    if (evaluate_reporting(e, context.symbols, context.constants, static_cast<int64_t>(base), v, errors) ==
        EvalStatus::ok) {
      return {v, true};
    }
    return {};
  }

  // The stack number 0..19 that `e` names, or -1 (reported) when it names none.
  int stack(const Expr& e) {
    const Value v = value(e);
    if (!v.known) return -1;
    if (v.v < 0 || v.v > 19) {
      error(e.where, "stack operand must be 0 to 19, not " + (v.v == NIL ? std::string("nil") : std::to_string(v.v)));
      return -1;
    }
    return static_cast<int>(v.v);
  }

  void op(char symbol, std::initializer_list<uint8_t> stacks) {
    if (symbol == '~') tilde = address();
    out.breaks.push_back(static_cast<uint32_t>(out.trytes.size()));
    out.trytes.push_back(symbol_value(static_cast<uint8_t>(symbol)));
    for (const uint8_t n : stacks) out.trytes.push_back(symbol_value(static_cast<uint8_t>(kDigitCharacters[n])));
  }

  // `v`, or unknown (reported) when it is a number no literal can hold.
  Value in_literal_range(Value v, SourceLocation where) {
    if (!v.known || v.v == NIL || (v.v >= -kValueMax && v.v <= kValueMax)) return v;
    error(where, "value " + std::to_string(v.v) + " is outside the literal range -511999999999 to 511999999999");
    return {};
  }

  // A literal in this statement's next slot; `explicit_digits` >= 0 fixes its width.
  void literal(Value v, SourceLocation where, int explicit_digits = -1) {
    if (digits.size() <= slot) digits.push_back(0);
    uint8_t& width = digits[slot++];
    if (explicit_digits >= 0) width = static_cast<uint8_t>(explicit_digits);
    if (measuring) v = {};
    v = in_literal_range(v, where);
    if (v.known && literal_digits(v.v) > width) {
      if (explicit_digits >= 0) {
        error(where, "value " + std::to_string(v.v) + " needs " + std::to_string(literal_digits(v.v)) +
                         " digits, more than lit." + std::to_string(explicit_digits) + " holds");
        v = {};
      } else {
        width = static_cast<uint8_t>(literal_digits(v.v));
        out.grew = true;
      }
    }
    out.breaks.push_back(static_cast<uint32_t>(out.trytes.size()));
    append_literal(out.trytes, v.known ? v.v : 0, width);
  }

  void cell(Value v, SourceLocation where) {
    if (v.known && v.v != NIL && (v.v < -kValueMax || v.v > kValueMax)) {
      error(where, "cell value " + std::to_string(v.v) + " is outside -511999999999 to 511999999999");
      v = {};
    }
    out.breaks.push_back(static_cast<uint32_t>(out.trytes.size()));
    append_literal(out.trytes, v.known ? v.v : 0, 9);
  }

  void packed(Value v, SourceLocation where) {
    uint8_t memory[3 * 8];
    const int k = v.known ? write_packed(memory, 8, 0, v.v) : 0;
    if (k == kPackedTooLarge) {
      error(where, "packed value " + (v.v == NIL ? std::string("nil") : std::to_string(v.v)) +
                       " is outside 0 to 293292210960");
      return;
    }
    out.breaks.push_back(static_cast<uint32_t>(out.trytes.size()));
    for (int i = 0; i < k; ++i) out.trytes.push_back(tryte_value_at(memory, static_cast<uint64_t>(i)));
  }

  // Offset from the "~" of the sequence being built to `target`. A target beyond
  // the literal range is refused before the subtraction, which could overflow.
  Value offset_to(Value target) {
    target = in_literal_range(target, s.target.where);
    if (!target.known || target.v == NIL) return target;
    return {target.v - static_cast<int64_t>(tilde), true};
  }

  void reset() {
    out.trytes.clear();
    out.breaks.clear();
    slot = 0;
  }
};

// jmp: the offset on the scratch stack four times, so whichever offset "~" picks is it.
void jump(Builder& b, Value target) {
  const uint8_t t = b.s.scratch;
  b.literal(b.offset_to(target), b.s.target.where);
  for (int i = 0; i < 4; ++i) b.op('>', {t});
  b.op('~', {t, t, t, t});
}

// jgt and friends: acc is kept on the saved stack while the three offsets (label or
// 0 = fall through) go on the scratch stack, then restored for the comparison.
void branch(Builder& b, Value target, Value comparand) {
  const Statement& s = b.s;
  const uint8_t t = s.scratch, a = s.saved;
  const Condition c = s.condition;
  const bool greater = c == Condition::gt || c == Condition::ne || c == Condition::ge;
  const bool less = c == Condition::lt || c == Condition::ne || c == Condition::le;
  const bool equal = c == Condition::eq || c == Condition::ge || c == Condition::le;
  const Value jump = b.offset_to(target), stay{0, true};
  b.op('>', {a});
  b.literal(equal ? jump : stay, s.target.where);
  b.op('>', {t});
  b.literal(less ? jump : stay, s.target.where);
  b.op('>', {t});
  b.literal(greater ? jump : stay, s.target.where);
  b.op('>', {t});
  uint8_t u = t;
  if (s.comparand_immediate) {
    b.literal(comparand, s.argument.where);
    b.op('>', {t});
  } else {
    const int named = b.stack(s.argument);
    if (named == t) {
      b.error(s.argument.where,
              "the comparand stack cannot be the scratch stack " + std::to_string(t) + " (see .scratch)");
    }
    u = named < 0 ? 0 : static_cast<uint8_t>(named);
  }
  b.op('<', {a});
  b.op('~', {u, t, t, t});
}

// Sequences with a "~" are built twice: once to find where the "~" lands, then
// with the offsets relative to it.
template <typename Build>
void relative_sequence(Builder& b, Build build) {
  b.measuring = true;
  build();
  b.measuring = false;
  b.reset();
  build();
}

// jsr and sys: argument onto the saved stack, target onto the scratch stack, "=".
void call_sequence(Builder& b, Value target) {
  const Statement& s = b.s;
  switch (s.argument_kind) {
    case ArgumentKind::none:
      b.literal({NIL, true}, s.where);
      break;
    case ArgumentKind::acc:
      break;
    default:
      b.literal(b.value(s.argument), s.argument.where);
      break;
  }
  b.op('>', {s.saved});
  b.literal(target, s.target.where);
  b.op('>', {s.scratch});
  b.op('=', {s.scratch, s.saved});
}

void data(Builder& b) {
  const Statement& s = b.s;
  switch (s.kind) {
    case StatementKind::cells:
      for (const Expr& e : s.operands) b.cell(b.value(e), e.where);
      return;
    case StatementKind::packed:
      for (const Expr& e : s.operands) b.packed(b.value(e), e.where);
      return;
    case StatementKind::raw:
      b.out.trytes = s.symbols;
      return;
    case StatementKind::text:
      for (const uint8_t code : s.symbols) b.cell({code, true}, s.where);
      return;
    case StatementKind::pool:
      for (const PoolBlock& block : s.blocks) {
        b.cell(b.value(block.x), block.x.where);
        b.cell(b.value(block.y), block.y.where);
      }
      return;
    default:
      return;
  }
}

void zero_fill(Builder& b) {
  const Value n = b.value(b.s.target);
  if (!n.known) return;
  if (n.v < 0 || n.v == NIL) {
    b.error(b.s.target.where, "the zero fill count must not be negative");
    return;
  }
  if (static_cast<uint64_t>(n.v) > kMemoryTrytes) {
    b.error(b.s.target.where, "the zero fill runs past the end of memory");
    return;
  }
  b.out.trytes.assign(static_cast<size_t>(n.v), kZeroTryte);
}

}  // namespace

void expand_statement(const Statement& s, uint64_t address, std::vector<uint8_t>& digits, const ExpandContext& context,
                      Expansion& out) {
  out = {};
  Builder b{s, context, digits, address, out};
  switch (s.kind) {
    case StatementKind::instruction: {
      uint8_t stacks[4] = {};
      for (size_t i = 0; i < s.operands.size(); ++i) {
        const int n = b.stack(s.operands[i]);
        stacks[i] = n < 0 ? 0 : static_cast<uint8_t>(n);
      }
      const char symbol = op_info(s.op).symbol;
      if (s.operands.empty())
        b.op(symbol, {});
      else if (s.operands.size() == 1)
        b.op(symbol, {stacks[0]});
      else if (s.operands.size() == 2)
        b.op(symbol, {stacks[0], stacks[1]});
      else
        b.op(symbol, {stacks[0], stacks[1], stacks[2], stacks[3]});
      return;
    }
    case StatementKind::literal:
      b.literal(b.value(s.target), s.target.where, s.literal_digits);
      return;
    case StatementKind::jump: {
      const Value target = b.value(s.target);
      relative_sequence(b, [&] { jump(b, target); });
      return;
    }
    case StatementKind::branch: {
      const Value target = b.value(s.target);
      const Value comparand = s.comparand_immediate ? b.value(s.argument) : Value{0, true};
      relative_sequence(b, [&] { branch(b, target, comparand); });
      return;
    }
    case StatementKind::subroutine:
      call_sequence(b, b.value(s.target));
      return;
    case StatementKind::host_call: {
      const Value number = b.value(s.target);
      if (number.known && (number.v >= 0 || number.v == NIL)) {
        const std::string shown = number.v == NIL ? "nil" : std::to_string(number.v);
        b.error(s.target.where, "a host-call number is negative, not " + shown);
      }
      call_sequence(b, number);
      return;
    }
    case StatementKind::zero:
      zero_fill(b);
      return;
    default:
      data(b);
      return;
  }
}

}  // namespace quill::as
