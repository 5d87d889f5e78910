#include "tools/debug/view.h"

#include <algorithm>

#include "codec/charset.h"
#include "codec/literal.h"
#include "codec/packed.h"
#include "codec/tryte.h"
#include "tools/dis/disassembler.h"

namespace quill::debug {
namespace {

std::string named(Session& session, uint64_t address) {
  const std::string name = session_name(session, address);
  return name.empty() ? std::to_string(address) : std::to_string(address) + " " + name;
}

std::string instruction_text(const Session& session, uint64_t address, uint64_t& length) {
  std::string text;
  if (disassemble_instruction(session.host.memory, session.host.size, address, text, length)) return text;
  length = 1;
  const uint8_t tryte = address < session.host.size ? tryte_value_at(session.host.memory, address) : kNoTryte;
  return tryte == kNoTryte ? "(no tryte)" : std::string(".raw \"") + kSymbolAlphabet[tryte] + "\"";
}

// "    12 | source" for the line that placed `address`, or "".
std::string source_text(Session& session, uint64_t address) {
  const SourceSpan* span = source_map_span_at(session.map, address);
  std::string line;
  if (span == nullptr || !session_source_line(session, span->file, span->line, line)) return "";
  return "    " + std::to_string(span->line) + " | " + line + "\n";
}

void append_utf8(std::string& out, char16_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One item of `x` at `address` into `out`, advancing `address`; false at a tryte that does not read.
bool memory_item(const Session& session, MemoryForm form, uint32_t width, uint64_t& address, std::string& out) {
  const uint8_t* memory = session.host.memory;
  const uint64_t size = session.host.size;
  int64_t value = 0;
  switch (form) {
    case MemoryForm::numbers:
      if (read_literal(memory, size, address, value) != literal_ok) return false;
      out += value_text(value);
      return true;
    case MemoryForm::cells:
    case MemoryForm::characters:
      if (!read_cell(memory, size, address, value)) return false;
      address += 10;
      if (form == MemoryForm::cells) {
        out += value_text(value);
      } else if (value >= 0 && value < kCharacterCount) {
        append_utf8(out, character_of_code(static_cast<int>(value)));
      } else {
        out.append("\\").append(value_text(value));
      }
      return true;
    case MemoryForm::packed: {
      if (size - address < width) return false;
      uint64_t digits = 0;
      for (uint32_t k = 0; k < width; ++k) {
        const uint8_t tryte = tryte_value_at(memory, address + k);
        if (tryte == kNoTryte) return false;
        digits = 27 * digits + tryte;
      }
      address += width;
      out += std::to_string(kPackedStart[width] + digits);
      return true;
    }
    case MemoryForm::trytes:
    case MemoryForm::trits: {
      const uint8_t tryte = tryte_value_at(memory, address);
      if (tryte == kNoTryte) return false;
      address += 1;
      if (form == MemoryForm::trytes) {
        out += kSymbolAlphabet[tryte];
      } else {
        out.append(reinterpret_cast<const char*>(memory + 3 * (address - 1)), 3);
      }
      return true;
    }
  }
  return false;
}

}  // namespace

std::string view_location(Session& session, uint64_t address) {
  uint64_t length = 0;
  return named(session, address) + ": " + instruction_text(session, address, length) + "\n" +
         source_text(session, address);
}

std::string view_stop(Session& session, const Stop& stop) {
  const Machine& machine = session_machine(session);
  std::string why;
  switch (stop.reason) {
    case StopReason::done:
      break;
    case StopReason::breakpoint:
      why = "breakpoint " + std::to_string(stop.id) + "\n";
      break;
    case StopReason::watch:
      why = "watch " + std::to_string(stop.id) + ": written by " + named(session, stop.writer) + "\n";
      break;
    case StopReason::paused:
      why = "paused\n";
      break;
    case StopReason::oldest:
      why = "reached the oldest recorded step\n";
      break;
    case StopReason::key_wait:
      why = "the program waits for a key (queue some with `keys`)\n";
      break;
    case StopReason::ended:
      return std::string(status_text(machine.status)) + " after " + std::to_string(machine.executed) +
             " instructions: pc " + named(session, machine.pc) + ", acc " + value_text(machine.acc) + ", depth " +
             std::to_string(machine.depth) + "\n";
  }
  if (stop.kept & kKeptPicture) why += "(the picture is not taken back: it shows what was drawn later)\n";
  if (stop.kept & kKeptCores) why += "(the auxiliary cores and fetches are not taken back)\n";
  return why + view_location(session, machine.pc);
}

std::string view_registers(Session& session) {
  const Machine& machine = session_machine(session);
  return "pc " + named(session, machine.pc) + "\nacc " + value_text(machine.acc) + "\ndepth " +
         std::to_string(machine.depth) + "\nexecuted " + std::to_string(machine.executed) + "\nstatus " +
         status_text(machine.status) + "\n";
}

std::string view_stack(const Machine& machine, uint32_t stack) {
  const ValueStack& s = machine.frames[machine.depth].stacks[stack];
  std::string out = "stack " + std::to_string(stack) + ":";
  if (s.count == 0) return out + " empty\n";
  for (uint8_t k = 0; k < s.count; ++k) out.append(" ").append(value_text(s.values[k]));
  return out + " (top last)\n";
}

std::string view_stacks(const Machine& machine) {
  std::string out;
  for (uint32_t k = 0; k < kStackCount; ++k) {
    if (machine.frames[machine.depth].stacks[k].count != 0) out += view_stack(machine, k);
  }
  return out.empty() ? "every stack of this frame is empty\n" : out;
}

std::string view_backtrace(Session& session) {
  const Machine& machine = session_machine(session);
  std::string out = "#0 " + named(session, machine.pc) + "\n" + source_text(session, machine.pc);
  for (uint32_t d = machine.depth; d > 0; --d) {
    const uint64_t back = machine.frames[d].return_address;
    out.append("#").append(std::to_string(machine.depth - d + 1)).append(" ").append(named(session, back));
    out.append("\n").append(source_text(session, back));
  }
  return out;
}

bool view_memory(Session& session, MemoryForm form, uint32_t width, uint64_t address, uint64_t count, std::string& out,
                 std::string& error) {
  const bool symbols = form == MemoryForm::trytes || form == MemoryForm::trits;
  const uint64_t per_line = symbols ? (form == MemoryForm::trytes ? 20 : 9) : (form == MemoryForm::characters ? 40 : 1);
  std::string text;
  for (uint64_t k = 0; k < count; ++k) {
    if (k % per_line == 0) text.append(k == 0 ? "" : "\n").append(std::to_string(address)).append(": ");
    if (k % per_line != 0 && form == MemoryForm::trits) text += " ";
    if (address >= session.host.size || !memory_item(session, form, width, address, text)) {
      error = "no readable value at " + std::to_string(address);
      return false;
    }
  }
  out += text + "\n";
  return true;
}

bool view_list(Session& session, uint64_t address, uint32_t radius, std::string& out) {
  const SourceSpan* span = source_map_span_at(session.map, address);
  std::string line;
  if (span == nullptr || !session_source_line(session, span->file, span->line, line)) return false;
  const uint32_t first = span->line > radius ? span->line - radius : 1;
  out += session.map.files[span->file] + ":\n";
  for (uint32_t n = first; n <= span->line + radius && session_source_line(session, span->file, n, line); ++n) {
    out += (n == span->line ? "=> " : "   ") + std::to_string(n) + " | " + line + "\n";
  }
  return true;
}

std::string view_disassemble(Session& session, uint64_t address, uint32_t count) {
  const std::vector<SourceSpan>& spans = session.map.spans;
  uint64_t from = address;
  // Instructions have different lengths, so only the map can find the ones before.
  auto at = std::upper_bound(spans.begin(), spans.end(), address,
                             [](uint64_t a, const SourceSpan& s) { return a < s.address; });
  for (uint32_t back = count / 3; back > 0 && at != spans.begin(); --back) {
    --at;
    if (at->address < from && !at->data) from = at->address;
  }
  std::string out;
  const std::vector<AsmLabel>& labels = session.map.labels;
  auto label =
      std::lower_bound(labels.begin(), labels.end(), from, [](const AsmLabel& l, uint64_t a) { return l.address < a; });
  for (uint32_t k = 0; k < count && from < session.host.size; ++k) {
    for (; label != labels.end() && label->address <= from; ++label) {
      if (label->address == from) out += label->name + ":\n";
    }
    uint64_t length = 0;
    const std::string text = instruction_text(session, from, length);
    out += (from == address ? "=> " : "   ") + std::to_string(from) + "  " + text + "\n";
    from += length;
  }
  return out;
}

std::string view_cores(Session& session) {
  static constexpr const char* kStates[] = {"idle", "running", "finished", "failed"};
  HostState& host = session.host.processor->host;
  std::string out;
  LockGuard guard(host.lock);
  for (int k = 0; k < kCoreCount; ++k) {
    const CoreSlot& slot = host.cores[k];
    out += "core " + std::to_string(k) + ": " + kStates[slot.state];
    // A running core's machine belongs to its thread; the state, under the lock, says when it stopped.
    if (slot.state == core_finished || slot.state == core_failed) out += ", pc " + std::to_string(slot.machine.pc);
    out += ", executed " + std::to_string(slot.executed_snapshot);
    if (slot.state == core_finished) out += ", result " + value_text(slot.result);
    out += "\n";
  }
  return out;
}

}  // namespace quill::debug
