// machine_run: the step loop over the decoded table. Every handler does what
// machine_step does for its instruction, reading its entry before it writes
// anything. Whatever is rare or delicate (a host call, an instruction that cannot
// be decoded, pc beyond memory, a page that could not be allocated) is handed to
// machine_step itself after the registers are written back, so those paths are
// exact by construction. Fused handlers fall back to their first instruction's
// own handler (FALL_BACK_IF) whenever the whole sequence might not complete (too
// little budget left, a stack that might overflow), so a failure or the end of a
// batch is never skipped. A stop (cpu/engine.h) is an entry of its own that the
// decoder never fuses into the entry before it, so no handler runs through one.
//
// Dispatch is by computed goto under GCC and Clang, by a switch otherwise or
// when QUILL_ENGINE_PORTABLE is defined; both run the same handlers, labelled
// L_<op> after the lists in cpu/decoded_table.h. The file's macros are undefined
// at its end.
#include "cpu/engine.h"

#include <cstddef>
#include <utility>

#include "codec/packed.h"
#include "cpu/decode.h"
#include "cpu/decoded_table.h"
#include "cpu/opcode.h"
#include "cpu/packed_store.h"
#include "cpu/step.h"
#include "cpu/write_journal.h"

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
#define RELOAD()                       \
  do {                                 \
    pc = m.pc;                         \
    acc = m.acc;                       \
    exec_base = m.executed;            \
    budget = left;                     \
    stacks = m.frames[m.depth].stacks; \
    e = decoded_entry(t, pc);          \
  } while (0)
#define FLUSH()                               \
  do {                                        \
    m.pc = pc;                                \
    m.acc = acc;                              \
    m.executed = exec_base + (budget - left); \
  } while (0)
#define ADVANCE(n)            \
  do {                        \
    const uint64_t by_ = (n); \
    pc += by_;                \
    e += by_;                 \
  } while (0)
#define GO(address)           \
  do {                        \
    pc = (address);           \
    e = decoded_entry(t, pc); \
  } while (0)
// GO for a "=" call or a "." (the entry e): where it went last time, its entry is
// read from e; anywhere else is looked up and remembered in e.
#define GO_REMEMBERED(address)                           \
  do {                                                   \
    const uint64_t to_ = (address);                      \
    DecodedEntry* const from_ = e;                       \
    pc = to_;                                            \
    if (to_ + 1 == from_->went_to) {                     \
      e = from_->destination;                            \
    } else {                                             \
      e = decoded_entry(t, to_);                         \
      if (to_ < UINT32_MAX - 1) {                        \
        from_->went_to = static_cast<uint32_t>(to_ + 1); \
        from_->destination = e;                          \
      }                                                  \
    }                                                    \
  } while (0)
#define FAIL(status) \
  do {               \
    code = (status); \
    goto fail;       \
  } while (0)
// A fused handler hands its entry to the handler of its first instruction when
// the whole sequence might not complete; that one then does exactly one step.
#define FALL_BACK_IF(condition, first_handler) \
  do {                                         \
    if (condition) goto first_handler;         \
  } while (0)
// Handlers count `left` down just before NEXT where they can, so its test reuses
// the flags of that subtraction.
#if QUILL_ENGINE_THREADED
#define NEXT()                       \
  do {                               \
    if (left == 0) goto budget_used; \
    goto* kHandlers[e->op];          \
  } while (0)
#else
#define NEXT()                       \
  do {                               \
    if (left == 0) goto budget_used; \
    goto dispatch;                   \
  } while (0)
#endif

// The stack that `ref` (a stack_ref) names among a frame's `stacks`.
inline ValueStack& stack_at(ValueStack* stacks, uint16_t ref) {
  return *reinterpret_cast<ValueStack*>(reinterpret_cast<char*>(stacks) + ref);
}

inline void push_at(ValueStack* stacks, uint16_t ref, int64_t value) {
  ValueStack& s = stack_at(stacks, ref);
  s.values[s.count++] = value;
}

// Whether each of the first n stacks of `refs` can take n more values, so n
// pushes cannot overflow whichever of them repeat.
inline bool room_for_pushes(ValueStack* stacks, const uint16_t* refs, unsigned n) {
  for (unsigned i = 0; i < n; ++i) {
    if (stack_at(stacks, refs[i]).count > kStackCapacity - n) return false;
  }
  return true;
}

