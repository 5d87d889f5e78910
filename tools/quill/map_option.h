// The --map FILE that quill dis and quill run take, and the code addresses a user
// may write once a map names them.
#pragma once

#include <cstdint>
#include <string>

#include "tools/map/source_map.h"

namespace quill::cli {

// Reads a source map written by quill asm --map. False with `error` naming the file.
[[nodiscard]] bool read_map_file(const std::string& path, SourceMap& map, std::string& error);

// An address as the user writes it: a number as the assembler reads it (216679,
// 216_679, 0x34E67), or, with a map, one of its labels or FILE:LINE (the first
// instruction that line placed). False with `error` saying why.
[[nodiscard]] bool parse_code_address(const std::string& text, const SourceMap* map, uint64_t& address,
                                      std::string& error);

// " loop+2 (p.tasm:3)": how the map names `address`, after a space; "" without one.
[[nodiscard]] std::string map_name_suffix(const SourceMap* map, uint64_t address);

}  // namespace quill::cli
