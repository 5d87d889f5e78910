#include "tools/debug/timeline.h"

#include <algorithm>
#include <cstring>

#include "codec/tryte.h"
#include "cpu/memory_write.h"
#include "cpu/opcode.h"
#include "cpu/step.h"

namespace quill {

namespace {

constexpr size_t kBlockBytes = size_t{1} << 20;
constexpr uint64_t kMaxStoreTrytes = 8;  // the longest packed value "=" stores

// The record's first byte: which optional parts follow.
enum : uint8_t {
  kExecuted = 1,    // the step completed: executed grew by one
  kAccSame = 2,     // acc did not change (no acc delta follows)
  kStatus = 4,      // the old status byte follows (it was not 0)
  kDepthUp = 8,     // a call: the emptied frame's old counts and return address follow
  kDepthDown = 16,  // a return
  kPushed = 32,     // a push: the stack and the value it wrote over follow
  kMemory = 64,     // trytes written over follow
};

void put_varint(std::vector<uint8_t>& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<uint8_t>(v));
}

uint64_t get_varint(const uint8_t*& p) {
  uint64_t v = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t b = *p++;
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (b < 0x80) return v;
  }
}

// Differences of 64-bit registers, wrapping, folded so that small ones of either
// sign take one byte.
uint64_t zigzag(uint64_t difference) {
  const auto d = static_cast<int64_t>(difference);
  return (difference << 1) ^ static_cast<uint64_t>(d >> 63);
}
uint64_t unzigzag(uint64_t v) { return (v >> 1) ^ (~(v & 1) + 1); }

// Appends the old bytes of `count` trytes from `first`: address, count, 3 bytes each.
void put_trytes(std::vector<uint8_t>& out, const Machine& m, uint64_t first, uint64_t count) {
  put_varint(out, first);
  put_varint(out, count);
  out.insert(out.end(), m.memory + 3 * first, m.memory + 3 * (first + count));
}

// What the instruction at pc may overwrite besides pc, acc and status, found
// before it runs: the counts of the stacks it names, the slot a push fills, the
// frame a call empties and the trytes a store may write.
struct Before {
  uint64_t pc = 0, executed = 0;
  int64_t acc = 0;
  uint32_t depth = 0, status = 0;
  OpKind kind = op_invalid;
  int operands = 0;  // stacks named, when they all decode
  uint8_t stacks[4] = {};
  uint8_t counts[4] = {};
  bool push = false;        // a push whose stack decoded (kept apart from kind and
                            // operands so that it is read as it was written)
  int64_t pushed_over = 0;  // the slot a push writes, when the stack has room
  uint8_t callee_counts[kStackCount] = {};
  uint64_t callee_return = 0;
  uint64_t store_at = 0, store_count = 0;
};

void look_ahead(const Machine& m, Before& b) {
  b.pc = m.pc;
  b.executed = m.executed;
  b.acc = m.acc;
  b.depth = m.depth;
  b.status = m.status;
  b.operands = 0;
  b.store_count = 0;
  if (m.pc >= m.size) return;
  b.kind = op_kind(tryte_value_at(m.memory, m.pc));
  const int n = operand_count(b.kind);
  if (n == 0 || m.size - (m.pc + 1) < static_cast<uint64_t>(n)) return;
  const ValueStack* stacks = m.frames[m.depth].stacks;
  for (int i = 0; i < n; ++i) {
    b.stacks[i] = digit_value(tryte_value_at(m.memory, m.pc + 1 + static_cast<uint64_t>(i)));
    if (b.stacks[i] == kNoDigit) return;
    b.counts[i] = stacks[b.stacks[i]].count;
  }
  b.operands = n;
  b.push = b.kind == op_push;
  const ValueStack& first = stacks[b.stacks[0]];
  if (b.kind == op_push && first.count < kStackCapacity) b.pushed_over = first.values[first.count];
  if (b.kind != op_call) return;
  if (m.depth < kMaxDepth) {
    const CallFrame& callee = m.frames[m.depth + 1];
    for (int s = 0; s < kStackCount; ++s) b.callee_counts[s] = callee.stacks[s].count;
    b.callee_return = callee.return_address;
  }
  // "=" stores at acc when its target (the top of the first stack) is NIL.
  const int64_t target = first.count ? first.values[first.count - 1] : NIL;
  if (target == NIL && m.acc >= 0 && static_cast<uint64_t>(m.acc) < m.size) {
    b.store_at = static_cast<uint64_t>(m.acc);
    b.store_count = std::min(kMaxStoreTrytes, m.size - b.store_at);
  }
}