// Pushes acc onto the first N (0..4) stacks of `refs`; the order does not matter,
// as every push stores the same value. N pushes onto one stack (a common way to
// keep copies of a value) read and write its count once, so they do not each wait
// for the count the one before just wrote.
template <unsigned N>
inline void push_all(ValueStack* stacks, const uint16_t* refs, int64_t acc) {
  bool one_stack = true;
  for (unsigned i = 1; i < N; ++i) one_stack &= refs[i] == refs[0];
  if (N > 1 && one_stack) {
    ValueStack& s = stack_at(stacks, refs[0]);
    const unsigned count = s.count;
    for (unsigned i = 0; i < N; ++i) s.values[count + i] = acc;
    s.count = static_cast<uint8_t>(count + N);
    return;
  }
  for (unsigned i = 0; i < N; ++i) push_at(stacks, refs[i], acc);
}

// Makes the compiler forget that `x` equals what it was just compared with, so the
// code goes on from `x` itself and not from the value it was compared against.
#if QUILL_ENGINE_THREADED
#define HIDE_EQUALITY(x) asm("" : "+r"(x))
#else
#define HIDE_EQUALITY(x) static_cast<void>(x)
#endif

#define STACK_REF(i) (e->stack[i])

// Empties every stack of a frame that a call enters (old values stay unread), one
// store per count: a loop over the 20 counts cost four times the instructions and
// was the largest part of a call.
template <std::size_t... I>
inline void empty_stacks(CallFrame& frame, std::index_sequence<I...> /*every stack*/) {
  ((frame.stacks[I].count = 0), ...);
}

