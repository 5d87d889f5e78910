// Places every statement of a parsed program: repeats layout passes until every
// address and literal size is stable, then builds the image, labels and listing.
#pragma once

#include <vector>

#include "tools/asm/assembler.h"
#include "tools/asm/expression.h"
#include "tools/asm/source_model.h"

namespace quill::as {

// Lays out `program` from `options.origin`. Problems go to `errors`; `result`'s
// image, labels, listing and placements are filled only when there are none.
void lay_out_program(const SourceProgram& program, const AsmOptions& options, AsmResult& result,
                     std::vector<Diagnostic>& errors);

}  // namespace quill::as
