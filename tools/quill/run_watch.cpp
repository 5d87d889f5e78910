#include "tools/quill/run_watch.h"

#include "tools/dis/disassembler.h"
#include "tools/quill/map_option.h"

namespace quill::cli {

namespace {

void flush_pending(RunWatch& watch, const Machine& machine) {
  if (!watch.pending || machine.executed == watch.pending_executed) return;
  const std::string line =
      trace_line(watch.pending_address, watch.pending_text, machine, map_name_suffix(watch.map, watch.pending_address));
  (void)std::fwrite(line.data(), 1, line.size(), watch.trace);
  watch.pending = false;
}

}  // namespace

std::string trace_line(uint64_t address, const std::string& text, const Machine& machine, const std::string& where) {
  std::string line = std::to_string(address);
  line += ": ";
  line += text;
  if (line.size() < 30) line.resize(30, ' ');
  line += " ; acc=";
  line += value_text(machine.acc);
  line += " depth=";
  line += std::to_string(machine.depth);
  if (!where.empty()) line += " ;" + where;
  line += '\n';
  return line;
}

bool run_watch_step(void* context, const Machine& machine) {
  RunWatch& watch = *static_cast<RunWatch*>(context);
  if (watch.trace != nullptr) flush_pending(watch, machine);
  if (watch.break_set && machine.pc == watch.break_address) {
    watch.broke = true;
    return false;
  }
  if (watch.trace != nullptr) {
    uint64_t length = 0;
    if (!disassemble_instruction(machine.memory, machine.size, machine.pc, watch.pending_text, length)) {
      watch.pending_text.assign(1, '?');
    }
    watch.pending = true;
    watch.pending_address = machine.pc;
    watch.pending_executed = machine.executed;
  }
  return true;
}

void run_watch_finish(RunWatch& watch, const Machine& machine) {
  if (watch.trace != nullptr) flush_pending(watch, machine);
}

}  // namespace quill::cli
