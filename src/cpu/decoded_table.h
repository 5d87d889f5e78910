// The fast engine's side table: for each tryte address that has been executed,
// what the instruction starting there needs (its handler, validated stack numbers,
// a literal's value, its length), so the hot path decodes no trytes.
//
// The table is split into pages of kPageTrytes entries, allocated on first
// execution inside them and kept until the table is freed; pages of memory that
// is never executed cost nothing. An entry depends on the trytes from its address
// up to kMaxSpan - 1 after it, so a write must clear the entries that start up to
// kMaxSpan - 1 trytes before it (decoded_table_invalidate does).
//
// A table belongs to one Machine and is used only by the thread that runs it.
#pragma once

#include <cstdint>

#include "cpu/machine.h"

namespace quill {

// Handlers of the engine. 0 (not decoded) is what calloc and invalidation leave.
inline constexpr unsigned kLiteralLengths = 10;  // a literal takes 1..10 trytes
inline constexpr unsigned kMostPushes = 4;       // pushes fused into one entry

// Every handler but the literal forms, in op order, as X(name): EngineOp and the
// engine's dispatch (its table of labels and its portable switch) are all made
// from this list and QUILL_LITERAL_FORMS, so their orders cannot drift apart.
//   decode: decode the instruction here, then dispatch on the result
//   slow: execute one instruction with machine_step (beyond memory, no page)
//   cross: fell through past a page's last entry: look the address up again
//   equals: "=": call, store, or (handed to machine_step) host call
//   pushes2..4: that many pushes in a row
//   add_push, sub_push: "+" or "-" and a push of the result
//   sub_push_jump: the count-down idiom: subtract, push the result, "~"
//   stop: an address in the stop set: the batch ends before it unless it is
//         the batch's first instruction (then machine_step runs that one)
// In a fused entry the first instruction's fields sit where its own handler reads
// them, so a fused handler can always fall back to that one.
// The formatter cannot settle on a list that names `return`: it is laid out by hand.
// clang-format off
#define QUILL_ENGINE_OPS(X) \
  X(decode) X(slow) X(cross) X(return) X(pop) X(push) X(add) X(sub) X(equals) X(jump) \
  X(pushes2) X(pushes3) X(pushes4) X(add_push) X(sub_push) X(sub_push_jump) X(stop)
// clang-format on

// A literal and the 0..4 pushes after it, as X(pushes, length), one handler for each
// length and count in the order of literal_op, so each moves pc by a constant: the
// next entry is then found without waiting for a length read from this one.
#define QUILL_LITERAL_LENGTHS(X, N) X(N, 1) X(N, 2) X(N, 3) X(N, 4) X(N, 5) X(N, 6) X(N, 7) X(N, 8) X(N, 9) X(N, 10)
#define QUILL_LITERAL_FORMS(X) \
  QUILL_LITERAL_LENGTHS(X, 0)  \
  QUILL_LITERAL_LENGTHS(X, 1) QUILL_LITERAL_LENGTHS(X, 2) QUILL_LITERAL_LENGTHS(X, 3) QUILL_LITERAL_LENGTHS(X, 4)

#define QUILL_ENGINE_OP_ENUM(name) eop_##name,
enum EngineOp : uint8_t {
  QUILL_ENGINE_OPS(QUILL_ENGINE_OP_ENUM) eop_literal,  // the first literal form
  eop_count = eop_literal + kLiteralLengths * (kMostPushes + 1),
};
#undef QUILL_ENGINE_OP_ENUM
static_assert(eop_decode == 0 && kLiteralLengths == 10 && kMostPushes == 4, "QUILL_LITERAL_FORMS lists every form");

// The op of a literal of `length` trytes (1..10) followed by `pushes` pushes (0..4).
[[nodiscard]] constexpr uint8_t literal_op(unsigned length, unsigned pushes) {
  return static_cast<uint8_t>(eop_literal + kLiteralLengths * pushes + (length - 1));
}

// How an entry names an operand stack: the byte offset of its ValueStack in a
// frame's stacks.
[[nodiscard]] constexpr uint16_t stack_ref(unsigned number) {
  return static_cast<uint16_t>(number * sizeof(ValueStack));
}

struct DecodedEntry {
  uint8_t op = eop_decode;
  uint8_t length = 0;      // trytes of the first instruction
  uint8_t advance = 0;     // trytes of all the instructions of the entry
  uint8_t pushes = 0;      // pushes fused into the entry
  uint16_t stack[7] = {};  // operand stacks in instruction order, as stack_ref
  // What a "=" call or a "." went to last time, so the next time it goes there
  // its entry is at hand without a lookup: that address plus one (0: nothing yet;
  // addresses from 2^32 - 1 on are not kept) and, in `destination`, its entry.
  // Entries are never moved or freed while their table lives, and an entry always
  // stands for its own address, so a kept pointer stays right.
  uint32_t went_to = 0;
  union {
    int64_t value = 0;          // a literal's value; for a "~", its last distance that stayed in its page
    DecodedEntry* destination;  // for a "=" or a ".", the entry of went_to - 1
  };
};
static_assert(sizeof(DecodedEntry) == 32);

[[nodiscard]] constexpr DecodedEntry slow_entry() {
  DecodedEntry entry{};
  entry.op = eop_slow;
  return entry;
}

inline constexpr int kPageBits = 12;
inline constexpr uint64_t kPageTrytes = uint64_t{1} << kPageBits;
inline constexpr uint64_t kPageMask = kPageTrytes - 1;
// Trytes one entry can depend on: a ten-tryte literal and the four pushes fused to it.
inline constexpr uint64_t kMaxSpan = 18;
// Entries after each page's last one, all eop_cross: falling through from the end
// of a page advances at most kMaxSpan entries, so it lands on one of these.
inline constexpr uint64_t kPadEntries = 24;
// Pages beyond this many bytes are not allocated; their code runs one machine_step
// at a time. Keeps the table bounded whatever a program executes.
inline constexpr uint64_t kTablePageBytesLimit = uint64_t{64} << 20;

struct DecodedTable {
  const uint8_t* memory = nullptr;  // the memory and size the entries were decoded from
  uint64_t size = 0;
  DecodedEntry** pages = nullptr;  // page_count pointers, null until first execution
  uint64_t page_count = 0;
  uint64_t page_bytes = 0;  // bytes of the pages allocated so far
  uint64_t directory_bytes = 0;
  DecodedEntry outside = slow_entry();  // stands for every address with no entry
  // The stop set: addresses in ascending order, each decoded as eop_stop and
  // never inside a fused entry that starts before it.
  uint64_t* stops = nullptr;
  uint64_t stop_count = 0, stop_capacity = 0;
  bool ended_at_stop = false;  // the last run ended before a stop
};

// A table for `size` trytes at `memory` with no page yet; nullptr when out of memory.
[[nodiscard]] DecodedTable* decoded_table_create(const uint8_t* memory, uint64_t size);

// Frees the table and its pages; nullptr is ignored.
void decoded_table_free(DecodedTable* table);

// The entry for `address`, allocating its page on first use; &table.outside when
// the address is at or beyond the end of memory or the page cannot be allocated.
[[nodiscard]] DecodedEntry* decoded_entry_slow(DecodedTable& table, uint64_t address);

[[nodiscard]] inline DecodedEntry* decoded_entry(DecodedTable& table, uint64_t address) {
  if (address < table.size) {
    if (DecodedEntry* page = table.pages[address >> kPageBits]) return page + (address & kPageMask);
  }
  return decoded_entry_slow(table, address);
}

// Clears every entry that depends on a tryte in first .. first + count - 1.
void decoded_table_invalidate(DecodedTable& table, uint64_t first, uint64_t count);

// decoded_table_invalidate for a short write (count <= kPageTrytes - kMaxSpan) that
// lies inside memory, skipping the call when no page around it holds entries.
inline void decoded_table_note_write(DecodedTable& table, uint64_t first, uint64_t count) {
  const uint64_t start = first >= kMaxSpan - 1 ? first - (kMaxSpan - 1) : 0;
  if (table.pages[start >> kPageBits] == nullptr && table.pages[(first + count - 1) >> kPageBits] == nullptr) return;
  decoded_table_invalidate(table, first, count);
}

// Adds `address` (< size) to the stop set or takes it out, clearing the entries
// that must be decoded again. False, changing nothing, when the address lies
// outside memory or the set cannot grow.
[[nodiscard]] bool decoded_table_set_stop(DecodedTable& table, uint64_t address, bool on);

// Empties the stop set, clearing the entries of its addresses.
void decoded_table_clear_stops(DecodedTable& table);

// Whether `address` is in the stop set.
[[nodiscard]] bool decoded_table_is_stop(const DecodedTable& table, uint64_t address);

// The first stop after `address`, or UINT64_MAX when there is none: an entry
// starting at `address` fuses no instruction that starts there or beyond.
[[nodiscard]] uint64_t decoded_table_next_stop(const DecodedTable& table, uint64_t address);

// Bytes the table holds now: directory and pages (it only grows until freed).
[[nodiscard]] inline uint64_t decoded_table_bytes(const DecodedTable& table) {
  return sizeof(DecodedTable) + table.directory_bytes + table.page_bytes;
}

}  // namespace quill
