// The write journal: while a machine has one, every store the processor makes
// (machine_step and machine_run alike) first appends the trytes it is about to
// overwrite, so that whoever keeps the journal can put memory back exactly, the
// newest entry first. It costs a test of one pointer on the store paths and
// nothing on any other instruction. Host services that write memory are noted by
// their host (HostState::note_write), which may append to the same journal.
#pragma once

#include <cstdint>
#include <cstring>

namespace quill {

// An entry is the old trit bytes of `count` trytes followed by 8 bytes holding the
// first tryte's address (low 56 bits) and the count (high 8), so entries are read
// from the end going back.
struct WriteJournal {
  uint8_t* data = nullptr;  // owned by whoever keeps the journal
  uint64_t used = 0;        // bytes of whole entries
  uint64_t capacity = 0;
};

inline constexpr uint64_t kJournalHeaderBytes = 8;
inline constexpr uint64_t kJournalStoreTrytes = 8;    // the most one store writes
inline constexpr uint64_t kJournalEntryTrytes = 255;  // the most one entry holds
// Whoever gives a machine a journal keeps this many bytes free for each
// instruction of a run or a step: a store appends at most one such entry.
inline constexpr uint64_t kJournalStepBytes = 3 * kJournalStoreTrytes + kJournalHeaderBytes;

// Before a store at `address`: copies the trytes there that a store may write and
// that lie inside memory past the journal's end, not yet counted.
inline void journal_keep_store(WriteJournal& journal, const uint8_t* memory, uint64_t size, uint64_t address) {
  if (address >= size) return;
  uint8_t* const out = journal.data + journal.used;
  if (size - address >= kJournalStoreTrytes) {
    std::memcpy(out, memory + 3 * address, 3 * kJournalStoreTrytes);  // one fixed-size copy
  } else {
    std::memcpy(out, memory + 3 * address, 3 * (size - address));
  }
}

// After that store wrote `count` trytes (1 .. 8) at `address`: counts the entry.
inline void journal_commit_store(WriteJournal& journal, uint64_t address, uint64_t count) {
  const uint64_t header = address | count << 56;
  std::memcpy(journal.data + journal.used + 3 * count, &header, kJournalHeaderBytes);
  journal.used += 3 * count + kJournalHeaderBytes;
}

// Appends the trytes first .. first + count - 1 (count at most kJournalEntryTrytes,
// all inside memory) as one entry; the caller has made the room.
inline void journal_append(WriteJournal& journal, const uint8_t* memory, uint64_t first, uint64_t count) {
  std::memcpy(journal.data + journal.used, memory + 3 * first, 3 * count);
  journal_commit_store(journal, first, count);
}

}  // namespace quill
