#include "cpu/decode.h"

#include "codec/literal.h"
#include "cpu/opcode.h"

namespace quill {

namespace {

// A literal's op here only marks it as one: decode_entry picks the handler for its
// length and pushes.
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
      const uint8_t digit = digit_value(tryte_value_at(memory, address + 1 + static_cast<uint64_t>(i)));
      if (digit == kNoDigit) return false;
      out.stack[i] = static_cast<uint16_t>(digit * sizeof(ValueStack));
    }
    out.length = static_cast<uint8_t>(1 + operands);
  }
  out.advance = out.length;
  entry = out;
  return true;
}

// The instruction at `address` when it starts before `fuse_end` (the first stop
// after the entry's own address), lies in memory and decodes as `op`.
bool next_is(const uint8_t* memory, uint64_t size, uint64_t fuse_end, uint64_t address, EngineOp op,
             DecodedEntry& out) {
  return address < size && address < fuse_end && decode_single(memory, size, address, out) && out.op == op;
}

// Appends the pushes that follow `entry` (up to kMostPushes in all), their stacks
// from `slot` on; returns how many there are.
unsigned append_pushes(const uint8_t* memory, uint64_t size, uint64_t fuse_end, uint64_t address, DecodedEntry& entry,
                       int slot) {
  unsigned n = 0;
  DecodedEntry push{};
  while (slot + n < kMostPushes && next_is(memory, size, fuse_end, address + entry.advance, eop_push, push)) {
    entry.stack[slot + n] = push.stack[0];
    entry.advance = static_cast<uint8_t>(entry.advance + push.length);
    ++n;
  }
  return n;
}

}  // namespace

bool decode_entry(const uint8_t* memory, uint64_t size, uint64_t address, uint64_t fuse_end, DecodedEntry& entry) {
  DecodedEntry e{};
  if (!decode_single(memory, size, address, e)) return false;
  DecodedEntry next{};
  if (e.op == eop_literal) {
    e.pushes = static_cast<uint8_t>(append_pushes(memory, size, fuse_end, address, e, 0));
    e.op = literal_op(e.length, e.pushes);
  } else if (e.op == eop_push) {
    e.pushes = static_cast<uint8_t>(1 + append_pushes(memory, size, fuse_end, address, e, 1));
    if (e.pushes > 1) e.op = static_cast<uint8_t>(eop_pushes2 + (e.pushes - 2));
  } else if ((e.op == eop_add || e.op == eop_sub) && next_is(memory, size, fuse_end, address + 3, eop_push, next)) {
    e.stack[2] = next.stack[0];
    e.advance = 5;
    e.op = e.op == eop_add ? eop_add_push : eop_sub_push;
    // The jump handler finds the "~" entry at 5 entries on, so keep it in this page.
    if (e.op == eop_sub_push && ((address + 5) >> kPageBits) == (address >> kPageBits) &&
        next_is(memory, size, fuse_end, address + 5, eop_jump, next)) {
      for (int i = 0; i < 4; ++i) e.stack[3 + i] = next.stack[i];
      e.advance = 10;
      e.op = eop_sub_push_jump;
    }
  }
  entry = e;
  return true;
}

}  // namespace quill