uint32_t run_engine(Machine& m, DecodedTable& t, const uint64_t max_steps) {
#if QUILL_ENGINE_THREADED
#define OP_LABEL(name) &&L_##name,
#define LITERAL_LABEL(N, LEN) &&L_literal_##N##_##LEN,
  static const void* const kHandlers[] = {QUILL_ENGINE_OPS(OP_LABEL) QUILL_LITERAL_FORMS(LITERAL_LABEL)};
  static_assert(sizeof kHandlers / sizeof kHandlers[0] == eop_count);
#endif
  uint8_t* const memory = m.memory;
  const uint64_t size = m.size;
  WriteJournal* const journal = m.journal;  // its owner never swaps it during a run
  uint64_t left = max_steps, budget = 0, exec_base = 0, pc = 0;
  int64_t acc = NIL;
  ValueStack* stacks = nullptr;
  DecodedEntry* e = nullptr;
  uint32_t code = status_ready;
  PackedStoreMemo store_memo;
  RELOAD();
  NEXT();

#if !QUILL_ENGINE_THREADED
dispatch:
  switch (e->op) {
#define OP_CASE(name) \
  case eop_##name:    \
    goto L_##name;
#define LITERAL_CASE(N, LEN) \
  case literal_op(LEN, N):   \
    goto L_literal_##N##_##LEN;
    QUILL_ENGINE_OPS(OP_CASE)
    QUILL_LITERAL_FORMS(LITERAL_CASE)
    default:
      goto L_slow;
  }
#endif

L_decode:
  if (t.stop_count != 0 && decoded_table_is_stop(t, pc)) {
    e->op = eop_stop;
    goto L_stop;
  }
  if (pc < size &&
      decode_entry(memory, size, pc, t.stop_count == 0 ? UINT64_MAX : decoded_table_next_stop(t, pc), *e)) {
    NEXT();
  }
  goto L_step;  // machine_step reports the failure exactly

// A stop ends the batch before its instruction, except the batch's first: a run
// resumed from a stop executes it.
L_stop:
  if (left != max_steps) goto at_stop;
  goto L_step;

// No entry here (beyond memory, or a page that could not be allocated), so the stop
// set is looked up; a stop is honoured as eop_stop would.
L_slow:
  if (t.stop_count != 0 && left != max_steps && decoded_table_is_stop(t, pc)) goto at_stop;
L_step:
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
#define LITERAL_PUSHES(N, LEN)                                                                            \
  L_literal_##N##_##LEN : do {                                                                            \
    FALL_BACK_IF((N) > 0 && (left <= (N) || !room_for_pushes(stacks, e->stack, (N))), L_literal_0_##LEN); \
    acc = e->value;                                                                                       \
    push_all<(N)>(stacks, e->stack, acc);                                                                 \
    left -= (N) + 1;                                                                                      \
    ADVANCE((LEN) + 2 * (N));                                                                             \
    NEXT();                                                                                               \
  }                                                                                                       \
  while (0)                                                                                               \
    ;
  QUILL_LITERAL_FORMS(LITERAL_PUSHES)

L_return : {
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
  GO_REMEMBERED(back);
  --left;
  NEXT();
}

L_pop:
  acc = pop_value(stack_at(stacks, STACK_REF(0)));
  ADVANCE(2);
  --left;
  NEXT();

L_push:
  if (stack_at(stacks, STACK_REF(0)).count == kStackCapacity) FAIL(status_stack_overflow);
  push_at(stacks, STACK_REF(0), acc);
  ADVANCE(2);
  --left;
  NEXT();

#define PUSHES(N)                                                                \
  do {                                                                           \
    FALL_BACK_IF(left < (N) || !room_for_pushes(stacks, e->stack, (N)), L_push); \
    push_all<(N)>(stacks, e->stack, acc);                                        \
    left -= (N);                                                                 \
    ADVANCE(2 * (N));                                                            \
    NEXT();                                                                      \
  } while (0)
L_pushes2:
  PUSHES(2);
L_pushes3:
  PUSHES(3);
L_pushes4:
  PUSHES(4);

// "+" or "-": pops both operands, then combines them with `combine`.
#define ARITHMETIC(combine)                                      \
  do {                                                           \
    const int64_t a = pop_value(stack_at(stacks, STACK_REF(0))); \
    const int64_t b = pop_value(stack_at(stacks, STACK_REF(1))); \
    acc = combine(a, b);                                         \
    ADVANCE(3);                                                  \
    --left;                                                      \
    NEXT();                                                      \
  } while (0)
L_add:
  ARITHMETIC(add_values);
L_sub:
  ARITHMETIC(subtract_values);

// "+" or "-" and a push of the result. The pops can only make room on the push's
// stack, so a free slot before them is enough.
#define ARITHMETIC_PUSH(combine, alone)                                                      \
  do {                                                                                       \
    FALL_BACK_IF(left < 2 || stack_at(stacks, STACK_REF(2)).count == kStackCapacity, alone); \
    const int64_t a = pop_value(stack_at(stacks, STACK_REF(0)));                             \
    const int64_t b = pop_value(stack_at(stacks, STACK_REF(1)));                             \
    acc = combine(a, b);                                                                     \
    push_at(stacks, STACK_REF(2), acc);                                                      \
    ADVANCE(5);                                                                              \
    left -= 2;                                                                               \
    NEXT();                                                                                  \
  } while (0)
L_add_push:
  ARITHMETIC_PUSH(add_values, L_add);
L_sub_push:
  ARITHMETIC_PUSH(subtract_values, L_sub);

// "~" at pc + AT (entry e + AT) with its four stacks at `refs` and its hint in
// `hint` (an lvalue in e). A jump entry keeps in its unused value field the last
// distance it jumped that stayed inside its own page (0 when there is none): such
// a distance is known to be a valid destination, and when it comes again the next
// entry is reached from the hint alone, so the processor need not wait for the
// popped values to find it. pc and e move once, by a sum known early.
#define JUMP(AT, refs, hint)                                                                \
  do {                                                                                      \
    const int64_t u = pop_value(stack_at(stacks, (refs)[0]));                               \
    const int64_t p = pop_value(stack_at(stacks, (refs)[1]));                               \
    const int64_t q = pop_value(stack_at(stacks, (refs)[2]));                               \
    const int64_t r = pop_value(stack_at(stacks, (refs)[3]));                               \
    int64_t d = r;                                                                          \
    if (acc != NIL && u != NIL) d = acc > u ? p : acc < u ? q : r;                          \
    int64_t known = (hint);                                                                 \
    if (d == known && known != 0) {                                                         \
      HIDE_EQUALITY(known);                                                                 \
      acc = static_cast<int64_t>(pc + (AT));                                                \
      ADVANCE((AT) + static_cast<uint64_t>(known));                                         \
      --left;                                                                               \
      NEXT();                                                                               \
    }                                                                                       \
    if (d == NIL || d == 0) {                                                               \
      acc = d == NIL ? NIL : static_cast<int64_t>(pc + (AT));                               \
      ADVANCE((AT) + 5);                                                                    \
      --left;                                                                               \
      NEXT();                                                                               \
    }                                                                                       \
    ADVANCE(AT);                                                                            \
    acc = static_cast<int64_t>(pc);                                                         \
    const uint64_t distance = d > 0 ? static_cast<uint64_t>(d) : static_cast<uint64_t>(-d); \
    if (d > 0 ? distance >= size - pc : pc < distance) FAIL(status_invalid_destination);    \
    const uint64_t target = d > 0 ? pc + distance : pc - distance;                          \
    --left;                                                                                 \
    if (((target ^ pc) >> kPageBits) == 0) {                                                \
      (e - (AT))->value = d;                                                                \
      e += d; /* same page: no lookup */                                                    \
      pc = target;                                                                          \
    } else {                                                                                \
      GO(target);                                                                           \
    }                                                                                       \
    NEXT();                                                                                 \
  } while (0)

L_jump:
  JUMP(0, e->stack, e->value);

// The "~" keeps its hint in the fused entry; the decoder kept the "~" in this
// page, so e + 5 is its own entry.
L_sub_push_jump : {
  FALL_BACK_IF(left < 3 || stack_at(stacks, STACK_REF(2)).count == kStackCapacity, L_sub_push);
  const int64_t a = pop_value(stack_at(stacks, STACK_REF(0)));
  const int64_t b = pop_value(stack_at(stacks, STACK_REF(1)));
  acc = subtract_values(a, b);
  push_at(stacks, STACK_REF(2), acc);
  left -= 2;
  JUMP(5, e->stack + 3, e->value);
}

L_equals : {
  ValueStack& first = stack_at(stacks, STACK_REF(0));
  if (first.count != 0) {
    const int64_t top = first.values[first.count - 1];
    if (top < 0 && top != NIL) goto L_step;  // a host call: machine_step runs the hook
  }
  const int64_t target = pop_value(stack_at(stacks, STACK_REF(0)));
  const int64_t value = pop_value(stack_at(stacks, STACK_REF(1)));
  if (target == NIL) {  // store
    if (value < 0 || acc < 0) FAIL(status_invalid_destination);
    const auto address = static_cast<uint64_t>(acc);
    if (journal != nullptr) journal_keep_store(*journal, memory, size, address);
    const int k = store_packed_memo(store_memo, memory, size, address, value);
    if (k == kPackedTooLarge) FAIL(status_invalid_destination);
    if (k > 0) {
      decoded_table_note_write(t, address, static_cast<uint64_t>(k));
      if (journal != nullptr) journal_commit_store(*journal, address, static_cast<uint64_t>(k));
    }
    acc += k;
    ADVANCE(3);
    --left;
    NEXT();
  }
  if (static_cast<uint64_t>(target) >= size) FAIL(status_invalid_destination);
  if (m.depth == kMaxDepth) FAIL(status_call_stack_overflow);
  CallFrame& callee = m.frames[++m.depth];
  empty_stacks(callee, std::make_index_sequence<kStackCount>{});
  callee.return_address = pc + 3;
  stacks = callee.stacks;
  acc = value;
  GO_REMEMBERED(static_cast<uint64_t>(target));
  --left;
  NEXT();
}

at_stop:
  t.ended_at_stop = true;
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
  if (machine.decoded != nullptr) machine.decoded->ended_at_stop = false;
  if (max_steps == 0 || machine_stopped(machine)) return machine.status;
  DecodedTable* table = table_for(machine);
  if (table == nullptr) return machine_run_reference(machine, max_steps);
  return run_engine(machine, *table, max_steps);
}

bool machine_set_stop(Machine& machine, uint64_t address, bool on) {
  DecodedTable* table = table_for(machine);
  return table != nullptr && decoded_table_set_stop(*table, address, on);
}

void machine_clear_stops(Machine& machine) {
  if (machine.decoded != nullptr) decoded_table_clear_stops(*machine.decoded);
}

bool machine_ended_at_stop(const Machine& machine) {
  return machine.decoded != nullptr && machine.decoded->ended_at_stop;
}

uint64_t machine_engine_bytes(const Machine& machine) {
  return machine.decoded == nullptr ? 0 : decoded_table_bytes(*machine.decoded);
}

}  // namespace quill

#undef QUILL_ENGINE_THREADED
#undef RELOAD
#undef FLUSH
#undef ADVANCE
#undef GO
#undef GO_REMEMBERED
#undef FAIL
#undef FALL_BACK_IF
#undef NEXT
#undef HIDE_EQUALITY
#undef STACK_REF
#undef OP_LABEL
#undef LITERAL_LABEL
#undef OP_CASE
#undef LITERAL_CASE
#undef LITERAL_PUSHES
#undef PUSHES
#undef ARITHMETIC
#undef ARITHMETIC_PUSH
#undef JUMP
