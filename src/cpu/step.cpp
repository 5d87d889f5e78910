#include "cpu/step.h"

#include "codec/literal.h"
#include "codec/packed.h"
#include "cpu/memory_write.h"
#include "cpu/opcode.h"
#include "cpu/write_journal.h"

namespace quill {

namespace {

// Decodes the N operand trytes after pc into stack numbers: 0 when all are digit
// symbols, else the failure status (memory end before cannot decode).
template <int N>
[[gnu::always_inline]] inline uint32_t decode_operands(const Machine& m, uint64_t pc, uint8_t (&stack)[4]) {
  if (m.size - (pc + 1) < N) return status_memory_end;
  for (int i = 0; i < N; ++i) {
    stack[i] = digit_value(tryte_value_at(m.memory, pc + 1 + static_cast<uint64_t>(i)));
    if (stack[i] == kNoDigit) return status_cannot_decode;
  }
  return 0;
}

inline uint32_t fail(Machine& m, uint32_t code) {
  m.status = code;
  m.acc = NIL;
  return code;
}

inline uint32_t complete(Machine& m, uint64_t next) {
  m.executed += 1;
  m.pc = next;
  return m.status;
}

// "=" with a NIL target: store the value V in packed form at the address in acc.
inline uint32_t store(Machine& m, int64_t value, uint64_t next) {
  if (value == NIL || m.acc < 0 || value < 0) return fail(m, status_invalid_destination);
  const auto address = static_cast<uint64_t>(m.acc);
  if (m.journal != nullptr) journal_keep_store(*m.journal, m.memory, m.size, address);
  const int k = write_packed(m.memory, m.size, address, value);
  if (k == kPackedTooLarge) return fail(m, status_invalid_destination);
  if (k > 0) {
    if (m.journal != nullptr) journal_commit_store(*m.journal, address, static_cast<uint64_t>(k));
    // The engine's decoded table may hold the trytes just written (a debugger or a
    // runner steps one instruction, then runs batches again).
    machine_memory_changed(m, address, static_cast<uint64_t>(k));
  }
  m.acc += k;
  return complete(m, next);
}

// "=" with a negative target: the host hook decides; its yield request survives
// as status 1, anything else it left in the status is replaced.
inline uint32_t host_call(Machine& m, int64_t call, int64_t argument, uint64_t next) {
  int64_t result = NIL;
  if (m.host_hook == nullptr) {
    m.acc = NIL;
    return complete(m, next);
  }
  const int32_t ok = m.host_hook(m.host_context, call, argument, &result);
  const bool yield = m.status == status_budget_reached;
  m.acc = ok ? range_or_nil(result) : NIL;
  m.status = yield ? status_budget_reached : status_ready;
  return complete(m, next);
}

inline uint32_t call(Machine& m, uint64_t target, int64_t argument, uint64_t next) {
  if (target >= m.size) return fail(m, status_invalid_destination);
  if (m.depth == kMaxDepth) return fail(m, status_call_stack_overflow);
  m.depth += 1;
  CallFrame& frame = m.frames[m.depth];
  for (ValueStack& s : frame.stacks) s.count = 0;  // entering empties; old values stay unread
  frame.return_address = next;
  m.pc = target;
  m.acc = argument;
  m.executed += 1;
  return status_ready;
}

// "~": compare acc with U and jump by P (greater), Q (less) or R (otherwise),
// relative to the "~" itself; acc becomes the address of the "~".
inline uint32_t jump(Machine& m, int64_t u, int64_t p, int64_t q, int64_t r) {
  const uint64_t pc = m.pc;
  int64_t d = r;
  if (m.acc != NIL && u != NIL) d = m.acc > u ? p : m.acc < u ? q : r;
  if (d == NIL) {
    m.acc = NIL;
    return complete(m, pc + 5);
  }
  m.acc = static_cast<int64_t>(pc);
  if (d == 0) return complete(m, pc + 5);
  const uint64_t distance = d > 0 ? static_cast<uint64_t>(d) : static_cast<uint64_t>(-d);
  if (d > 0 ? distance >= m.size - pc : pc < distance) return fail(m, status_invalid_destination);
  return complete(m, d > 0 ? pc + distance : pc - distance);
}

inline uint32_t return_or_halt(Machine& m) {
  if (m.depth > 0) {
    m.pc = m.frames[m.depth].return_address;
    m.depth -= 1;
    m.executed += 1;
    return status_ready;
  }
  m.status = status_halted;
  return complete(m, m.pc + 1);
}

[[gnu::always_inline]] inline uint32_t step(Machine& m) {
  m.status = status_ready;
  const uint64_t pc = m.pc;
  if (pc >= m.size) return fail(m, status_memory_end);
  const OpKind kind = op_kind(tryte_value_at(m.memory, pc));
  ValueStack* stacks = m.frames[m.depth].stacks;
  uint8_t s[4];
  switch (kind) {
    case op_literal: {
      uint64_t position = pc;
      int64_t value = 0;
      const LiteralResult r = read_literal(m.memory, m.size, position, value);
      if (r != literal_ok) return fail(m, r);
      m.acc = value;
      return complete(m, position);
    }
    case op_return:
      return return_or_halt(m);
    case op_invalid:
      return fail(m, status_cannot_decode);
    case op_pop:
      if (const uint32_t bad = decode_operands<1>(m, pc, s)) return fail(m, bad);
      m.acc = pop_value(stacks[s[0]]);
      return complete(m, pc + 2);
    case op_push: {
      if (const uint32_t bad = decode_operands<1>(m, pc, s)) return fail(m, bad);
      ValueStack& target = stacks[s[0]];
      if (target.count == kStackCapacity) return fail(m, status_stack_overflow);
      target.values[target.count++] = m.acc;
      return complete(m, pc + 2);
    }
    case op_add:
    case op_sub: {
      if (const uint32_t bad = decode_operands<2>(m, pc, s)) return fail(m, bad);
      const int64_t a = pop_value(stacks[s[0]]);
      const int64_t b = pop_value(stacks[s[1]]);
      m.acc = kind == op_add ? add_values(a, b) : subtract_values(a, b);
      return complete(m, pc + 3);
    }
    case op_call: {
      if (const uint32_t bad = decode_operands<2>(m, pc, s)) return fail(m, bad);
      const int64_t target = pop_value(stacks[s[0]]);
      const int64_t value = pop_value(stacks[s[1]]);
      if (target == NIL) return store(m, value, pc + 3);
      if (target < 0) return host_call(m, target, value, pc + 3);
      return call(m, static_cast<uint64_t>(target), value, pc + 3);
    }
    case op_jump: {
      if (const uint32_t bad = decode_operands<4>(m, pc, s)) return fail(m, bad);
      const int64_t u = pop_value(stacks[s[0]]);
      const int64_t p = pop_value(stacks[s[1]]);
      const int64_t q = pop_value(stacks[s[2]]);
      const int64_t r = pop_value(stacks[s[3]]);
      return jump(m, u, p, q, r);
    }
  }
  return fail(m, status_cannot_decode);  // not reached: every kind is handled above
}

}  // namespace

uint32_t machine_step(Machine& machine) { return step(machine); }

uint32_t machine_run_reference(Machine& machine, uint64_t max_steps) {
  if (max_steps == 0 || machine_stopped(machine)) return machine.status;
  for (;;) {
    const uint32_t status = step(machine);
    if (status != status_ready) return status;
    if (--max_steps == 0) {
      machine.status = status_budget_reached;
      return status_budget_reached;
    }
  }
}

}  // namespace quill
