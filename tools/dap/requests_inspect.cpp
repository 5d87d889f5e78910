// Looking at the stopped machine: threads, the return stack, registers and
// stacks, memory, disassembly and the evaluate expressions.
#include "codec/tryte.h"
#include "host/host_state.h"
#include "platform/lock.h"
#include "tools/dap/adapter.h"
#include "tools/debug/command.h"
#include "tools/debug/view.h"
#include "tools/dis/disassembler.h"
#include "tools/quill/key_script.h"

namespace quill::dap {
namespace {

// readMemory's limit for one request.
constexpr int64_t kMaxReadBytes = 1 << 20;

// The terminal commands that do not move the machine, which evaluate passes on as
// they are: looking, and turning recording for going back on or off.
constexpr const char* kConsoleCommands[] = {"record", "x",           "print", "p",     "backtrace", "bt",  "list",
                                            "l",      "disassemble", "disas", "cores", "info",      "help"};

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string first_word(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_first_of(" \t", start) - start);
}

// The text after the first word and the blanks that follow it.
std::string after_first_word(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t");
  const size_t gap = start == std::string::npos ? std::string::npos : text.find_first_of(" \t", start);
  const size_t from = gap == std::string::npos ? std::string::npos : text.find_first_not_of(" \t", gap);
  return from == std::string::npos ? "" : text.substr(from);
}

// A stack's number, 0 to 19.
bool stack_number(const std::string& text, uint32_t& stack) {
  if (text.empty() || text.size() > 2) return false;
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  stack = value;
  return value < kStackCount;
}

void place(const debug::Session& session, uint64_t address, json& into) {
  if (const SourceSpan* span = source_map_span_at(session.map, address)) {
    into["source"] = source_of(session, span->file);
    into["line"] = span->line;
    into["column"] = span->column;
  }
}

std::string address_name(const debug::Session& session, uint64_t address) {
  const std::string name = session_name(session, address);
  return name.empty() ? std::to_string(address) : std::to_string(address) + " " + name;
}

std::string base64(const std::string& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t k = 0; k < bytes.size(); k += 3) {
    uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])) << 16;
    if (k + 1 < bytes.size()) group |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[k + 1])) << 8;
    if (k + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[k + 2]);
    out += kDigits[(group >> 18) & 63];
    out += kDigits[(group >> 12) & 63];
    out += k + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
    out += k + 2 < bytes.size() ? kDigits[group & 63] : '=';
  }
  return out;
}

json stack_variable(const Machine& machine, uint32_t depth, uint32_t k) {
  const ValueStack& stack = machine.frames[depth].stacks[k];
  std::string value = "[";
  for (uint8_t n = 0; n < stack.count; ++n) value.append(n == 0 ? "" : ", ").append(value_text(stack.values[n]));
  json v = {{"name", "stack " + std::to_string(k)}, {"value", stack.count == 0 ? "empty" : value + "] (top last)"}};
  v["variablesReference"] = stack.count == 0 ? 0 : kStackVariables + depth * kStackCount + k;
  if (stack.count != 0) v["indexedVariables"] = stack.count;
  return v;
}

json registers(debug::Session& session) {
  const Machine& machine = session_machine(session);
  auto plain = [](const char* name, const std::string& value) {
    return json{{"name", name}, {"value", value}, {"variablesReference", 0}};
  };
  json pc = plain("pc", address_name(session, machine.pc));
  pc["memoryReference"] = address_reference(machine.pc);
  return json::array({pc, plain("acc", value_text(machine.acc)), plain("depth", std::to_string(machine.depth)),
                      plain("status", status_text(machine.status)),
                      plain("executed", std::to_string(machine.executed))});
}

json cores(debug::Session& session) {
  json out = json::array();
  const std::string text = debug::view_cores(session);
  size_t at = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; at = end + 1, end = text.find('\n', at)) {
    const std::string line = text.substr(at, end - at);
    const size_t colon = line.find(": ");
    out.push_back({{"name", line.substr(0, colon)}, {"value", line.substr(colon + 2)}, {"variablesReference", 0}});
  }
  return out;
}

