// machine_run: the step loop over the decoded table. Every handler does what
// machine_step does for its instruction, reading its entry before it writes
// anything. Whatever is rare or delicate (a host call, an instruction that cannot
// be decoded, pc beyond memory, a page that could not be allocated) is handed to
// machine_step itself after the registers are written back, so those paths are
// exact by construction. Fused handlers fall back to their first instruction's
// own handler whenever the pair might not complete (one step of budget left, a
// stack that might overflow), so a failure or the end of a batch is never skipped.
//
// Dispatch is by computed goto under GCC and Clang, by a switch otherwise or
// when QUILL_ENGINE_PORTABLE is defined; both run the same handlers.
#include "cpu/engine.h"

#include "codec/packed.h"
#include "cpu/decode.h"
#include "cpu/decoded_table.h"
#include "cpu/opcode.h"
#include "cpu/packed_store.h"
#include "cpu/step.h"

#if defined(__GNUC__) && !defined(QUILL_ENGINE_PORTABLE)
#define QUILL_ENGINE_THREADED 1
#else
#define QUILL_ENGINE_THREADED 0
#endif

namespace quill {

namespace {

// The machine's table, made afresh when it is missing or was decoded from other memory.
DecodedTable* table_for(Machine& m) {
  if (m.decoded != nullptr && (m.decoded->memory != m.memory || m.decoded->size != m.size)) machine_release(m);
  if (m.decoded == nullptr) m.decoded = decoded_table_create(m.memory, m.size);
  return m.decoded;
}

// Registers live in locals; `budget` is `left` at the last reload, so the machine's
// executed count is exec_base + (budget - left) whenever it is written back.
#define RELOAD()                              \
  do {                                        \
    pc = m.pc;                                \
    acc = m.acc;                              \
    exec_base = m.executed;                   \
    budget = left;                            \
    stacks = m.frames[m.depth].stacks;        \
    e = decoded_entry(t, pc);                 \
  } while (0)
#define FLUSH()                                 \
  do {                                          \
    m.pc = pc;                                  \
    m.acc = acc;                                \
    m.executed = exec_base + (budget - left);   \
  } while (0)
#define ADVANCE(n)              \
  do {                          \
    const uint64_t by_ = (n);   \
    pc += by_;                  \
    e += by_;                   \
  } while (0)
#define GO(address)                \
  do {                             \
    pc = (address);                \
    e = decoded_entry(t, pc);      \
  } while (0)
#define FAIL(status)  \
  do {                \
    code = (status);  \
    goto fail;        \
  } while (0)
#if QUILL_ENGINE_THREADED
#define NEXT()                        \
  do {                                \
    if (left == 0) goto budget_used;  \
    goto* kHandlers[e->op];           \
  } while (0)
#else
#define NEXT()                        \
  do {                                \
    if (left == 0) goto budget_used;  \
    goto dispatch;                    \
  } while (0)
#endif

// The stack whose byte offset in the current frame's stacks is `offset`.
inline ValueStack& stack_at(ValueStack* stacks, uint16_t offset) {
  return *reinterpret_cast<ValueStack*>(reinterpret_cast<char*>(stacks) + offset);
}

// Whether each of the first n stacks of `offsets` can take n more values, so n
// pushes cannot overflow whichever of them repeat.
inline bool room_for_pushes(ValueStack* stacks, const uint16_t* offsets, unsigned n) {
  for (unsigned i = 0; i < n; ++i) {
    if (stack_at(stacks, offsets[i]).count > kStackCapacity - n) return false;
  }
  return true;
}

// Pushes acc onto the first n (1..4) stacks of `offsets`; the order does not
// matter, as every push stores the same value.
inline void push_all(ValueStack* stacks, const uint16_t* offsets, unsigned n, int64_t acc) {
  switch (n) {
    case 4: { ValueStack& s = stack_at(stacks, offsets[3]); s.values[s.count++] = acc; } [[fallthrough]];
    case 3: { ValueStack& s = stack_at(stacks, offsets[2]); s.values[s.count++] = acc; } [[fallthrough]];
    case 2: { ValueStack& s = stack_at(stacks, offsets[1]); s.values[s.count++] = acc; } [[fallthrough]];
    default: { ValueStack& s = stack_at(stacks, offsets[0]); s.values[s.count++] = acc; }
  }
}

#define STACK(i) stack_at(stacks, e->stack[i])

uint32_t run_engine(Machine& m, DecodedTable& t, const uint64_t max_steps) {
#if QUILL_ENGINE_THREADED
  static const void* const kHandlers[] = {
      &&L_decode, &&L_slow,  &&L_cross,  &&L_literal,         &&L_return,  &&L_pop,      &&L_push,
      &&L_add,    &&L_sub,   &&L_equals, &&L_jump,
      &&L_literal_push1, &&L_literal_push2, &&L_literal_push3, &&L_literal_push4,
      &&L_pushes2, &&L_pushes3, &&L_pushes4, &&L_add_push, &&L_sub_push, &&L_sub_push_jump,
  };
  static_assert(sizeof kHandlers / sizeof kHandlers[0] == eop_count);
#endif
  uint8_t* const memory = m.memory;
  const uint64_t size = m.size;
  uint64_t left = max_steps, budget = 0, exec_base = 0, pc = 0;
  int64_t acc = NIL;
  ValueStack* stacks = nullptr;
  DecodedEntry* e = nullptr;
  const uint16_t* jump_stacks = nullptr;
  uint32_t code = status_ready;
  RELOAD();
  NEXT();

#if !QUILL_ENGINE_THREADED
dispatch:
  switch (e->op) {
    case eop_decode: goto L_decode;
    case eop_cross: goto L_cross;
    case eop_literal: goto L_literal;
    case eop_return: goto L_return;
    case eop_pop: goto L_pop;
    case eop_push: goto L_push;
    case eop_add: goto L_add;
    case eop_sub: goto L_sub;
    case eop_equals: goto L_equals;
    case eop_jump: goto L_jump;
    case eop_literal_push1: goto L_literal_push1;
    case eop_literal_push2: goto L_literal_push2;
    case eop_literal_push3: goto L_literal_push3;
    case eop_literal_push4: goto L_literal_push4;
    case eop_pushes2: goto L_pushes2;
    case eop_pushes3: goto L_pushes3;
    case eop_pushes4: goto L_pushes4;
    case eop_add_push: goto L_add_push;
    case eop_sub_push: goto L_sub_push;
    case eop_sub_push_jump: goto L_sub_push_jump;
    default: goto L_slow;
  }
#endif

L_decode:
  if (pc < size && decode_entry(memory, size, pc, *e)) NEXT();
  goto L_slow;  // machine_step reports the failure exactly

L_slow:
  FLUSH();
  code = machine_step(m);
  if (code != status_ready) return code;
  --left;
  RELOAD();
  NEXT();

L_cross:
  GO(pc);
  NEXT();

L_literal:
  acc = e->value;
  ADVANCE(e->length);
  --left;
  NEXT();

// A literal and N pushes, with N a constant in each handler so the checks unroll.
#define LITERAL_PUSHES(N)                                                          \
  do {                                                                             \
    if (left <= (N) || !room_for_pushes(stacks, e->stack, (N))) goto L_literal;   \
    acc = e->value;                                                                \
    push_all(stacks, e->stack, (N), acc);                                          \
    left -= (N) + 1;                                                               \
    ADVANCE(e->advance);                                                           \
    NEXT();                                                                        \
  } while (0)
L_literal_push1: LITERAL_PUSHES(1);
L_literal_push2: LITERAL_PUSHES(2);
L_literal_push3: LITERAL_PUSHES(3);
L_literal_push4: LITERAL_PUSHES(4);

L_return: {
  const uint32_t depth = m.depth;
  if (depth == 0) {
    ++pc;
    --left;
    FLUSH();
    m.status = status_halted;
    return status_halted;
  }
  const uint64_t back = m.frames[depth].return_address;
  m.depth = depth - 1;
  stacks = m.frames[depth - 1].stacks;
  --left;
  GO(back);
  NEXT();
}

L_pop:
  acc = pop_value(STACK(0));
  ADVANCE(2);
  --left;
  NEXT();

L_push: {
  ValueStack& s = STACK(0);
  if (s.count == kStackCapacity) FAIL(status_stack_overflow);
  s.values[s.count++] = acc;
  ADVANCE(2);
  --left;
  NEXT();
}

#define PUSHES(N)                                                               \
  do {                                                                          \
    if (left < (N) || !room_for_pushes(stacks, e->stack, (N))) goto L_push;    \
    push_all(stacks, e->stack, (N), acc);                                       \
    left -= (N);                                                                \
    ADVANCE(e->advance);                                                        \
    NEXT();                                                                     \
  } while (0)
L_pushes2: PUSHES(2);
L_pushes3: PUSHES(3);
L_pushes4: PUSHES(4);

L_add: {
  const int64_t a = pop_value(STACK(0));
  const int64_t b = pop_value(STACK(1));
  acc = add_values(a, b);
  ADVANCE(3);
  --left;
  NEXT();
}

L_sub: {
  const int64_t a = pop_value(STACK(0));
  const int64_t b = pop_value(STACK(1));
  acc = subtract_values(a, b);
  ADVANCE(3);
  --left;
  NEXT();
}

// The pops can only make room on the push's stack, so a free slot before them is enough.
L_add_push: {
  ValueStack& p = STACK(2);
  if (left < 2 || p.count == kStackCapacity) goto L_add;
  const int64_t a = pop_value(STACK(0));
  const int64_t b = pop_value(STACK(1));
  acc = add_values(a, b);
  p.values[p.count++] = acc;
  ADVANCE(5);
  left -= 2;
  NEXT();
}

L_sub_push: {
  ValueStack& p = STACK(2);
  if (left < 2 || p.count == kStackCapacity) goto L_sub;
  const int64_t a = pop_value(STACK(0));
  const int64_t b = pop_value(STACK(1));
  acc = subtract_values(a, b);
  p.values[p.count++] = acc;
  ADVANCE(5);
  left -= 2;
  NEXT();
}

L_sub_push_jump: {
  ValueStack& p = STACK(2);
  if (left < 3 || p.count == kStackCapacity) goto L_sub_push;
  const int64_t a = pop_value(STACK(0));
  const int64_t b = pop_value(STACK(1));
  acc = subtract_values(a, b);
  p.values[p.count++] = acc;
  left -= 2;
  jump_stacks = e->stack + 3;
  ADVANCE(5);  // the decoder kept the "~" in this page, so e is its entry
  goto jump;
}

L_jump:
  jump_stacks = e->stack;
jump: {
  const int64_t u = pop_value(stack_at(stacks, jump_stacks[0]));
  const int64_t p = pop_value(stack_at(stacks, jump_stacks[1]));
  const int64_t q = pop_value(stack_at(stacks, jump_stacks[2]));
  const int64_t r = pop_value(stack_at(stacks, jump_stacks[3]));
  int64_t d = r;
  if (acc != NIL && u != NIL) d = acc > u ? p : acc < u ? q : r;
  if (d == NIL || d == 0) {
    acc = d == NIL ? NIL : static_cast<int64_t>(pc);
    ADVANCE(5);
    --left;
    NEXT();
  }
  acc = static_cast<int64_t>(pc);
  const uint64_t distance = d > 0 ? static_cast<uint64_t>(d) : static_cast<uint64_t>(-d);
  if (d > 0 ? distance >= size - pc : pc < distance) FAIL(status_invalid_destination);
  const uint64_t target = d > 0 ? pc + distance : pc - distance;
  --left;
  if (((target ^ pc) >> kPageBits) == 0) {
    e += static_cast<int64_t>(target - pc);  // same page: no lookup
    pc = target;
  } else {
    GO(target);
  }
  NEXT();
}

L_equals: {
  ValueStack& first = STACK(0);
  if (first.count != 0) {
    const int64_t top = first.values[first.count - 1];
    if (top < 0 && top != NIL) goto L_slow;  // a host call: machine_step runs the hook
  }
  const int64_t target = pop_value(first);
  const int64_t value = pop_value(STACK(1));
  if (target == NIL) {  // store
    if (value < 0 || acc < 0) FAIL(status_invalid_destination);
    const auto address = static_cast<uint64_t>(acc);
    const int k = store_packed(memory, size, address, value);
    if (k == kPackedTooLarge) FAIL(status_invalid_destination);
    if (k > 0) decoded_table_note_write(t, address, static_cast<uint64_t>(k));
    acc += k;
    ADVANCE(3);
    --left;
    NEXT();
  }
  if (static_cast<uint64_t>(target) >= size) FAIL(status_invalid_destination);
  if (m.depth == kMaxDepth) FAIL(status_call_stack_overflow);
  CallFrame& frame = m.frames[++m.depth];
  for (ValueStack& s : frame.stacks) s.count = 0;  // entering empties; old values stay unread
  frame.return_address = pc + 3;
  stacks = frame.stacks;
  acc = value;
  --left;
  GO(static_cast<uint64_t>(target));
  NEXT();
}

budget_used:
  FLUSH();
  m.status = status_budget_reached;
  return status_budget_reached;

fail:
  FLUSH();
  m.acc = NIL;
  m.status = code;
  return code;
}

}  // namespace

uint32_t machine_run(Machine& machine, uint64_t max_steps) {
  if (max_steps == 0 || machine_stopped(machine)) return machine.status;
  DecodedTable* table = table_for(machine);
  if (table == nullptr) return machine_run_reference(machine, max_steps);
  return run_engine(machine, *table, max_steps);
}

uint64_t machine_engine_bytes(const Machine& machine) {
  return machine.decoded == nullptr ? 0 : decoded_table_bytes(*machine.decoded);
}

}  // namespace quill
