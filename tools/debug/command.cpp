#include "tools/debug/command.h"

#include <cstdlib>
#include <vector>

#include "codec/tryte.h"
#include "host/framebuffer.h"
#include "tools/debug/view.h"
#include "tools/dis/disassembler.h"
#include "tools/image/output_file.h"
#include "tools/image/png.h"
#include "tools/quill/key_script.h"

namespace quill::debug {
namespace {

constexpr char kHelp[] = R"(Running:
  run                      start the program again from its entry, to the first stop
  continue | c             go on to the next breakpoint, watch or end
  step [N] | s [N]         execute N instructions (default 1), entering calls
  next | n                 execute one instruction, a call as a whole
  finish                   run until the current call returns
  until LOCATION           run until pc reaches LOCATION in this call, or it returns
  reverse-step [N] | rs [N]    undo N instructions (default 1)
  reverse-next | rn        undo one instruction, a call as a whole
  reverse-finish           go back to the call that entered the current one
  reverse-continue | rc    go back to a breakpoint, a watch's change or the oldest step
  record on|off            record steps for going back (default on; off forgets them)
  keys TEXT                queue keys as `quill run --keys` writes them ("hi{enter}")
Stopping:
  break LOCATION [if CONDITION] | b   stop before the instruction at LOCATION
  watch ADDRESS[..END]     stop after an instruction or host call changes those trytes
  delete [N]               delete breakpoint or watch N, or all of them
  info breakpoints         list breakpoints and watches with their hits
  info record              how many steps can be undone and the bytes they take
Looking:
  print [acc|pc|depth|stack N|stacks] | p    registers, one stack, or every non-empty stack
  backtrace | bt           the return stack with labels and source lines
  x[/FORM] ADDRESS [N]     N items of memory; FORM t trytes (default), r trits, n numbers,
                           c cells, pK packed values of K trytes, s characters
  list [LOCATION] | l      the source around pc or LOCATION
  disassemble [LOCATION] [N]   N instructions (default 12) around pc or LOCATION
  cores                    state, pc and instructions of each auxiliary core
  screenshot FILE.png      write the picture as the window would show it
  help, quit | q
LOCATION: 216679, 0x34E67, label, label+4, file.tasm:12, pc.
CONDITION: SUBJECT OP VALUE with SUBJECT acc, depth, hits, stack N (its count) or
top N (its top value), OP one of == != < <= > >=, VALUE a number or nil.
)";

std::vector<std::string> words_of(const std::string& text) {
  std::vector<std::string> words;
  size_t at = 0;
  for (;;) {
    at = text.find_first_not_of(" \t\r", at);
    if (at == std::string::npos) return words;
    const size_t end = text.find_first_of(" \t\r", at);
    words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return words;
    at = end;
  }
}

// The text after the first word, without the spaces around it.
std::string rest_of(const std::string& line) {
  const size_t start = line.find_first_not_of(" \t");
  const size_t gap = start == std::string::npos ? std::string::npos : line.find_first_of(" \t", start);
  const size_t from = gap == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", gap);
  if (from == std::string::npos) return "";
  const size_t last = line.find_last_not_of(" \t\r");
  return line.substr(from, last - from + 1);
}

// A decimal number with optional "_" between digits, or 0x hexadecimal, optionally negative.
bool parse_number(const std::string& text, int64_t& out) {
  const bool negative = !text.empty() && text[0] == '-';
  const bool sign = negative || (!text.empty() && text[0] == '+');
  const std::string digits = text.substr(sign ? 1 : 0);
  const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  if (digits.empty() || (!hex && (digits.front() == '_' || digits.back() == '_'))) return false;
  uint64_t value = 0;
  const uint64_t base = hex ? 16 : 10;
  for (size_t k = hex ? 2 : 0; k < digits.size(); ++k) {
    const char c = digits[k];
    uint64_t d = 0;
    if (c == '_' && !hex) continue;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint64_t>(c - '0');
    } else if (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      d = static_cast<uint64_t>((c | 0x20) - 'a' + 10);
    } else {
      return false;
    }
    if (value > (uint64_t{INT64_MAX} - d) / base) return false;
    value = value * base + d;
  }
  out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  return true;
}

