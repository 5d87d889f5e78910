// Assembling small sources in tests, and running what they assemble to.
#pragma once

#include <string>

#include "codec/tryte.h"
#include "cpu/step.h"
#include "support/test_memory.h"
#include "tools/asm/assembler.h"

namespace quill::test {

// Assembles `text` (as the file "test.tasm") with code starting at `origin`.
inline AsmResult assemble(const std::string& text, uint64_t origin = 0) {
  AsmOptions options;
  options.origin = origin;
  AsmResult result;
  (void)assemble_text("test.tasm", text, options, result);
  return result;
}

// The symbols a source assembles to, from its first placed tryte; "ERROR: ..."
// with the first message when it does not assemble.
inline std::string symbols_of(const std::string& text) {
  const AsmResult r = assemble(text);
  if (!r.errors.empty()) return "ERROR: " + format_error(r.errors[0]);
  std::string out;
  for (size_t i = r.first_address; i < r.image.size(); ++i) out += kSymbolAlphabet[r.image[i]];
  return out;
}

// The first error of a source that must not assemble, without the file name.
inline std::string first_error(const std::string& text) {
  const AsmResult r = assemble(text);
  if (r.errors.empty()) return "(no error)";
  const AsmError& e = r.errors[0];
  return e.line == 0 ? e.message : std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message;
}

// A machine that ran an assembled program from address 0.
struct AssembledRun {
  TestMemory memory{4000};
  Machine machine{};
  bool assembled = false;
  ReleaseAtExit release{machine};
};

inline void run_assembled(AssembledRun& run, const std::string& text, uint64_t max_steps = 10'000) {
  const AsmResult r = assemble(text);
  run.assembled = r.errors.empty() && r.image.size() <= run.memory.size;
  if (!run.assembled) return;
  for (size_t i = 0; i < r.image.size(); ++i) put_tryte(run.memory.data(), i, r.image[i]);
  machine_reset(run.machine, run.memory.data(), run.memory.size);
  (void)machine_run(run.machine, max_steps);
}

}  // namespace quill::test
