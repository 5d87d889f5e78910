// The source map: which source place every placed tryte came from, and every label.
//
// `quill asm --map FILE` writes it as JSON (docs/assembly.md describes the format);
// `quill run`, `quill dis`, `quill debug` and the window's failure line read it to
// name addresses as "label+offset" and "file:line".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/asm/assembler.h"

namespace quill {

// One instruction or one datum: the addresses it occupies and where it was written.
// A pseudo-instruction's expansion is one span per instruction it became, each with
// the pseudo-instruction's place; a line of an included file names that file.
struct SourceSpan {
  uint64_t address = 0;  // first tryte
  uint32_t length = 0;   // trytes, at least 1
  uint32_t file = 0;     // index into SourceMap::files
  uint32_t line = 0;     // 1-based
  uint32_t column = 0;   // 1-based
  bool data = false;     // a data directive rather than an instruction
};

struct SourceMap {
  std::vector<std::string> files;  // as the assembler opened them
  std::vector<AsmLabel> labels;    // in address order
  std::vector<SourceSpan> spans;   // in address order, never overlapping
};

// The map of an assembled program (`result` as assemble_file left it).
[[nodiscard]] bool source_map_from_result(const AsmResult& result, SourceMap& map);

// JSON text and back. Reading checks every field and the order; false with `error`.
[[nodiscard]] std::string source_map_to_json(const SourceMap& map);
[[nodiscard]] bool source_map_from_json(const std::string& text, SourceMap& map, std::string& error);

// The span that holds `address`, or nullptr.
[[nodiscard]] const SourceSpan* source_map_span_at(const SourceMap& map, uint64_t address);

// The first instruction placed by `file:line` (file matched by its full name or its
// last path component). False when no instruction came from that line.
[[nodiscard]] bool source_map_line_address(const SourceMap& map, const std::string& file, uint32_t line,
                                           uint64_t& address);

// "label+offset" (or "label", or "" with no label at or below `address`), then
// " (file:line)" when a span holds it: "draw_cell+4 (programs/lib/cell.tasm:31)";
// without a label the place comes alone, "(programs/lib/cell.tasm:31)".
[[nodiscard]] std::string source_map_name(const SourceMap& map, uint64_t address);

}  // namespace quill
