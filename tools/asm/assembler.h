// The assembler: source files in, a memory image (TryteValues from address 0) out.
//
// Everything here is plain data and free functions; any thread may call them, and
// nothing is shared between calls.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codec/machine_memory.h"

namespace quill {

struct AsmOptions {
  uint64_t origin = kBootAddress;                        // where code goes before any .org
  std::vector<std::string> include_dirs;                 // searched after the including file's folder
  std::vector<std::pair<std::string, int64_t>> defines;  // constants defined before the source
};

struct AsmError {
  std::string file;  // empty when the problem has no place in a file
  uint32_t line = 0;
  uint32_t column = 0;
  std::string message;
};

// One source line that placed trytes or defined something.
struct ListingLine {
  uint64_t address = 0;
  std::string symbols;  // the trytes it placed, spaced by instruction or datum
  std::string file;
  uint32_t line = 0;
  std::string source;
};

struct AsmLabel {
  std::string name;
  uint64_t address = 0;
};

// One instruction or datum the program placed, and the source place it came from.
// Every instruction a pseudo-instruction becomes has the pseudo-instruction's place;
// each value of a data directive has its own column.
struct AsmPlacement {
  uint64_t address = 0;
  uint32_t length = 0;  // trytes, at least 1
  uint32_t file = 0;    // index into AsmResult::files
  uint32_t line = 0;
  uint32_t column = 0;
  bool data = false;  // placed by a data directive
};

struct AsmResult {
  std::vector<uint8_t> image;    // TryteValues of addresses 0 .. end of the program; gaps hold the zero tryte
  uint64_t first_address = 0;    // lowest address the program placed a tryte at
  std::vector<AsmLabel> labels;  // in address order
  std::vector<ListingLine> listing;
  std::vector<std::string> files;        // the source and its includes, as opened
  std::vector<AsmPlacement> placements;  // in address order
  std::vector<AsmError> errors;          // in source order; the image is empty when there are any
};

// Assembles the file at `path`. True when there were no errors.
[[nodiscard]] bool assemble_file(const std::string& path, const AsmOptions& options, AsmResult& result);

// Assembles `text` as if it were the file `path` (includes are found beside `path`).
[[nodiscard]] bool assemble_text(const std::string& path, const std::string& text, const AsmOptions& options,
                                 AsmResult& result);

// "file:line:column: error: message" (without the place when it has none).
[[nodiscard]] std::string format_error(const AsmError& error);

// The listing: one line per source line, "address  trytes  file:line  source".
[[nodiscard]] std::string format_listing(const AsmResult& result);

// The symbol file: one "address name" line per label, in address order.
[[nodiscard]] std::string format_symbols(const std::vector<AsmLabel>& labels);

// Reads a symbol file written by format_symbols (blank lines and ";" comments are
// skipped). False, with `error` naming the line, when a line does not parse.
[[nodiscard]] bool parse_symbols(const std::string& text, std::vector<AsmLabel>& labels, std::string& error);

}  // namespace quill