bool parse_address(const std::string& text, uint64_t& out) {
  int64_t value = 0;
  if (!parse_number(text, value) || value < 0 || static_cast<uint64_t>(value) >= kMemoryTrytes) return false;
  out = static_cast<uint64_t>(value);
  return true;
}

CommandStatus fail(std::string& out, const std::string& message) {
  out += "error: " + message + "\n";
  return CommandStatus::failed;
}

// Runs the program as asked and says where it stopped.
CommandStatus resume(Session& session, const ResumeRequest& request, std::string& out) {
  Stop stop;
  if (!session_resume(session, request, stop)) {
    return fail(out, "the program has ended; `run` starts it again");
  }
  out += view_stop(session, stop);
  return CommandStatus::ok;
}

CommandStatus reverse(Session& session, const ResumeRequest& request, std::string& out) {
  Stop stop;
  if (!session_reverse(session, request, stop)) {
    return fail(out, session.recording ? "nothing is recorded to go back over" : "recording is off (`record on`)");
  }
  out += view_stop(session, stop);
  return CommandStatus::ok;
}

CommandStatus run_from_start(Session& session, std::string& out) {
  const Machine& machine = session_machine(session);
  if (machine.executed != 0 || machine_stopped(machine)) {
    std::string error;
    const ProgramSource program = session.program;
    if (!session_load(session, program, error)) {
      (void)fail(out, error);
      return CommandStatus::quit;  // nothing is left to debug
    }
  }
  return resume(session, ResumeRequest{}, out);
}

CommandStatus add_breakpoint(Session& session, const std::string& request, std::string& out) {
  const size_t if_at = request.find(" if ");
  const std::string where = words_of(request.substr(0, if_at)).empty() ? "" : words_of(request.substr(0, if_at))[0];
  Condition condition;
  std::string error, condition_text;
  uint64_t address = 0;
  if (where.empty()) return fail(out, "break needs a location");
  if (!parse_location(session, where, address, error)) return fail(out, error);
  if (if_at != std::string::npos) {
    condition_text = request.substr(if_at + 4);
    if (!parse_condition(condition_text, condition, error)) return fail(out, error);
  }
  uint32_t id = 0;
  if (!session_add_breakpoint(session, address, where, condition, condition_text, id)) {
    return fail(out, "cannot set a breakpoint there");
  }
  const std::string name = session_name(session, address);
  out +=
      "breakpoint " + std::to_string(id) + " at " + std::to_string(address) + (name.empty() ? "" : " " + name) + "\n";
  return CommandStatus::ok;
}

CommandStatus add_watch(Session& session, const std::string& request, std::string& out) {
  const size_t dots = request.find("..");
  std::string error;
  uint64_t first = 0, last = 0;
  if (!parse_location(session, request.substr(0, dots), first, error) ||
      (dots != std::string::npos && !parse_location(session, request.substr(dots + 2), last, error))) {
    return fail(out, error);
  }
  if (dots == std::string::npos) last = first;
  uint32_t id = 0;
  if (!session_add_watch(session, first, last, id)) {
    return fail(out, "a watch covers 1 to " + std::to_string(kWatchMaxTrytes) + " trytes, first to last");
  }
  out += "watch " + std::to_string(id) + " on " + std::to_string(first) + ".." + std::to_string(last) + "\n";
  return CommandStatus::ok;
}

std::string breakpoint_list(const Session& session) {
  std::string out;
  for (const Breakpoint& b : session.breakpoints) {
    const std::string name = session_name(session, b.address);
    out += std::to_string(b.id) + "  break " + std::to_string(b.address) + (name.empty() ? "" : " " + name) +
           (b.condition_text.empty() ? "" : "  if " + b.condition_text) + "  hits " + std::to_string(b.hits) + "\n";
  }
  for (const Watch& w : session.watches) {
    out += std::to_string(w.id) + "  watch " + std::to_string(w.first) + ".." + std::to_string(w.last) + "\n";
  }
  return out.empty() ? "no breakpoints or watches\n" : out;
}

