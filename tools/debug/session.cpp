// The session runs the main machine itself, in batches on the caller's thread,
// instead of starting the headless runner: every stop then falls exactly between
// two instructions, and the host calls still run through the host state's hook
// (keys, framebuffer, clock, fetch, and the cores on their own threads). The
// machine runs unpaced; a sleep the program asks for is slept.
//
// Without watches a resume runs machine_run batches (recorded, when recording is
// on) with the places it must look at set as engine stops (the breakpoints, and
// where next, finish or until can complete), so the engine runs at full speed
// between them and every check still happens exactly where a step-by-step run
// would make it. Watches step one instruction at a time.
#include "tools/debug/session.h"

#include <algorithm>
#include <cstring>

#include "codec/tryte.h"
#include "cpu/engine.h"
#include "cpu/pacing.h"
#include "cpu/step.h"
#include "host/keyboard.h"
#include "platform/clock.h"
#include "tools/debug/recorder.h"
#include "tools/image/image_file.h"
#include "tools/io/input_file.h"

namespace quill::debug {
namespace {

// The map or the symbols of an image, either optional.
bool load_names(Session& session, const ProgramSource& program, std::string& error) {
  std::string text;
  if (!program.map_path.empty()) {
    if (!read_input_file(program.map_path, kTextInputLimitBytes, text, error)) return false;
    if (!source_map_from_json(text, session.map, error)) {
      error = program.map_path + ": " + error;
      return false;
    }
  }
  if (!program.symbols_path.empty()) {
    if (!read_input_file(program.symbols_path, kTextInputLimitBytes, text, error)) return false;
    if (!parse_symbols(text, session.map.labels, error)) {
      error = program.symbols_path + ": " + error;
      return false;
    }
  }
  return true;
}

bool load_image(Session& session, const ProgramSource& program, std::string& error) {
  HeadlessHost& host = session.host;
  if (program.assembled) {
    AsmResult result;
    if (!assemble_file(program.path, AsmOptions{}, result)) {
      error = result.errors.empty() ? program.path + ": cannot assemble" : format_error(result.errors.front());
      return false;
    }
    if (result.image.size() > host.size || !source_map_from_result(result, session.map)) {
      error = program.path + ": the program does not fit in memory";
      return false;
    }
    for (uint64_t a = 0; a < result.image.size(); ++a) put_tryte(host.memory, a, result.image[a]);
    fill_zero_trytes(host.memory + 3 * result.image.size(), host.size - result.image.size());
    return true;
  }
  uint64_t trytes = 0;
  if (!read_image_into(program.path, host.memory, host.size, trytes, error)) return false;
  fill_zero_trytes(host.memory + 3 * trytes, host.size - trytes);
  return load_names(session, program, error);
}

void snapshot(const Session& session, Watch& watch) {
  const uint8_t* from = session.host.memory + 3 * watch.first;
  watch.bytes.assign(from, from + 3 * (watch.last - watch.first + 1));
}

// The breakpoint at pc whose condition holds, counting a hit on every one there.
const Breakpoint* breakpoint_hit(Session& session) {
  const Machine& machine = session_machine(session);
  const Breakpoint* hit = nullptr;
  for (Breakpoint& b : session.breakpoints) {
    if (b.address != machine.pc) continue;
    b.hits += 1;
    if (hit == nullptr && condition_holds(b.condition, machine, b.hits)) hit = &b;
  }
  return hit;
}

// The request is complete before the next instruction.
bool request_done(const ResumeRequest& request, const Machine& machine, uint32_t start_depth, uint64_t executed) {
  switch (request.mode) {
    case Resume::step:
      return executed >= request.count;
    case Resume::next:
      return machine.depth <= start_depth;
    case Resume::finish:
      return machine.depth < start_depth;
    case Resume::until:
      return machine.depth < start_depth || (machine.pc == request.target && machine.depth == start_depth);
    case Resume::go:
      break;
  }
  return false;
}

// Sets as engine stops every place where the request could complete or a
// breakpoint be reached; false when one cannot be set (the resume then steps).
// Where next completes is known only once its first instruction made a call.
bool set_stops(Session& session, const ResumeRequest& request, uint32_t start_depth) {
  Machine& machine = session_machine(session);
  for (const Breakpoint& b : session.breakpoints) {
    if (!machine_set_stop(machine, b.address, true)) return false;
  }
  // finish and until complete when the current call returns, at its return address.
  const bool returns = (request.mode == Resume::finish || request.mode == Resume::until) && start_depth > 0;
  if (returns && !machine_set_stop(machine, machine.frames[start_depth].return_address, true)) return false;
  return request.mode != Resume::until || machine_set_stop(machine, request.target, true);
}

// Instructions the next batch may run (a step of 0 runs one, as a step of 1).
uint64_t batch_size(const ResumeRequest& request, uint64_t executed) {
  if (request.mode == Resume::step) {
    return request.count > executed ? std::min(kRunnerBatch, request.count - executed) : 1;
  }
  if (request.mode == Resume::next && executed == 0) return 1;  // a call or not: then its return is known
  return kRunnerBatch;
}

// Runs until the request completes or something stops it; `batched` as set_stops said.
void run_request(Session& session, const ResumeRequest& request, bool batched, Stop& stop) {
  Machine& machine = session_machine(session);
  const uint32_t start_depth = machine.depth;
  for (;;) {
    if (session.pause_requested.load(std::memory_order_relaxed) != 0) {
      session.pause_requested.exchange(0);
      stop.reason = StopReason::paused;
      return;
    }
    if (stop.executed > 0) {
      if (!session.breakpoints.empty()) {
        if (const Breakpoint* hit = breakpoint_hit(session)) {
          stop.reason = StopReason::breakpoint;
          stop.id = hit->id;
          return;
        }
      }
      if (request_done(request, machine, start_depth, stop.executed)) return;
    }
    const uint64_t pc = machine.pc;
    uint64_t ran = 0;
    const BatchEnd end = session_run_batch(session, batched ? batch_size(request, stop.executed) : 1, ran);
    if (end == BatchEnd::key_wait) {
      stop.reason = StopReason::key_wait;
      return;
    }
    stop.executed += ran;
    // next went into a call: it completes back at the call's return address, at the start depth.
    if (batched && request.mode == Resume::next && stop.executed == 1 && machine.depth > start_depth) {
      batched = machine_set_stop(machine, machine.frames[start_depth + 1].return_address, true);
    }
    if (!session.watches.empty()) {
      if (const Watch* watch = session_changed_watch(session)) {
        stop.reason = StopReason::watch;
        stop.id = watch->id;
        stop.writer = pc;
        return;
      }
    }
    if (end == BatchEnd::ended) {
      stop.reason = StopReason::ended;
      return;
    }
  }
}

bool compare(int64_t left, Compare how, int64_t right) {
  if (left == NIL || right == NIL) {  // NIL equals only NIL and is neither above nor below anything
    return how == Compare::eq ? left == right : how == Compare::ne && left != right;
  }
  switch (how) {
    case Compare::eq:
      return left == right;
    case Compare::ne:
      return left != right;
    case Compare::lt:
      return left < right;
    case Compare::le:
      return left <= right;
    case Compare::gt:
      return left > right;
    case Compare::ge:
      return left >= right;
  }
  return false;
}

}  // namespace

const Watch* session_changed_watch(Session& session) {
  for (Watch& watch : session.watches) {
    if (std::memcmp(watch.bytes.data(), session.host.memory + 3 * watch.first, watch.bytes.size()) != 0) {
      snapshot(session, watch);
      return &watch;
    }
  }
  return nullptr;
}

bool condition_holds(const Condition& condition, const Machine& machine, uint64_t hits) {
  const ValueStack& stack = machine.frames[machine.depth].stacks[condition.stack % kStackCount];
  int64_t value = 0;
  switch (condition.subject) {
    case Subject::none:
      return true;
    case Subject::acc:
      value = machine.acc;
      break;
    case Subject::depth:
      value = machine.depth;
      break;
    case Subject::hits:
      value = static_cast<int64_t>(hits);
      break;
    case Subject::stack_count:
      value = stack.count;
      break;
    case Subject::stack_top:
      value = stack.count == 0 ? NIL : stack.values[stack.count - 1];
      break;
  }
  return compare(value, condition.compare, condition.value);
}

bool session_load(Session& session, const ProgramSource& program, std::string& error) {
  session_close(session);
  if (!headless_create_unfilled(session.host, kMemoryTrytes)) {
    error = "out of memory";
    return false;
  }
  if (program.entry >= session.host.size || !load_image(session, program, error)) {
    if (error.empty()) error = "the entry address lies outside memory";
    session_close(session);
    return false;
  }
  Processor& processor = *session.host.processor;
  processor.machine.pc = program.entry;
  processor.host.speed = 0;  // nothing else runs yet, so no lock is needed
  recorder_attach(session);
  session.program = program;
  session.file_texts.assign(session.map.files.size(), std::string());
  session.yielded = true;
  for (Watch& watch : session.watches) snapshot(session, watch);
  session.loaded = true;
  return true;
}

bool session_borrow(Session& session, const BorrowedMachine& machine, const ProgramSource& names, std::string& error) {
  session_close(session);
  session.host.memory = machine.memory;
  session.host.size = machine.size;
  session.host.processor = machine.processor;
  session.borrowed = true;
  session.recording = false;
  recorder_clear(session);
  if (!load_names(session, names, error)) {
    session_close(session);
    return false;
  }
  session.program = names;
  session.file_texts.assign(session.map.files.size(), std::string());
  session.yielded = true;
  for (Watch& watch : session.watches) snapshot(session, watch);
  session.loaded = true;
  return true;
}

void session_close(Session& session) {
  if (session.loaded) recorder_clear(session);
  if (session.borrowed) {  // the owner frees its machine
    session.host.memory = nullptr;
    session.host.size = 0;
    session.host.processor = nullptr;
    session.borrowed = false;
  }
  headless_destroy(session.host);
  session.map = SourceMap{};
  session.file_texts.clear();
  session.loaded = false;
}

bool session_add_breakpoint(Session& session, uint64_t address, const std::string& location, const Condition& condition,
                            const std::string& condition_text, uint32_t& id) {
  if (address >= kMemoryTrytes) return false;
  id = session.next_id++;
  session.breakpoints.push_back(Breakpoint{id, address, location, condition, condition_text, 0});
  return true;
}

bool session_add_watch(Session& session, uint64_t first, uint64_t last, uint32_t& id) {
  if (first > last || last >= kMemoryTrytes || last - first >= kWatchMaxTrytes || !session.loaded) return false;
  id = session.next_id++;
  session.watches.push_back(Watch{id, first, last, {}});
  snapshot(session, session.watches.back());
  return true;
}

bool session_delete(Session& session, uint32_t id) {
  for (size_t k = 0; k < session.breakpoints.size(); ++k) {
    if (session.breakpoints[k].id != id) continue;
    session.breakpoints.erase(session.breakpoints.begin() + static_cast<std::ptrdiff_t>(k));
    return true;
  }
  for (size_t k = 0; k < session.watches.size(); ++k) {
    if (session.watches[k].id != id) continue;
    session.watches.erase(session.watches.begin() + static_cast<std::ptrdiff_t>(k));
    return true;
  }
  return false;
}

void session_delete_all(Session& session) {
  session.breakpoints.clear();
  session.watches.clear();
}

BatchEnd session_run_batch(Session& session, uint64_t count, uint64_t& executed) {
  Processor& processor = *session.host.processor;
  Machine& machine = processor.machine;
  HostState& host = processor.host;
  executed = 0;
  if (machine_stopped(machine)) return BatchEnd::ended;
  if (session.yielded) {
    if (waiting_for_key(host)) return BatchEnd::key_wait;
    for (uint64_t now = clock_now_ns(); now < host.wake_ns; now = clock_now_ns()) {
      sleep_ms(static_cast<uint32_t>((host.wake_ns - now) / 1'000'000 + 1));
    }
    session.yielded = false;
  }
  const uint64_t before = machine.executed;
  const bool stepped = count == 1;
  const uint32_t status = stepped ? recorder_step(session) : recorder_run(session, count);
  executed = machine.executed - before + (machine.status > status_halted ? 1 : 0);  // a failing one counts
  // Status 1 after a step is a host call that yields; after a batch it may be one
  // too, unless the batch ended at a stop (the last instruction of a full batch
  // may have yielded). The key queue and the clock are looked at before the next.
  if (status == status_budget_reached) {
    machine.status = status_ready;
    session.yielded = stepped || !machine_ended_at_stop(machine);
  }
  const EndCheck check = runner_end_check(false, false, host.halt_request, machine.status);
  machine.status = check.status;
  return check.ends ? BatchEnd::ended : BatchEnd::ok;
}

bool session_resume(Session& session, const ResumeRequest& request, Stop& stop) {
  Machine& machine = session_machine(session);
  if (!session.loaded || machine_stopped(machine)) return false;
  stop = Stop{};
  const bool batched = session.watches.empty() && set_stops(session, request, machine.depth);
  run_request(session, request, batched, stop);
  machine_clear_stops(machine);
  return true;
}

bool session_push_keys(Session& session, const std::vector<int64_t>& codes) {
  for (const int64_t code : codes) {
    if (!headless_push_key(session.host, code)) return false;
  }
  return true;
}

std::string session_name(const Session& session, uint64_t address) {
  if (session.map.labels.empty() && session.map.spans.empty()) return "";
  return source_map_name(session.map, address);
}

bool session_source_line(Session& session, uint32_t file, uint32_t line, std::string& text) {
  if (file >= session.map.files.size() || line == 0) return false;
  std::string& whole = session.file_texts[file];
  if (whole.empty()) {
    std::string error;
    if (!read_input_file(session.map.files[file], kTextInputLimitBytes, whole, error)) return false;
  }
  size_t start = 0;
  for (uint32_t k = 1; k < line; ++k) {
    start = whole.find('\n', start);
    if (start == std::string::npos) return false;
    start += 1;
  }
  if (start >= whole.size()) return false;
  size_t end = whole.find('\n', start);
  if (end == std::string::npos) end = whole.size();
  if (end > start && whole[end - 1] == '\r') end -= 1;
  text = whole.substr(start, end - start);
  return true;
}

}  // namespace quill::debug
