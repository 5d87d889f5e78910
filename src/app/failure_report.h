// The line on standard error when a program fails, naming where it stopped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/asm/assembler.h"

namespace quill {

// The statuses of a program that failed (memory end to invalid destination), as
// opposed to one that halted, was stopped or is still running.
[[nodiscard]] bool status_is_failure(uint32_t status);

// The file that `quill asm --symbols` (`extension` ".sym") or `--map` (".map") would
// have written beside the image at `image_path`: the file name's extension replaced
// by `extension` (added when it has none).
[[nodiscard]] std::string path_beside(const std::string& image_path, const char* extension);

// The address as the nearest label at or below it: "label+offset", or "label" at
// the label itself; "" when no label lies at or below it. Labels in any order; of
// several at one address the first named wins.
[[nodiscard]] std::string name_address(const std::vector<AsmLabel>& labels, uint64_t address);

// "quillomar: stopped: <status text> at pc N[ in PLACE] (after M instructions)".
[[nodiscard]] std::string failure_line(uint32_t status, uint64_t pc, uint64_t executed, const std::string& place);

}  // namespace quill