// The instruction at `address` as text with its length; a tryte that starts none is one `.raw`.
std::string instruction_at(const debug::Session& session, uint64_t address, uint64_t& length) {
  std::string text;
  if (disassemble_instruction(session.host.memory, session.host.size, address, text, length)) return text;
  length = 1;
  const uint8_t tryte = tryte_value_at(session.host.memory, address);
  return tryte == kNoTryte ? "(no tryte)" : std::string(".raw \"") + kSymbolAlphabet[tryte] + "\"";
}

// The address `instructions` instructions before `address`: the map knows where
// instructions start; where it does not, one tryte is taken for one instruction.
int64_t back_from(const debug::Session& session, uint64_t address, int64_t instructions) {
  int64_t at = static_cast<int64_t>(address);
  const std::vector<SourceSpan>& spans = session.map.spans;
  for (; instructions > 0; --instructions) {
    auto span = std::upper_bound(spans.begin(), spans.end(), static_cast<uint64_t>(std::max<int64_t>(at - 1, 0)),
                                 [](uint64_t a, const SourceSpan& s) { return a < s.address; });
    const bool known =
        at > 0 && span != spans.begin() && (span - 1)->address + (span - 1)->length == static_cast<uint64_t>(at);
    at = known ? static_cast<int64_t>((span - 1)->address) : at - 1;
  }
  return at;
}

json disassembled(const debug::Session& session, int64_t at, uint64_t& length) {
  if (at < 0 || static_cast<uint64_t>(at) >= session.host.size) {
    length = 1;
    return {{"address", std::to_string(at)}, {"instruction", "(outside memory)"}, {"presentationHint", "invalid"}};
  }
  const auto address = static_cast<uint64_t>(at);
  json out = {{"address", address_reference(address)}, {"instruction", instruction_at(session, address, length)}};
  std::string symbols;
  for (uint64_t k = 0; k < length; ++k) {
    const uint8_t tryte = tryte_value_at(session.host.memory, address + k);
    symbols += tryte == kNoTryte ? '?' : kSymbolAlphabet[tryte];
  }
  out["instructionBytes"] = symbols;
  for (const AsmLabel& label : session.map.labels) {
    if (label.address == address) out["symbol"] = label.name;
  }
  if (const SourceSpan* span = source_map_span_at(session.map, address)) {
    out["location"] = source_of(session, span->file);
    out["line"] = span->line;
    out["column"] = span->column;
  }
  return out;
}

// keys TEXT: queued for the program at any time, also while it runs.
void evaluate_keys(Adapter& adapter, const json& request, const std::string& text) {
  std::vector<int64_t> codes;
  std::string error;
  if (!cli::parse_key_script(text, codes, error)) return send_error(adapter, request, "keys: " + error);
  if (!debug::session_push_keys(adapter.session, codes)) return send_error(adapter, request, "the key queue is full");
  send_response(adapter, request,
                {{"result", "queued " + std::to_string(codes.size()) + " keys"}, {"variablesReference", 0}});
}

}  // namespace

void on_threads(Adapter& adapter, const json& request, const json&) {
  json threads = json::array({{{"id", kMainThread}, {"name", "main machine"}}});
  if (adapter.session.loaded) {
    HostState& host = adapter.session.host.processor->host;
    LockGuard guard(host.lock);
    for (int k = 0; k < kCoreCount; ++k) {
      if (host.cores[k].state != core_running) continue;
      threads.push_back({{"id", kFirstCoreThread + k}, {"name", "core " + std::to_string(k) + " (read-only)"}});
    }
  }
  send_response(adapter, request, {{"threads", threads}});
}

