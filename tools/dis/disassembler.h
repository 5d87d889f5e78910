// The disassembler: trytes in, assembly source out, such that assembling the
// source places exactly the same trytes at the same addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/asm/assembler.h"
#include "tools/map/source_map.h"

namespace quill {

struct DisOptions {
  uint64_t from = 0;               // first address to disassemble
  uint64_t count = UINT64_MAX;     // trytes to disassemble (cut at the end of memory)
  std::vector<AsmLabel> labels;    // names for addresses, from a symbol file or a source map
  const SourceMap* map = nullptr;  // when set, each line's comment names its source line
  uint64_t zero_run = 4;           // runs of at least this many zero trytes become .zero
};

// Disassembles `count` trytes from `from` of `memory` (trit bytes, `size` trytes)
// into `out`. An instruction never reaches past the range or across a labelled
// address; trytes that do not decode as one become .raw lines. False, with `error`
// set, when `from` is beyond the memory or a tryte holds a byte that is not a trit
// (no source can write it).
[[nodiscard]] bool disassemble(const uint8_t* memory, uint64_t size, const DisOptions& options, std::string& out,
                               std::string& error);

// The instruction at `address` as source ("lit 5", "cmp 1 2 3 4") into `text`,
// with its length in trytes; false when the trytes there do not decode as one.
[[nodiscard]] bool disassemble_instruction(const uint8_t* memory, uint64_t size, uint64_t address, std::string& text,
                                           uint64_t& length);

// The first address at or after `from` whose tryte is not the zero tryte; `size` when none is.
[[nodiscard]] uint64_t first_nonzero_tryte(const uint8_t* memory, uint64_t size, uint64_t from);

// A machine value as the disassembler, the trace and `quill run` write it: "nil"
// or the decimal number.
[[nodiscard]] std::string value_text(int64_t value);

}  // namespace quill