CommandStatus print(Session& session, const std::vector<std::string>& words, std::string& out) {
  const Machine& machine = session_machine(session);
  const std::string what = words.size() > 1 ? words[1] : "";
  int64_t stack = 0;
  if (what.empty()) {
    out += view_registers(session);
  } else if (what == "acc") {
    out += "acc " + value_text(machine.acc) + "\n";
  } else if (what == "pc") {
    out += view_location(session, machine.pc);
  } else if (what == "depth") {
    out += "depth " + std::to_string(machine.depth) + "\n";
  } else if (what == "stacks") {
    out += view_stacks(machine);
  } else if (what == "stack" && words.size() == 3 && parse_number(words[2], stack) && stack >= 0 &&
             stack < kStackCount) {
    out += view_stack(machine, static_cast<uint32_t>(stack));
  } else {
    return fail(out, "print acc, pc, depth, stack N (0 to 19) or stacks");
  }
  return CommandStatus::ok;
}

// "x/c", "x/p3", "x": the form and the packed width.
bool parse_form(const std::string& word, MemoryForm& form, uint32_t& width) {
  if (word == "x") return true;
  if (word.size() < 3 || word.compare(0, 2, "x/") != 0) return false;
  static constexpr struct {
    char letter;
    MemoryForm form;
  } kForms[] = {{'t', MemoryForm::trytes}, {'r', MemoryForm::trits},  {'n', MemoryForm::numbers},
                {'c', MemoryForm::cells},  {'p', MemoryForm::packed}, {'s', MemoryForm::characters}};
  for (const auto& f : kForms) {
    if (word[2] == f.letter) form = f.form;
  }
  if (form == MemoryForm::packed) {
    if (word.size() != 4 || word[3] < '1' || word[3] > '8') return false;
    width = static_cast<uint32_t>(word[3] - '0');
    return true;
  }
  return word.size() == 3 && (word[2] == 't' || form != MemoryForm::trytes);
}

CommandStatus examine(Session& session, const std::vector<std::string>& words, std::string& out) {
  MemoryForm form = MemoryForm::trytes;
  uint32_t width = 0;
  uint64_t address = 0, count = 1;
  std::string error;
  if (!parse_form(words[0], form, width)) {
    return fail(out, "x/FORM with FORM t, r, n, c, s or p1 .. p8");
  }
  if (words.size() < 2 || words.size() > 3) return fail(out, "x ADDRESS [COUNT]");
  if (!parse_location(session, words[1], address, error)) return fail(out, error);
  if (words.size() == 3 && (!parse_address(words[2], count) || count == 0 || count > 10'000)) {
    return fail(out, "a count from 1 to 10000");
  }
  if (!view_memory(session, form, width, address, count, out, error)) return fail(out, error);
  return CommandStatus::ok;
}

// The location in words[1] (pc when there is none), and a count in words[2].
bool place_and_count(const Session& session, const std::vector<std::string>& words, uint64_t& address, uint64_t& count,
                     std::string& error) {
  address = session.host.processor->machine.pc;
  if (words.size() > 1 && !parse_location(session, words[1], address, error)) return false;
  if (words.size() > 2 && (!parse_address(words[2], count) || count == 0 || count > 1000)) {
    error = "a count from 1 to 1000";
    return false;
  }
  return true;
}

CommandStatus screenshot(Session& session, const std::vector<std::string>& words, std::string& out) {
  if (words.size() != 2) return fail(out, "screenshot FILE.png");
  std::vector<uint32_t> pixels(kPixelCount);
  (void)framebuffer_copy_for_paint(session.host.processor->host, pixels.data());
  std::string png, error;
  if (!encode_png(pixels.data(), kFrameWidth, kFrameHeight, png)) {
    return fail(out, "cannot encode the picture");
  }
  if (!write_output_file(words[1], png, error)) return fail(out, error);
  out += "wrote " + words[1] + "\n";
  return CommandStatus::ok;
}

CommandStatus keys(Session& session, const std::string& text, std::string& out) {
  std::vector<int64_t> codes;
  std::string error;
  if (!cli::parse_key_script(text, codes, error)) return fail(out, "keys: " + error);
  if (!session_push_keys(session, codes)) return fail(out, "the key queue is full");
  out += "queued " + std::to_string(codes.size()) + " keys\n";
  return CommandStatus::ok;
}

bool is(const std::string& word, const char* full, const char* abbreviation = nullptr) {
  return word == full || (abbreviation != nullptr && word == abbreviation);
}

CommandStatus run_motion(Session& session, const std::vector<std::string>& words, std::string& out) {
  const std::string& word = words[0];
  ResumeRequest request;
  std::string error;
  if (is(word, "step", "s") || word == "stepi" || word == "si") {
    request.mode = Resume::step;
    int64_t count = 1;
    if (words.size() > 1 && (!parse_number(words[1], count) || count <= 0)) {
      return fail(out, "step N with N from 1");
    }
    request.count = static_cast<uint64_t>(count);
  } else if (is(word, "next", "n")) {
    request.mode = Resume::next;
  } else if (word == "finish") {
    if (session_machine(session).depth == 0) return fail(out, "not inside a call");
    request.mode = Resume::finish;
  } else if (is(word, "until", "u")) {
    request.mode = Resume::until;
    if (words.size() != 2) return fail(out, "until LOCATION");
    if (!parse_location(session, words[1], request.target, error)) return fail(out, error);
  } else if (is(word, "reverse-step", "rs")) {
    request.mode = Resume::step;
    int64_t count = 1;
    if (words.size() > 1 && (!parse_number(words[1], count) || count <= 0)) {
      return fail(out, "reverse-step N with N from 1");
    }
    request.count = static_cast<uint64_t>(count);
    return reverse(session, request, out);
  } else if (is(word, "reverse-next", "rn")) {
    request.mode = Resume::next;
    return reverse(session, request, out);
  } else if (word == "reverse-finish") {
    if (session_machine(session).depth == 0) return fail(out, "not inside a call");
    request.mode = Resume::finish;
    return reverse(session, request, out);
  } else if (is(word, "reverse-continue", "rc")) {
    return reverse(session, request, out);
  } else if (word.compare(0, 8, "reverse-") == 0) {
    return fail(out, "unknown command '" + word + "' (try help)");
  }
  return resume(session, request, out);
}

}  // namespace

