// Going back in time: checkpoints, a journal of memory writes and the outcomes of
// host calls, so that any recorded point of a run can be reached again exactly.
//
// timeline_run runs the machine with the fast engine (machine_run) in batches,
// with the machine's write journal on: every store appends the trytes it
// overwrites (cpu/write_journal.h). Every `interval` steps it keeps a checkpoint:
// the registers, every frame and where the journal and the list of host calls
// stood. Every host call made while recording is told to the timeline (through
// the host's hook, timeline_call_begin .. timeline_call_end) with its result, its
// request to yield and the trytes it wrote, which timeline_note_write journals
// like a store's.
//
// Going back to a position undoes the journal down to the checkpoint at or before
// it, puts the checkpoint's registers back and runs forward again to the exact
// step, replaying each host call from its record (no key is taken, no clock read,
// no fetch or core started a second time). What comes after the position is
// forgotten, so running on executes again.
//
// Costs: a checkpoint is about 67 KB, a store's journal entry 11 to 32 bytes (8
// of address and count, 3 a tryte), and going back replays at most `interval`
// steps of the engine (0.3 ms at the default). For 10 million steps that is 2.5
// MB on a loop of calls with no stores and 72 MB on one that stores 8 packed
// values in 29 instructions. Recording runs at 0.65 to 1 times the engine's speed.
//
// Positions count steps: the machine's executed count, plus one once an
// instruction has failed (a failing step executes nothing but ends the run).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "cpu/machine.h"
#include "cpu/write_journal.h"

namespace quill {

struct TimelineBlock {  // journal bytes; the newest block is the one being written
  std::unique_ptr<uint8_t[]> bytes;
  uint64_t start = 0;  // journal offset of its first byte since recording began
  uint64_t used = 0;   // kept up to date for all but the newest (see Timeline::journal)
};

struct TimelineCheckpoint {
  uint64_t position = 0;
  uint64_t journal = 0;  // journal offset at this position
  uint64_t call = 0;     // number of the first host call made at or after it
  uint64_t pc = 0, executed = 0;
  int64_t acc = 0;
  uint32_t depth = 0;
  std::vector<CallFrame> frames;
};

struct TimelineCall {
  uint64_t position = 0;  // of the step that made it
  uint64_t written = 0;   // offset of its writes in Timeline::written: first, count, new trytes
  uint64_t written_bytes = 0;
  int64_t result = 0;
  int32_t ok = 0;
  bool yielded = false;
};

struct Timeline {
  uint64_t window = 10'000'000;        // steps kept at least, when the bytes allow
  uint64_t byte_limit = 240ull << 20;  // bytes kept at most (journal, checkpoints, calls)
  uint64_t interval = 1ull << 18;      // steps between checkpoints
  bool on = false;
  WriteJournal journal;  // the newest block, as the machine writes it
  std::deque<TimelineBlock> blocks;
  std::vector<std::unique_ptr<uint8_t[]>> spares;  // blocks undone or forgotten, for the next ones
  std::deque<TimelineCheckpoint> checkpoints;
  std::deque<TimelineCall> calls;
  uint64_t first_call = 0;      // number of calls.front()
  std::deque<uint8_t> written;  // what the calls wrote
  uint64_t first_written = 0;   // offset of written.front()
  bool yielded = false;         // the last run ended early on a host call's request
  bool broken = false;          // memory for the journal ran out: forget it all when the run ends
  // During a host call being recorded: the ranges it said it would write.
  bool in_call = false;
  std::vector<uint64_t> call_ranges;  // first, count pairs
  // While replaying from a checkpoint.
  Machine* replaying = nullptr;
  uint64_t replay_call = 0;  // number of the next call to replay
};

// The machine's position: steps since it was created (see above).
[[nodiscard]] inline uint64_t timeline_position(const Machine& machine) {
  return machine.executed + (machine.status > status_halted ? 1 : 0);
}

// Forgets everything and starts recording the machine where it stands: it gets
// the journal. False, with recording off, when memory for it cannot be found.
[[nodiscard]] bool timeline_start(Timeline& timeline, Machine& machine);

// Forgets everything, stops recording and takes the journal from the machine.
void timeline_clear(Timeline& timeline, Machine& machine);

// Runs up to `max_steps` instructions as machine_run does, recording them, and
// returns its status. Besides machine_run's early ends (`yielded` is set when a
// host call asked to yield) it ends with status 1 at the next checkpoint and
// after at most 32,768 steps, so that a caller looks at the machine there as
// after any batch. Not recording, it is machine_run.
uint32_t timeline_run(Timeline& timeline, Machine& machine, uint64_t max_steps);

// From the host hook, around each host call made while recording: begin before
// the host acts, note before each memory write it makes (`count` trytes from
// `first`, cut at the end of memory), end with what it returned.
void timeline_call_begin(Timeline& timeline);
void timeline_note_write(Timeline& timeline, Machine& machine, uint64_t first, uint64_t count);
void timeline_call_end(Timeline& timeline, Machine& machine, int32_t ok, int64_t result);

// The oldest position that can be reached again (the machine's own when nothing is recorded).
[[nodiscard]] uint64_t timeline_oldest(const Timeline& timeline, const Machine& machine);

// Bytes the record keeps: journal, checkpoints, host calls and their writes.
[[nodiscard]] uint64_t timeline_bytes(const Timeline& timeline);

// Puts the machine back as it stood at `position` (from the oldest to its own),
// with status ready, and forgets what came after. False, changing nothing, outside.
[[nodiscard]] bool timeline_seek(Timeline& timeline, Machine& machine, uint64_t position);

// A test made at positions going back. `wrote` says memory may differ from the
// position the test saw before (always at the first it sees).
struct TimelineProbe {
  bool (*holds)(void* context, const Machine& machine, bool wrote) = nullptr;
  void* context = nullptr;
  bool at_stops = false;  // it can hold only at the machine's engine stops: the engine runs between them
};

// Goes back to the newest position below the machine's own, and not below
// `lowest` (or the oldest), at which the probe holds; to the lowest when it
// holds at none. Between checkpoints it looks at `cancel` and, when set, stops at
// the checkpoint reached. Returns the position it went to.
uint64_t timeline_back_to(Timeline& timeline, Machine& machine, uint64_t lowest, const TimelineProbe& probe,
                          const std::atomic<int32_t>& cancel);

}  // namespace quill
