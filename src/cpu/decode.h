// Turns the instruction at an address into a DecodedEntry for the fast engine.
#pragma once

#include <cstdint>

#include "cpu/decoded_table.h"

namespace quill {

// Decodes the instruction at `address` (< size), fusing it with the one after it
// where a fused handler exists, into `entry`; an instruction starting at `fuse_end`
// or beyond is never fused, so a stop there is reached (UINT64_MAX: no limit).
// Returns false, leaving `entry` alone, when machine_step would fail on it before doing anything (bad tryte, operand or
// literal digit, or trytes running past the end): the engine then lets
// machine_step produce that failure. Reads at most kMaxSpan trytes from `address`.
[[nodiscard]] bool decode_entry(const uint8_t* memory, uint64_t size, uint64_t address, uint64_t fuse_end,
                                DecodedEntry& entry);

}  // namespace quill