void build_record(Timeline& t, const Machine& m, const Before& b, const uint8_t* store) {
  std::vector<uint8_t>& r = t.record;
  r.clear();
  uint8_t flags = 0;
  if (m.executed != b.executed) flags |= kExecuted;
  if (m.acc == b.acc) flags |= kAccSame;
  if (b.status != 0) flags |= kStatus;
  if (m.depth > b.depth) flags |= kDepthUp;
  if (m.depth < b.depth) flags |= kDepthDown;
  const ValueStack* stacks = m.frames[b.depth].stacks;
  const bool pushed = b.push && stacks[b.stacks[0]].count == b.counts[0] + 1;
  if (pushed) flags |= kPushed;
  const bool stored = b.store_count > 0 && std::memcmp(store, m.memory + 3 * b.store_at, 3 * b.store_count) != 0;
  if (stored || !t.notes.empty()) flags |= kMemory;
  r.push_back(flags);
  put_varint(r, zigzag(b.pc - m.pc));
  if (!(flags & kAccSame)) put_varint(r, zigzag(static_cast<uint64_t>(b.acc) - static_cast<uint64_t>(m.acc)));
  if (flags & kStatus) r.push_back(static_cast<uint8_t>(b.status));
  // The old counts of the stacks named; a stack named twice is kept twice, alike.
  r.push_back(static_cast<uint8_t>(b.operands));
  for (int i = 0; i < b.operands; ++i) {
    r.push_back(b.stacks[i]);
    r.push_back(b.counts[i]);
  }
  if (pushed) put_varint(r, zigzag(static_cast<uint64_t>(b.pushed_over)));
  if (flags & kMemory) {
    if (stored) {
      put_varint(r, b.store_at);
      put_varint(r, b.store_count);
      r.insert(r.end(), store, store + 3 * b.store_count);
    }
    r.insert(r.end(), t.notes.begin(), t.notes.end());
    put_varint(r, 0);  // a run of no trytes ends the list
    put_varint(r, 0);
  }
}

// The record's length at its end, read backwards: one byte below 255, else 255
// after four bytes.
void put_length(std::vector<uint8_t>& r) {
  const size_t n = r.size();
  if (n < 255) {
    r.push_back(static_cast<uint8_t>(n));
    return;
  }
  for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(n >> (8 * i)));
  r.push_back(255);
}

void forget_oldest(Timeline& t) {
  TimelineBlock& old = t.blocks.front();
  t.records -= old.records;
  t.bytes -= old.used;
  if (old.bytes.size() == kBlockBytes) t.spare = std::move(old.bytes);
  t.blocks.pop_front();
}

void append(Timeline& t) {
  if (t.blocks.empty() || t.blocks.back().bytes.size() - t.blocks.back().used < t.record.size()) {
    TimelineBlock block;
    block.bytes = std::move(t.spare);
    t.spare.clear();
    block.bytes.resize(std::max(kBlockBytes, t.record.size()));
    t.blocks.push_back(std::move(block));
  }
  TimelineBlock& block = t.blocks.back();
  std::memcpy(block.bytes.data() + block.used, t.record.data(), t.record.size());
  block.used += t.record.size();
  block.records += 1;
  t.records += 1;
  t.bytes += t.record.size();
  while (t.blocks.size() > 1 && (t.bytes > t.byte_limit || t.records - t.blocks.front().records >= t.window)) {
    forget_oldest(t);
  }
}