void on_stack_trace(Adapter& adapter, const json& request, const json& args) {
  debug::Session& session = adapter.session;
  if (!session.loaded) return send_error(adapter, request, "no program is loaded");
  int64_t thread = kMainThread, start = 0, levels = 0;
  (void)field_integer(args, "threadId", thread);
  (void)field_integer(args, "startFrame", start);
  (void)field_integer(args, "levels", levels);
  json frames = json::array();
  if (thread != kMainThread) {
    // A core's machine belongs to its own thread while it runs: only its counters can be read.
    frames.push_back({{"id", 0},
                      {"name", "core " + std::to_string(thread - kFirstCoreThread) + " runs on its own"},
                      {"line", 0},
                      {"column", 0},
                      {"presentationHint", "label"}});
    return send_response(adapter, request, {{"stackFrames", frames}, {"totalFrames", 1}});
  }
  const Machine& machine = session_machine(session);
  const int64_t total = machine.depth + 1;
  const int64_t end = levels > 0 ? std::min(total, start + levels) : total;
  for (int64_t k = std::max<int64_t>(start, 0); k < end; ++k) {
    // Frame 0 stands at pc; each caller at the address its call returns to.
    const uint64_t address = k == 0 ? machine.pc : machine.frames[machine.depth - k + 1].return_address;
    const std::string name = session_name(session, address);
    json frame = {{"id", k},
                  {"name", name.empty() ? std::to_string(address) : name.substr(0, name.find(" ("))},
                  {"line", 0},
                  {"column", 0},
                  {"instructionPointerReference", address_reference(address)}};
    place(session, address, frame);
    frames.push_back(frame);
  }
  send_response(adapter, request, {{"stackFrames", frames}, {"totalFrames", total}});
}

void on_scopes(Adapter& adapter, const json& request, const json& args) {
  if (!adapter.session.loaded) return send_error(adapter, request, "no program is loaded");
  const Machine& machine = session_machine(adapter.session);
  int64_t frame = 0;
  (void)field_integer(args, "frameId", frame);
  if (frame < 0 || frame > machine.depth) return send_error(adapter, request, "no such frame");
  const int64_t depth = machine.depth - frame;
  send_response(adapter, request,
                {{"scopes",
                  {{{"name", "Registers"}, {"variablesReference", kRegisters}, {"expensive", false}},
                   {{"name", "Stacks"},
                    {"variablesReference", kStacks + depth},
                    {"expensive", false},
                    {"namedVariables", kStackCount}},
                   {{"name", "Cores"}, {"variablesReference", kCores}, {"expensive", false}}}}});
}

void on_variables(Adapter& adapter, const json& request, const json& args) {
  debug::Session& session = adapter.session;
  if (!session.loaded) return send_error(adapter, request, "no program is loaded");
  const Machine& machine = session_machine(session);
  int64_t reference = 0;
  (void)field_integer(args, "variablesReference", reference);
  json variables = json::array();
  if (reference == kRegisters) {
    variables = registers(session);
  } else if (reference == kCores) {
    variables = cores(session);
  } else if (reference >= kStacks && reference < kStacks + kFrameCount && reference - kStacks <= machine.depth) {
    for (uint32_t k = 0; k < kStackCount; ++k) {
      variables.push_back(stack_variable(machine, static_cast<uint32_t>(reference - kStacks), k));
    }
  } else if (reference >= kStackVariables && reference < kStackVariables + kFrameCount * kStackCount) {
    const int64_t depth = (reference - kStackVariables) / kStackCount;
    if (depth > machine.depth) return send_error(adapter, request, "that frame has returned");
    const ValueStack& stack = machine.frames[depth].stacks[(reference - kStackVariables) % kStackCount];
    for (uint8_t n = 0; n < stack.count; ++n) {
      variables.push_back(
          {{"name", std::to_string(n)}, {"value", value_text(stack.values[n])}, {"variablesReference", 0}});
    }
  } else {
    return send_error(adapter, request, "no such variables");
  }
  send_response(adapter, request, {{"variables", variables}});
}

