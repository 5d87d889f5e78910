// Turns one statement into the trytes it places in memory: instructions, literals,
// the expansions of the pseudo-instructions, and data.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/asm/expression.h"
#include "tools/asm/source_model.h"

namespace quill::as {

struct ExpandContext {
  const SymbolValues& symbols;
  const NameSet& constants;  // every constant the source defines
  bool report = false;       // the final pass: problems become errors
  std::vector<Diagnostic>* errors = nullptr;
};

struct Expansion {
  std::vector<uint8_t> trytes;   // TryteValues
  std::vector<uint32_t> breaks;  // offsets where each instruction or datum starts
  bool grew = false;             // a literal needed more digits than it had
};

// Builds the trytes of `statement` placed at `address`. `digits` keeps the digit
// count of each literal the statement writes across passes; counts only grow, so
// that repeated layout passes must settle. Undefined symbols count as unknown
// (no growth) unless `context.report`, when they and every other problem are
// appended to `context.errors`.
void expand_statement(const Statement& statement, uint64_t address, std::vector<uint8_t>& digits,
                      const ExpandContext& context, Expansion& out);

}  // namespace quill::as
