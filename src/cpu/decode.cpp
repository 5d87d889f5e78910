#include "cpu/decode.h"

#include "codec/literal.h"
#include "cpu/opcode.h"

namespace quill {

namespace {

constexpr EngineOp kSingleOp[] = {eop_literal, eop_return, eop_pop, eop_push, eop_add, eop_sub, eop_equals, eop_jump};

// One instruction, unfused; false when it cannot complete its decoding.
bool decode_single(const uint8_t* memory, uint64_t size, uint64_t address, DecodedEntry& entry) {
  const OpKind kind = op_kind(tryte_value_at(memory, address));
  if (kind == op_invalid) return false;
  DecodedEntry out{};
  out.op = kSingleOp[kind];
  if (kind == op_literal) {
    uint64_t position = address;
    if (read_literal(memory, size, position, out.value) != literal_ok) return false;
    out.length = static_cast<uint8_t>(position - address);
  } else {
    const int operands = operand_count(kind);
    if (size - (address + 1) < static_cast<uint64_t>(operands)) return false;
    for (int i = 0; i < operands; ++i) {
      out.stack[i] = digit_value(tryte_value_at(memory, address + 1 + static_cast<uint64_t>(i)));
      if (out.stack[i] == kNoDigit) return false;
    }
    out.length = static_cast<uint8_t>(1 + operands);
  }
  entry = out;
  return true;
}

// The fused op for `first` followed by a push, or eop_decode when there is none.
EngineOp fused_with_push(uint8_t first) {
  switch (first) {
    case eop_literal: return eop_literal_push;
    case eop_push: return eop_push_push;
    case eop_add: return eop_add_push;
    case eop_sub: return eop_sub_push;
    default: return eop_decode;
  }
}

}  // namespace

bool decode_entry(const uint8_t* memory, uint64_t size, uint64_t address, DecodedEntry& entry) {
  DecodedEntry first{};
  if (!decode_single(memory, size, address, first)) return false;
  const EngineOp fused = fused_with_push(first.op);
  const uint64_t next = address + first.length;
  DecodedEntry second{};
  if (fused != eop_decode && next < size && decode_single(memory, size, next, second) && second.op == eop_push) {
    // The push's stack goes after the first instruction's operands.
    first.stack[first.op == eop_literal ? 0 : first.op == eop_push ? 1 : 2] = second.stack[0];
    first.op = fused;
  }
  entry = first;
  return true;
}

}  // namespace quill