// One byte per tryte: its value 0 to 26, the index of its symbol in
// "-01=23<456789.ABCDEF>GH~IJ+"; 255 for a tryte whose bytes are not trits.
void on_read_memory(Adapter& adapter, const json& request, const json& args) {
  const debug::Session& session = adapter.session;
  std::string reference;
  uint64_t base = 0;
  int64_t offset = 0, count = 0;
  if (!field_string(args, "memoryReference", reference) || !parse_reference(reference, base)) {
    return send_error(adapter, request, "a memory reference is a decimal tryte address");
  }
  (void)field_integer(args, "offset", offset);
  (void)field_integer(args, "count", count);
  const int64_t first = static_cast<int64_t>(base) + offset;
  if (first < 0 || count < 0 || count > kMaxReadBytes) return send_error(adapter, request, "outside memory");
  const auto address = static_cast<uint64_t>(first);
  const uint64_t readable = address >= session.host.size ? 0 : std::min<uint64_t>(count, session.host.size - address);
  std::string bytes(readable, '\0');
  for (uint64_t k = 0; k < readable; ++k)
    bytes[k] = static_cast<char>(tryte_value_at(session.host.memory, address + k));
  json body = {{"address", address_reference(address)}, {"data", base64(bytes)}};
  if (readable < static_cast<uint64_t>(count)) body["unreadableBytes"] = static_cast<uint64_t>(count) - readable;
  send_response(adapter, request, body);
}

void on_disassemble(Adapter& adapter, const json& request, const json& args) {
  const debug::Session& session = adapter.session;
  std::string reference;
  uint64_t base = 0;
  int64_t offset = 0, instruction_offset = 0, count = 0;
  if (!field_string(args, "memoryReference", reference) || !parse_reference(reference, base)) {
    return send_error(adapter, request, "a memory reference is a decimal tryte address");
  }
  (void)field_integer(args, "offset", offset);
  (void)field_integer(args, "instructionOffset", instruction_offset);
  if (!field_integer(args, "instructionCount", count) || count < 0 || count > 10'000) {
    return send_error(adapter, request, "instructionCount from 0 to 10000");
  }
  int64_t at = static_cast<int64_t>(base) + offset;
  uint64_t length = 0;
  if (instruction_offset < 0 && at >= 0) at = back_from(session, static_cast<uint64_t>(at), -instruction_offset);
  for (int64_t k = 0; k < instruction_offset; ++k) {
    (void)disassembled(session, at, length);
    at += static_cast<int64_t>(length);
  }
  json instructions = json::array();
  for (int64_t k = 0; k < count; ++k) {
    instructions.push_back(disassembled(session, at, length));
    at += static_cast<int64_t>(length);
  }
  send_response(adapter, request, {{"instructions", instructions}});
}

// Expressions: `keys TEXT`; acc, depth; stack N; the terminal's commands that
// do not move the machine (x, print, backtrace, list, disassemble, cores, info,
// record); or a location
// (label, label+N, file:line, an address), answered with its name and address.
void on_evaluate(Adapter& adapter, const json& request, const json& args) {
  std::string expression, error;
  (void)field_string(args, "expression", expression);
  const std::string word = first_word(expression);
  if (word == "keys") return evaluate_keys(adapter, request, after_first_word(expression));
  if (adapter.running.load() != 0) {
    return send_error(adapter, request, "the program is running; pause it first (`keys TEXT` is taken while it runs)");
  }
  debug::Session& session = adapter.session;
  if (!session.loaded) return send_error(adapter, request, "no program is loaded");
  const Machine& machine = session_machine(session);
  uint32_t stack = 0;
  if (word == "acc" || word == "depth") {
    const std::string value = word == "acc" ? value_text(machine.acc) : std::to_string(machine.depth);
    if (trimmed(expression) == word)
      return send_response(adapter, request, {{"result", value}, {"variablesReference", 0}});
  }
  if (word == "stack" && stack_number(trimmed(after_first_word(expression)), stack)) {
    const json v = stack_variable(machine, machine.depth, stack);
    return send_response(adapter, request, {{"result", v["value"]}, {"variablesReference", v["variablesReference"]}});
  }
  for (const char* command : kConsoleCommands) {
    if (word != command && word.compare(0, 2, "x/") != 0) continue;
    std::string out;
    if (debug::run_command_line(session, expression, out) != debug::CommandStatus::ok) {
      return send_error(adapter, request, trimmed(out));
    }
    return send_response(adapter, request, {{"result", trimmed(out)}, {"variablesReference", 0}});
  }
  uint64_t address = 0;
  if (!debug::parse_location(session, trimmed(expression), address, error)) return send_error(adapter, request, error);
  send_response(adapter, request,
                {{"result", address_name(session, address)},
                 {"memoryReference", address_reference(address)},
                 {"variablesReference", 0}});
}

}  // namespace quill::dap