bool parse_location(const Session& session, const std::string& text, uint64_t& address, std::string& error) {
  error = "no such location: '" + text + "'";
  if (text == "pc") {
    address = session.host.processor->machine.pc;
    return true;
  }
  if (parse_address(text, address)) return true;
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    int64_t line = 0;
    if (!parse_number(text.substr(colon + 1), line) || line <= 0 || line > UINT32_MAX) return false;
    if (source_map_line_address(session.map, text.substr(0, colon), static_cast<uint32_t>(line), address)) return true;
    error = "no instruction comes from " + text;
    return false;
  }
  const size_t sign = text.find_first_of("+-", 1);
  int64_t offset = 0;
  if (sign != std::string::npos && !parse_number(text.substr(sign), offset)) return false;
  const std::string name = text.substr(0, sign);
  for (const AsmLabel& label : session.map.labels) {
    if (label.name != name) continue;
    const int64_t at = static_cast<int64_t>(label.address) + offset;
    if (at < 0 || static_cast<uint64_t>(at) >= kMemoryTrytes) return false;
    address = static_cast<uint64_t>(at);
    return true;
  }
  if (session.map.labels.empty()) error = "no label '" + name + "': no source, map or symbols loaded";
  return false;
}

bool parse_condition(const std::string& text, Condition& condition, std::string& error) {
  static constexpr struct {
    const char* name;
    Subject subject;
  } kSubjects[] = {{"acc", Subject::acc},
                   {"depth", Subject::depth},
                   {"hits", Subject::hits},
                   {"stack", Subject::stack_count},
                   {"top", Subject::stack_top}};
  static constexpr const char* kCompares[] = {"==", "!=", "<", "<=", ">", ">="};
  const std::vector<std::string> words = words_of(text);
  error = "a condition is SUBJECT OP VALUE: acc, depth, hits, stack N or top N; == != < <= > >=; a number or nil";
  Condition c;
  size_t at = 0;
  for (const auto& s : kSubjects) {
    if (!words.empty() && words[0] == s.name) c.subject = s.subject;
  }
  if (c.subject == Subject::none) return false;
  at = 1;
  if (c.subject == Subject::stack_count || c.subject == Subject::stack_top) {
    int64_t stack = 0;
    if (words.size() < 2 || !parse_number(words[1], stack) || stack < 0 || stack >= kStackCount) return false;
    c.stack = static_cast<uint32_t>(stack);
    at = 2;
  }
  if (words.size() != at + 2) return false;
  bool found = false;
  for (int k = 0; k < 6; ++k) {
    if (words[at] == kCompares[k]) {
      c.compare = static_cast<Compare>(k);
      found = true;
    }
  }
  if (!found) return false;
  if (words[at + 1] == "nil") {
    c.value = NIL;
  } else if (!parse_number(words[at + 1], c.value)) {
    return false;
  }
  condition = c;
  error.clear();
  return true;
}

