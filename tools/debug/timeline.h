// Going back in time: a journal of what each step of a machine overwrote, so that
// the steps can be undone one by one, exactly.
//
// timeline_step runs machine_step and appends one record of the old values the
// step replaced: pc, acc, status, depth, the stack counts it changed, the value a
// push wrote over, the frame a call emptied and the trytes a store wrote over.
// Records are varint-coded deltas, about 9 bytes an instruction on the benchmark
// loops and 15 on a store-heavy one, so the 10-million-step window takes 85 to
// 150 MB. They are kept in 1 MB blocks that are forgotten, oldest first, once the
// rest still hold `window` steps or the bytes pass `byte_limit`. The engine is untouched: what a step
// will overwrite is worked out from the instruction at pc before it runs.
//
// A host call writes memory through its host, not the step: the host must call
// timeline_note_write before each such write (from inside the hook) so that the
// trytes it replaces are kept too. Whatever else a host call brings in (keys,
// clock values) is not machine state and is not recorded here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "cpu/machine.h"

namespace quill {

struct TimelineBlock {
  std::vector<uint8_t> bytes;  // whole records, each ending in its length
  size_t used = 0;
  uint64_t records = 0;
};

struct TimelinePiece {  // trytes to put back while undoing a step
  const uint8_t* bytes;
  uint64_t first, count;
};

struct Timeline {
  uint64_t window = 10'000'000;        // steps kept at least, when the bytes allow
  uint64_t byte_limit = 240ull << 20;  // bytes of records kept at most
  std::deque<TimelineBlock> blocks;    // oldest first
  std::vector<uint8_t> spare;          // a forgotten block's bytes, for the next block
  uint64_t records = 0;                // steps that can be undone
  uint64_t bytes = 0;                  // bytes of those records
  std::vector<uint8_t> record;         // the record being built
  std::vector<uint8_t> notes;          // trytes a host call is about to overwrite, during a step
  std::vector<TimelinePiece> pieces;   // while undoing a step
  bool stepping = false;
};

// Executes one instruction as machine_step does and records what it overwrote.
// Returns machine_step's status.
uint32_t timeline_step(Timeline& timeline, Machine& machine);

// From a host hook inside timeline_step: `count` trytes from `first` are about to
// be written. Ranges beyond the memory are cut; outside a step it does nothing.
void timeline_note_write(Timeline& timeline, const Machine& machine, uint64_t first, uint64_t count);

// Undoes the newest recorded step; false, changing nothing, when none is left.
[[nodiscard]] bool timeline_step_back(Timeline& timeline, Machine& machine);

// Forgets every record (after the machine changed by other means).
void timeline_clear(Timeline& timeline);

}  // namespace quill
