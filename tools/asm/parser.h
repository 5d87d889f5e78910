// Reads assembly source (following .include) into a SourceProgram.
#pragma once

#include <string>
#include <vector>

#include "tools/asm/expression.h"
#include "tools/asm/source_model.h"

namespace quill::as {

struct ParseOptions {
  std::vector<std::string> include_dirs;  // searched after the including file's folder
  std::vector<std::string> predefined;    // names defined on the command line
};

// Parses the file at `path`, or `text` as if it were that file when `text` is not
// null. Appends every problem to `errors`; true when there was none.
[[nodiscard]] bool parse_program(const std::string& path, const std::string* text, const ParseOptions& options,
                                 SourceProgram& program, std::vector<Diagnostic>& errors);

}  // namespace quill::as