CommandStatus run_command_line(Session& session, const std::string& line, std::string& out) {
  const std::vector<std::string> words = words_of(line);
  if (words.empty()) return CommandStatus::ok;
  const std::string& word = words[0];
  std::string error;
  uint64_t address = 0, count = 12;
  if (is(word, "quit", "q")) return CommandStatus::quit;
  if (word == "help" || word == "h") {
    out += kHelp;
  } else if (is(word, "run", "r")) {
    return run_from_start(session, out);
  } else if (is(word, "continue", "c")) {
    return resume(session, ResumeRequest{}, out);
  } else if (is(word, "step", "s") || is(word, "stepi", "si") || is(word, "next", "n") || word == "finish" ||
             is(word, "until", "u") || word.compare(0, 8, "reverse-") == 0 || word == "rs" || word == "rn" ||
             word == "rc") {
    return run_motion(session, words, out);
  } else if (word == "record") {
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) return fail(out, "record on|off");
    session_record(session, words[1] == "on");
    out += words[1] == "on" ? "recording steps\n" : "not recording; what was recorded is forgotten\n";
  } else if (is(word, "break", "b")) {
    return add_breakpoint(session, rest_of(line), out);
  } else if (word == "watch") {
    return add_watch(session, rest_of(line), out);
  } else if (is(word, "delete", "d")) {
    int64_t id = 0;
    if (words.size() == 1) {
      session_delete_all(session);
    } else if (!parse_number(words[1], id) || id <= 0 || id > UINT32_MAX ||
               !session_delete(session, static_cast<uint32_t>(id))) {
      return fail(out, "no breakpoint or watch " + words[1]);
    }
  } else if (word == "info" && words.size() == 2 &&
             (words[1] == "breakpoints" || words[1] == "b" || words[1] == "watch")) {
    out += breakpoint_list(session);
  } else if (word == "info" && words.size() == 2 && words[1] == "record") {
    const Timeline& t = session.timeline;
    const uint64_t steps = timeline_position(session_machine(session)) - timeline_oldest(t, session_machine(session));
    out += std::string(session.recording ? "recording" : "not recording") + ": " + std::to_string(steps) +
           " steps can be undone, in " + std::to_string(timeline_bytes(t)) + " bytes\n";
  } else if (is(word, "print", "p")) {
    return print(session, words, out);
  } else if (is(word, "backtrace", "bt")) {
    out += view_backtrace(session);
  } else if (word == "x" || word.compare(0, 2, "x/") == 0) {
    return examine(session, words, out);
  } else if (is(word, "list", "l")) {
    if (!place_and_count(session, words, address, count, error)) return fail(out, error);
    if (!view_list(session, address, 5, out)) return fail(out, "no source line for that address");
  } else if (is(word, "disassemble", "disas")) {
    if (!place_and_count(session, words, address, count, error)) return fail(out, error);
    out += view_disassemble(session, address, static_cast<uint32_t>(count));
  } else if (word == "keys") {
    return keys(session, rest_of(line), out);
  } else if (word == "screenshot") {
    return screenshot(session, words, out);
  } else if (word == "cores") {
    out += view_cores(session);
  } else {
    return fail(out, "unknown command '" + word + "' (try help)");
  }
  return CommandStatus::ok;
}

}  // namespace quill::debug
