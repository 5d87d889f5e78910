#include "tools/debug/timeline.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "cpu/memory_write.h"
#include "cpu/step.h"

namespace quill {

namespace {

constexpr uint64_t kBlockBytes = uint64_t{4} << 20;
// Steps per machine_run: their stores fill at most a quarter of a block, so a
// block is opened between runs and never during one (a host call's note aside).
constexpr uint64_t kRunSteps = kBlockBytes / (4 * kJournalStepBytes);
constexpr uint64_t kAddressMask = (uint64_t{1} << 56) - 1;
constexpr size_t kSparesKept = 2;
constexpr uint64_t kCheckpointBytes = sizeof(TimelineCheckpoint) + kFrameCount * sizeof(CallFrame);

uint64_t journal_end(const Timeline& t) { return t.blocks.back().start + t.journal.used; }

// Makes room for `bytes` more journal bytes, opening a block when the newest is
// too full; false when no memory is left for one.
bool make_room(Timeline& t, uint64_t bytes) {
  if (t.journal.capacity - t.journal.used >= bytes) return true;
  std::unique_ptr<uint8_t[]> fresh;
  if (t.spares.empty()) {
    fresh.reset(new (std::nothrow) uint8_t[kBlockBytes]);
    if (fresh == nullptr) return false;
  } else {
    fresh = std::move(t.spares.back());
    t.spares.pop_back();
  }
  TimelineBlock block;
  block.start = t.blocks.empty() ? 0 : journal_end(t);
  if (!t.blocks.empty()) t.blocks.back().used = t.journal.used;
  block.bytes = std::move(fresh);
  t.journal = WriteJournal{block.bytes.get(), 0, kBlockBytes};
  t.blocks.push_back(std::move(block));
  return true;
}

// make_room, or else the record is given up: the machine runs on unjournaled.
bool room_or_break(Timeline& t, Machine& m, uint64_t bytes) {
  if (make_room(t, bytes)) return true;
  t.broken = true;
  m.journal = nullptr;
  return false;
}

void retire_block(Timeline& t, std::unique_ptr<uint8_t[]> bytes) {
  if (t.spares.size() < kSparesKept) t.spares.push_back(std::move(bytes));
}

void take_checkpoint(Timeline& t, const Machine& m) {
  TimelineCheckpoint c;
  c.position = timeline_position(m);
  c.journal = journal_end(t);
  c.call = t.first_call + t.calls.size();
  c.pc = m.pc;
  c.executed = m.executed;
  c.acc = m.acc;
  c.depth = m.depth;
  c.frames.assign(m.frames, m.frames + kFrameCount);
  t.checkpoints.push_back(std::move(c));
}

void drop_oldest_call(Timeline& t) {
  const uint64_t n = t.calls.front().written_bytes;
  t.written.erase(t.written.begin(), t.written.begin() + static_cast<std::ptrdiff_t>(n));
  t.first_written += n;
  t.calls.pop_front();
  t.first_call += 1;
}

// Forgets the oldest checkpoints while the newer ones still hold the window, or
// while the record is over its bytes, with the calls and blocks before them.
void forget_old(Timeline& t, uint64_t now) {
  while (t.checkpoints.size() > 1 &&
         (now - t.checkpoints[1].position >= t.window || timeline_bytes(t) > t.byte_limit)) {
    t.checkpoints.pop_front();
    const TimelineCheckpoint& oldest = t.checkpoints.front();
    while (!t.calls.empty() && t.calls.front().position < oldest.position) drop_oldest_call(t);
    while (t.blocks.size() > 1 && t.blocks[1].start <= oldest.journal) {
      retire_block(t, std::move(t.blocks.front().bytes));
      t.blocks.pop_front();
    }
  }
}

uint64_t read_word(const std::deque<uint8_t>& bytes, uint64_t at) {
  uint64_t word = 0;
  for (int i = 0; i < 8; ++i) word |= uint64_t{bytes[at + static_cast<uint64_t>(i)]} << (8 * i);
  return word;
}

void put_word(std::deque<uint8_t>& bytes, uint64_t word) {
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
}

// Journals `count` trytes from `first` (inside memory), in entries of at most
// kJournalEntryTrytes.
void journal_range(Timeline& t, Machine& m, uint64_t first, uint64_t count) {
  while (count > 0) {
    const uint64_t piece = std::min(count, kJournalEntryTrytes);
    if (!room_or_break(t, m, 3 * piece + kJournalHeaderBytes)) return;
    journal_append(t.journal, m.memory, first, piece);
    first += piece;
    count -= piece;
  }
}

// The host hook while replaying: the recorded call's writes, yield and result.
int32_t replay_hook(void* context, int64_t /*call*/, int64_t /*argument*/, int64_t* result) {
  auto& t = *static_cast<Timeline*>(context);
  Machine& m = *t.replaying;
  const uint64_t k = t.replay_call - t.first_call;
  if (k >= t.calls.size() || t.calls[k].position != timeline_position(m)) return 0;  // never: runs are deterministic
  const TimelineCall& c = t.calls[k];
  t.replay_call += 1;
  for (uint64_t at = c.written - t.first_written, end = at + c.written_bytes; at < end;) {
    const uint64_t first = read_word(t.written, at), count = read_word(t.written, at + 8);
    at += 16;
    if (m.journal != nullptr) journal_range(t, m, first, count);
    std::copy(t.written.begin() + static_cast<std::ptrdiff_t>(at),
              t.written.begin() + static_cast<std::ptrdiff_t>(at + 3 * count), m.memory + 3 * first);
    machine_memory_changed(m, first, count);
    at += 3 * count;
  }
  if (c.yielded) m.status = status_budget_reached;
  *result = c.result;
  return c.ok;
}

// Puts memory back as it stood at journal offset `offset`, newest entry first.
void undo_journal(Timeline& t, Machine& m, uint64_t offset) {
  for (;;) {
    TimelineBlock& block = t.blocks.back();
    uint64_t used = t.journal.used;
    const uint64_t stop = offset > block.start ? offset - block.start : 0;
    while (used > stop) {
      uint64_t header = 0;
      std::memcpy(&header, block.bytes.get() + used - kJournalHeaderBytes, kJournalHeaderBytes);
      const uint64_t count = header >> 56, first = header & kAddressMask;
      used -= kJournalHeaderBytes + 3 * count;
      std::memcpy(m.memory + 3 * first, block.bytes.get() + used, 3 * count);
      machine_memory_changed(m, first, count);
    }
    t.journal.used = used;
    if (offset >= block.start || t.blocks.size() == 1) return;
    retire_block(t, std::move(block.bytes));
    t.blocks.pop_back();
    t.journal = WriteJournal{t.blocks.back().bytes.get(), t.blocks.back().used, kBlockBytes};
  }
}

size_t checkpoint_at_or_before(const Timeline& t, uint64_t position) {
  const auto after = std::upper_bound(t.checkpoints.begin(), t.checkpoints.end(), position,
                                      [](uint64_t p, const TimelineCheckpoint& c) { return p < c.position; });
  return static_cast<size_t>(after - t.checkpoints.begin()) - 1;
}

// Memory, registers and frames as at checkpoint `index`; its calls come next.
void rewind(Timeline& t, Machine& m, size_t index) {
  const TimelineCheckpoint& c = t.checkpoints[index];
  undo_journal(t, m, c.journal);
  m.pc = c.pc;
  m.executed = c.executed;
  m.acc = c.acc;
  m.depth = c.depth;
  m.status = status_ready;
  std::copy(c.frames.begin(), c.frames.end(), m.frames);
  t.replay_call = c.call;
}

// Between begin_replay and end_replay host calls come from the record.
struct SavedHook {
  HostHook hook;
  void* context;
};
SavedHook begin_replay(Timeline& t, Machine& m) {
  const SavedHook saved{m.host_hook, m.host_context};
  m.host_hook = replay_hook;
  m.host_context = &t;
  t.replaying = &m;
  return saved;
}
void end_replay(Timeline& t, Machine& m, const SavedHook& saved) {
  m.host_hook = saved.hook;
  m.host_context = saved.context;
  t.replaying = nullptr;
  m.status = status_ready;
}

// Runs on to `target` (a recorded position ahead) with the engine.
void replay_to(Timeline& t, Machine& m, uint64_t target) {
  for (uint64_t at = timeline_position(m); at < target && !machine_stopped(m); at = timeline_position(m)) {
    const uint64_t steps = std::min(target - at, kRunSteps);
    if (m.journal != nullptr) (void)room_or_break(t, m, steps * kJournalStepBytes);
    if (machine_run(m, steps) == status_budget_reached) m.status = status_ready;
  }
}

// Forgets what came after `position`, where the machine now stands.
void truncate(Timeline& t, uint64_t position) {
  while (t.checkpoints.back().position > position) t.checkpoints.pop_back();
  while (!t.calls.empty() && t.calls.back().position >= position) {
    t.written.resize(t.written.size() - t.calls.back().written_bytes);
    t.calls.pop_back();
  }
}

// After a run or a replay: a record that lost its journal is given up.
void settle(Timeline& t, Machine& m) {
  if (t.broken) timeline_clear(t, m);
}

// Goes to `position` from the checkpoint before it, ends the replay and forgets what came after.
void arrive(Timeline& t, Machine& m, const SavedHook& saved, uint64_t position) {
  rewind(t, m, checkpoint_at_or_before(t, position));
  replay_to(t, m, position);
  end_replay(t, m, saved);
  truncate(t, position);
  settle(t, m);
}

// The newest position in lo .. hi - 1 where the probe holds, going from lo (where
// the machine stands) one instruction at a time, or from stop to stop when the
// probe holds only at stops; none when it holds nowhere.
constexpr uint64_t kNone = UINT64_MAX;
uint64_t scan(Timeline& t, Machine& m, uint64_t lo, uint64_t hi, const TimelineProbe& probe) {
  uint64_t found = kNone;
  bool wrote = true;
  for (uint64_t p = lo; !machine_stopped(m); p = timeline_position(m)) {
    if (probe.holds(probe.context, m, wrote)) found = p;
    if (p + 1 >= hi) break;
    const uint64_t before = journal_end(t);
    const uint64_t steps = probe.at_stops ? std::min(hi - 1 - p, kRunSteps) : 1;
    if (m.journal != nullptr) (void)room_or_break(t, m, steps * kJournalStepBytes);
    if ((steps == 1 ? machine_step(m) : machine_run(m, steps)) == status_budget_reached) m.status = status_ready;
    wrote = m.journal == nullptr || journal_end(t) != before;
  }
  return found;
}

}  // namespace

bool timeline_start(Timeline& t, Machine& m) {
  timeline_clear(t, m);
  if (!make_room(t, kBlockBytes)) return false;
  t.on = true;
  m.journal = &t.journal;
  take_checkpoint(t, m);
  return true;
}

void timeline_clear(Timeline& t, Machine& m) {
  if (m.journal == &t.journal) m.journal = nullptr;
  t.on = false;
  t.broken = false;
  t.in_call = false;
  t.journal = WriteJournal{};
  t.blocks.clear();
  t.spares.clear();
  t.checkpoints.clear();
  t.calls.clear();
  t.written.clear();
  t.first_call = 0;
  t.first_written = 0;
}

uint32_t timeline_run(Timeline& t, Machine& m, uint64_t max_steps) {
  t.yielded = false;
  if (!t.on || max_steps == 0 || machine_stopped(m)) return machine_run(m, max_steps);
  const uint64_t at = timeline_position(m);
  if (at - t.checkpoints.back().position >= t.interval) {
    take_checkpoint(t, m);
    forget_old(t, at);
  }
  const uint64_t steps = std::min({max_steps, t.checkpoints.back().position + t.interval - at, kRunSteps});
  if (!room_or_break(t, m, steps * kJournalStepBytes)) {  // out of memory: the record is given up
    settle(t, m);
    return machine_run(m, steps);
  }
  const uint32_t status = machine_run(m, steps);
  settle(t, m);
  if (t.on) forget_old(t, timeline_position(m));
  return status;
}

void timeline_call_begin(Timeline& t) {
  t.in_call = t.on && !t.broken;
  t.call_ranges.clear();
}

void timeline_note_write(Timeline& t, Machine& m, uint64_t first, uint64_t count) {
  if (!t.in_call || count == 0 || first >= m.size) return;
  count = std::min(count, m.size - first);
  journal_range(t, m, first, count);
  t.call_ranges.push_back(first);
  t.call_ranges.push_back(count);
}

void timeline_call_end(Timeline& t, Machine& m, int32_t ok, int64_t result) {
  if (!t.in_call) return;
  t.in_call = false;
  TimelineCall c;
  c.position = timeline_position(m);
  c.written = t.first_written + t.written.size();
  for (size_t i = 0; i < t.call_ranges.size(); i += 2) {
    const uint64_t first = t.call_ranges[i], count = t.call_ranges[i + 1];
    put_word(t.written, first);
    put_word(t.written, count);
    t.written.insert(t.written.end(), m.memory + 3 * first, m.memory + 3 * (first + count));
  }
  c.written_bytes = t.first_written + t.written.size() - c.written;
  c.result = result;
  c.ok = ok;
  c.yielded = m.status == status_budget_reached;
  t.yielded = t.yielded || c.yielded;
  t.calls.push_back(c);
}

uint64_t timeline_oldest(const Timeline& t, const Machine& m) {
  return t.on ? t.checkpoints.front().position : timeline_position(m);
}

uint64_t timeline_bytes(const Timeline& t) {
  if (!t.on) return 0;
  return journal_end(t) - t.blocks.front().start + t.checkpoints.size() * kCheckpointBytes +
         t.calls.size() * sizeof(TimelineCall) + t.written.size();
}

bool timeline_seek(Timeline& t, Machine& m, uint64_t position) {
  if (!t.on || position < timeline_oldest(t, m) || position > timeline_position(m)) return false;
  if (position == timeline_position(m)) return true;
  arrive(t, m, begin_replay(t, m), position);
  return true;
}

uint64_t timeline_back_to(Timeline& t, Machine& m, uint64_t lowest, const TimelineProbe& probe,
                          const std::atomic<int32_t>& cancel) {
  const uint64_t now = timeline_position(m);
  lowest = std::max(lowest, timeline_oldest(t, m));
  if (!t.on || lowest >= now) return now;
  const SavedHook saved = begin_replay(t, m);
  uint64_t hi = now, target = lowest;
  for (size_t i = checkpoint_at_or_before(t, now - 1);; --i) {
    const uint64_t lo = std::max(t.checkpoints[i].position, lowest);
    rewind(t, m, i);
    replay_to(t, m, lo);
    const uint64_t found = scan(t, m, lo, hi, probe);
    if (t.broken) {  // the journal no longer covers the way back: stay here
      end_replay(t, m, saved);
      settle(t, m);
      return timeline_position(m);
    }
    if (found != kNone || lo == lowest || cancel.load(std::memory_order_relaxed) != 0) {
      target = found != kNone ? found : lo;
      break;
    }
    hi = lo;
  }
  arrive(t, m, saved, target);
  return target;
}

}  // namespace quill