// Puts back the trytes a step wrote over, the last write first: when a host wrote
// the same place twice, the older old value is the one that must stay.
void restore_trytes(Timeline& t, Machine& m, const uint8_t*& p) {
  t.pieces.clear();
  for (;;) {
    const uint64_t first = get_varint(p);
    const uint64_t count = get_varint(p);
    if (count == 0) break;
    t.pieces.push_back({p, first, count});
    p += 3 * count;
  }
  for (auto piece = t.pieces.rbegin(); piece != t.pieces.rend(); ++piece) {
    std::memcpy(m.memory + 3 * piece->first, piece->bytes, 3 * piece->count);
    machine_memory_changed(m, piece->first, piece->count);
  }
}

}  // namespace

uint32_t timeline_step(Timeline& t, Machine& m) {
  Before before;
  look_ahead(m, before);
  uint8_t store[3 * kMaxStoreTrytes];
  std::memcpy(store, m.memory + 3 * before.store_at, 3 * before.store_count);
  t.notes.clear();
  t.stepping = true;
  const uint32_t status = machine_step(m);
  t.stepping = false;
  build_record(t, m, before, store);
  if (m.depth > before.depth) {
    t.record.insert(t.record.end(), before.callee_counts, before.callee_counts + kStackCount);
    put_varint(t.record, before.callee_return);
  }
  put_length(t.record);
  append(t);
  return status;
}

void timeline_note_write(Timeline& t, const Machine& m, uint64_t first, uint64_t count) {
  if (!t.stepping || count == 0 || first >= m.size) return;
  put_trytes(t.notes, m, first, std::min(count, m.size - first));
}

bool timeline_step_back(Timeline& t, Machine& m) {
  if (t.records == 0) return false;
  TimelineBlock& block = t.blocks.back();
  const uint8_t* end = block.bytes.data() + block.used;
  size_t length = end[-1];
  size_t trailer = 1;
  if (length == 255) {
    length = 0;
    for (int i = 0; i < 4; ++i) length |= static_cast<size_t>(end[-5 + i]) << (8 * i);
    trailer = 5;
  }
  const uint8_t* p = end - trailer - length;
  const uint8_t flags = *p++;
  m.pc += unzigzag(get_varint(p));
  if (!(flags & kAccSame)) m.acc = static_cast<int64_t>(static_cast<uint64_t>(m.acc) + unzigzag(get_varint(p)));
  m.status = (flags & kStatus) ? *p++ : uint32_t{status_ready};
  if (flags & kExecuted) m.executed -= 1;
  if (flags & kDepthUp) m.depth -= 1;
  if (flags & kDepthDown) m.depth += 1;
  ValueStack* stacks = m.frames[m.depth].stacks;
  for (uint8_t n = *p++; n > 0; --n, p += 2) stacks[p[0]].count = p[1];
  if (flags & kPushed) {
    ValueStack& s = stacks[p[-2]];  // the one stack a push names, its count restored above
    s.values[s.count] = static_cast<int64_t>(unzigzag(get_varint(p)));
  }
  if (flags & kMemory) restore_trytes(t, m, p);
  if (flags & kDepthUp) {
    CallFrame& callee = m.frames[m.depth + 1];
    for (int s = 0; s < kStackCount; ++s) callee.stacks[s].count = *p++;
    callee.return_address = get_varint(p);
  }
  block.used -= length + trailer;
  block.records -= 1;
  t.records -= 1;
  t.bytes -= length + trailer;
  if (block.records == 0) {
    if (block.bytes.size() == kBlockBytes) t.spare = std::move(block.bytes);
    t.blocks.pop_back();
  }
  return true;
}

void timeline_clear(Timeline& t) {
  t.blocks.clear();
  t.records = 0;
  t.bytes = 0;
}

}  // namespace quill
