// What `quill run` watches instruction by instruction: the trace file and the
// breakpoint. It is the runner's step hook, so it runs on the runner thread; the
// first thread reads it only after joining the runner.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cpu/machine.h"
#include "tools/map/source_map.h"

namespace quill::cli {

struct RunWatch {
  std::FILE* trace = nullptr;      // one line per executed instruction, or none
  const SourceMap* map = nullptr;  // when set, trace lines name their address
  bool break_set = false;
  uint64_t break_address = 0;
  bool broke = false;  // the run ended at the breakpoint
  // The instruction seen last, printed once the next hook call (or the end) shows it completed.
  bool pending = false;
  uint64_t pending_address = 0;
  uint64_t pending_executed = 0;
  std::string pending_text;
};

// The step hook: traces and checks the breakpoint before each instruction.
bool run_watch_step(void* watch, const Machine& machine);

// Writes the trace line of the last instruction if it completed. After the join.
void run_watch_finish(RunWatch& watch, const Machine& machine);

// "216679: lit 5                ; acc=5 depth=0": the trace line of an instruction at
// `address` whose text is `text`, with the machine's acc and depth after it, then
// `where` (" start (p.tasm:1)", from a source map) when given.
[[nodiscard]] std::string trace_line(uint64_t address, const std::string& text, const Machine& machine,
                                     const std::string& where = "");

}  // namespace quill::cli
