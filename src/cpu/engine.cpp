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
// GO for a "=" call or a "." (the entry e): where it went last time, its entry is
// read from e; anywhere else is looked up and remembered in e.
#define GO_REMEMBERED(address)                                            \
  do {                                                                    \
    const uint64_t to_ = (address);                                       \
    DecodedEntry* const from_ = e;                                        \
    pc = to_;                                                             \
    if (to_ + 1 == from_->went_to) {                                      \
      e = from_->destination;                                             \
    } else {                                                              \
      e = decoded_entry(t, to_);                                          \
      if (to_ < UINT32_MAX - 1) {                                         \
        from_->went_to = static_cast<uint32_t>(to_ + 1);                  \
        from_->destination = e;                                           \
      }                                                                   \
    }                                                                     \
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

// Pushes acc onto the first n (0..4) stacks of `offsets`; the order does not
// matter, as every push stores the same value.
inline void push_all(ValueStack* stacks, const uint16_t* offsets, unsigned n, int64_t acc) {
  switch (n) {
    case 0: return;
    case 4: { ValueStack& s = stack_at(stacks, offsets[3]); s.values[s.count++] = acc; } [[fallthrough]];
    case 3: { ValueStack& s = stack_at(stacks, offsets[2]); s.values[s.count++] = acc; } [[fallthrough]];
    case 2: { ValueStack& s = stack_at(stacks, offsets[1]); s.values[s.count++] = acc; } [[fallthrough]];
    default: { ValueStack& s = stack_at(stacks, offsets[0]); s.values[s.count++] = acc; }
  }
}

#define STACK(i) stack_at(stacks, e->stack[i])

// Every literal form, as X(pushes, length), in the order of literal_op.
#define LITERAL_LENGTHS(X, N) X(N, 1) X(N, 2) X(N, 3) X(N, 4) X(N, 5) X(N, 6) X(N, 7) X(N, 8) X(N, 9) X(N, 10)
#define LITERAL_FORMS(X) LITERAL_LENGTHS(X, 0) LITERAL_LENGTHS(X, 1) LITERAL_LENGTHS(X, 2) LITERAL_LENGTHS(X, 3) LITERAL_LENGTHS(X, 4)
static_assert(kLiteralLengths == 10 && kMostPushes == 4, "LITERAL_FORMS lists every length and count");

// Makes the compiler forget that `x` equals what it was just compared with, so the
// code goes on from `x` itself and not from the value it was compared against.
#if QUILL_ENGINE_THREADED
#define HIDE_EQUALITY(x) asm("" : "+r"(x))
#else
#define HIDE_EQUALITY(x) static_cast<void>(x)
#endif

uint32_t run_engine(Machine& m, DecodedTable& t, const uint64_t max_steps) {
#if QUILL_ENGINE_THREADED
#define LITERAL_LABEL(N, LEN) &&L_literal_##N##_##LEN,
  static const void* const kHandlers[] = {
      &&L_decode, &&L_slow,    &&L_cross,   &&L_return,   &&L_pop,      &&L_push,
      &&L_add,    &&L_sub,     &&L_equals,  &&L_jump,     &&L_pushes2,  &&L_pushes3,
      &&L_pushes4, &&L_add_push, &&L_sub_push, &&L_sub_push_jump, LITERAL_FORMS(LITERAL_LABEL)
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
  int64_t* jump_hint = nullptr;
  uint32_t code = status_ready;
  RELOAD();
  NEXT();

#if !QUILL_ENGINE_THREADED
dispatch:
  switch (e->op) {
    case eop_decode: goto L_decode;
    case eop_cross: goto L_cross;
    case eop_return: goto L_return;
    case eop_pop: goto L_pop;
    case eop_push: goto L_push;
    case eop_add: goto L_add;
    case eop_sub: goto L_sub;
    case eop_equals: goto L_equals;
    case eop_jump: goto L_jump;
    case eop_pushes2: goto L_pushes2;
    case eop_pushes3: goto L_pushes3;
    case eop_pushes4: goto L_pushes4;
    case eop_add_push: goto L_add_push;
    case eop_sub_push: goto L_sub_push;
    case eop_sub_push_jump: goto L_sub_push_jump;
#define LITERAL_CASE(N, LEN) case literal_op(LEN, N): goto L_literal_##N##_##LEN;
    LITERAL_FORMS(LITERAL_CASE)
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

// A literal of LEN trytes and N pushes, both constants in each handler so the
// checks unroll and pc moves by a constant.
#define LITERAL_PUSHES(N, LEN)                                                            \
  L_literal_##N##_##LEN : do {                                                            \
    if ((N) > 0 && (left <= (N) || !room_for_pushes(stacks, e->stack, (N)))) {           \
      goto L_literal_0_##LEN;                                                             \
    }                                                                                     \
    acc = e->value;                                                                       \
    push_all(stacks, e->stack, (N), acc);                                                 \
    left -= (N) + 1;                                                                      \
    ADVANCE((LEN) + 2 * (N));                                                             \
    NEXT();                                                                               \
  } while (0);
  LITERAL_FORMS(LITERAL_PUSHES)

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
  GO_REMEMBERED(back);
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
    ADVANCE(2 * (N));                                                           \
    NEXT();                                                                     \
  } while (0)
L_pushes2: PUSHES(2);
L_pushes3: PUSHES(3);
L_pushes4: PUSHES(4);

// "+" or "-": pops both operands, then combines them with `combine`.
#define ARITHMETIC(combine)                       \
  do {                                            \
    const int64_t a = pop_value(STACK(0));        \
    const int64_t b = pop_value(STACK(1));        \
    acc = combine(a, b);                          \
    ADVANCE(3);                                   \
    --left;                                       \
    NEXT();                                       \
  } while (0)
L_add: ARITHMETIC(add_values);
L_sub: ARITHMETIC(subtract_values);

// "+" or "-" and a push of the result. The pops can only make room on the push's
// stack, so a free slot before them is enough.
#define ARITHMETIC_PUSH(combine, alone)                                 \
  do {                                                                  \
    ValueStack& p = STACK(2);                                           \
    if (left < 2 || p.count == kStackCapacity) goto alone;              \
    const int64_t a = pop_value(STACK(0));                              \
    const int64_t b = pop_value(STACK(1));                              \
    acc = combine(a, b);                                                \
    p.values[p.count++] = acc;                                          \
    ADVANCE(5);                                                         \
    left -= 2;                                                          \
    NEXT();                                                             \
  } while (0)
L_add_push: ARITHMETIC_PUSH(add_values, L_add);
L_sub_push: ARITHMETIC_PUSH(subtract_values, L_sub);

L_sub_push_jump: {
  ValueStack& p = STACK(2);
  if (left < 3 || p.count == kStackCapacity) goto L_sub_push;
  const int64_t a = pop_value(STACK(0));
  const int64_t b = pop_value(STACK(1));
  acc = subtract_values(a, b);
  p.values[p.count++] = acc;
  left -= 2;
  jump_stacks = e->stack + 3;
  jump_hint = &e->value;
  ADVANCE(5);  // the decoder kept the "~" in this page, so e is its entry
  goto jump;
}

// A jump entry keeps in its unused value field the last distance it jumped that
// stayed inside its own page (0 when there is none): such a distance is known to
// be a valid destination, and when it comes again the next entry is reached from
// the hint alone, so the processor need not wait for the popped values to find it.
L_jump:
  jump_stacks = e->stack;
  jump_hint = &e->value;
jump: {
  const int64_t u = pop_value(stack_at(stacks, jump_stacks[0]));
  const int64_t p = pop_value(stack_at(stacks, jump_stacks[1]));
  const int64_t q = pop_value(stack_at(stacks, jump_stacks[2]));
  const int64_t r = pop_value(stack_at(stacks, jump_stacks[3]));
  int64_t d = r;
  if (acc != NIL && u != NIL) d = acc > u ? p : acc < u ? q : r;
  int64_t hint = *jump_hint;
  if (d == hint && hint != 0) {
    HIDE_EQUALITY(hint);
    acc = static_cast<int64_t>(pc);
    pc += static_cast<uint64_t>(hint);
    e += hint;
    --left;
    NEXT();
  }
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
    *jump_hint = d;
    e += d;  // same page: no lookup
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
  GO_REMEMBERED(static_cast<uint64_t>(target));
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
