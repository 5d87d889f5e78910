// Running: continue, the steps forward and back, pause, and the worker thread
// that runs the machine while the reader keeps answering. A program that waits
// for a key keeps the run going (no stop) until keys arrive, from the launch's
// `keys` or from `evaluate keys TEXT`, or the client pauses.
#include <algorithm>

#include "host/keyboard.h"
#include "platform/clock.h"
#include "tools/dap/adapter.h"
#include "tools/debug/view.h"

namespace quill::dap {
namespace {

constexpr uint32_t kPollMs = 10;

// What a run came to, worked out by the worker before it lets go of the session.
struct Outcome {
  const char* reason = nullptr;  // the stopped event's reason; null when the program finished
  int exit_code = 1;             // when it finished: 0 halted, 1 failed
  std::string description;
  std::string failure;  // the failure line for an output event
  json hits = json::array();
};

bool holds(const BreakpointSet& set, uint32_t id) {
  return std::find(set.ids.begin(), set.ids.end(), id) != set.ids.end();
}

// The instruction at `pc` came from the same source line as `span`.
bool same_line(const debug::Session& session, const SourceSpan* span, uint64_t pc) {
  const SourceSpan* now = source_map_span_at(session.map, pc);
  return span != nullptr && now != nullptr && now->file == span->file && now->line == span->line;
}

// Waits while the program waits for a key; false when a pause or a disconnect came first.
bool wait_for_keys(Adapter& adapter) {
  HostState& host = adapter.session.host.processor->host;
  while (waiting_for_key(host)) {
    if (adapter.abandon.load() != 0 || adapter.session.pause_requested.exchange(0) != 0) return false;
    sleep_ms(kPollMs);
  }
  return true;
}

// Runs the launched machine as `motion` asks; `next` takes a whole source line,
// its calls as a whole. Key waits do not end the run: a request interrupted by
// one goes on from where it stood, the same request when nothing ran yet, else
// out of the calls entered since.
bool run_forward(Adapter& adapter, debug::Stop& stop) {
  debug::Session& session = adapter.session;
  const Machine& machine = session_machine(session);
  debug::ResumeRequest request;
  request.mode = adapter.motion == Motion::next       ? debug::Resume::next
                 : adapter.motion == Motion::step_in  ? debug::Resume::step
                 : adapter.motion == Motion::step_out ? debug::Resume::finish
                                                      : debug::Resume::go;
  const uint32_t start_depth = machine.depth;
  const uint32_t target_depth = adapter.motion == Motion::step_out ? start_depth - 1 : start_depth;
  // At a set speed the run goes in slices of a fiftieth of a second.
  const bool paced = adapter.motion == Motion::go && adapter.speed > 0;
  if (paced) {
    request.mode = debug::Resume::step;
    request.count = std::max<uint64_t>(1, adapter.speed / 50);
  }
  uint64_t executed = 0;
  const SourceSpan* start_line = source_map_span_at(session.map, machine.pc);
  for (;;) {
    if (!debug::session_resume(session, request, stop)) return false;
    executed += stop.executed;
    if (stop.reason == debug::StopReason::done && paced) {
      sleep_ms(20);
      continue;
    }
    if (stop.reason == debug::StopReason::done && adapter.motion == Motion::next &&
        same_line(session, start_line, machine.pc) && machine.depth == start_depth) {
      continue;  // the rest of the line (a pseudo-instruction is several)
    }
    if (stop.reason != debug::StopReason::key_wait) break;
    if (!wait_for_keys(adapter)) {
      stop.reason = debug::StopReason::paused;
      break;
    }
    if (executed == 0 || request.mode == debug::Resume::go || paced) continue;
    if (request.mode == debug::Resume::step || machine.depth <= target_depth) {
      stop.reason = debug::StopReason::done;
      break;
    }
    request.mode = debug::Resume::finish;  // back out to the depth the step aims for
  }
  stop.executed = executed;
  return true;
}

// Lets the window's runner go until it pauses at a breakpoint or ends, or the
// client pauses; then borrows the machine again.
bool run_live(Adapter& adapter, debug::Stop& stop) {
  const LiveMachine& live = *adapter.live;
  debug::Session& session = adapter.session;
  stop = debug::Stop{};
  for (;;) {
    std::vector<uint64_t> addresses;
    for (const debug::Breakpoint& b : session.breakpoints) addresses.push_back(b.address);
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    live.resume(live.context, addresses.data(), addresses.size());
    bool by_itself = false;
    while (!(by_itself = live.wait_paused(live.context, 50))) {
      if (adapter.abandon.load() != 0 || session.pause_requested.exchange(0) != 0) break;
    }
    debug::BorrowedMachine lent;
    if (!live.pause(live.context, &lent.memory, &lent.size, &lent.processor)) return false;
    session.host.memory = lent.memory;
    session.host.processor = lent.processor;
    const Machine& machine = session_machine(session);
    if (!by_itself) {
      stop.reason = debug::StopReason::paused;
    } else if (machine_stopped(machine)) {
      stop.reason = debug::StopReason::ended;
    } else {
      stop.reason = debug::StopReason::paused;
      for (debug::Breakpoint& b : session.breakpoints) {
        if (b.address != machine.pc) continue;
        b.hits += 1;
        if (stop.reason != debug::StopReason::breakpoint && debug::condition_holds(b.condition, machine, b.hits)) {
          stop.reason = debug::StopReason::breakpoint;
          stop.id = b.id;
        }
      }
      if (stop.reason != debug::StopReason::breakpoint && adapter.abandon.load() == 0) continue;  // a false condition
    }
    return true;
  }
}

Outcome outcome_of(Adapter& adapter, const debug::Stop& stop) {
  debug::Session& session = adapter.session;
  const Machine& machine = session_machine(session);
  Outcome out;
  out.exit_code = machine.status == status_halted ? 0 : 1;
  switch (stop.reason) {
    case debug::StopReason::done:
    case debug::StopReason::key_wait:
      out.reason = "step";
      break;
    case debug::StopReason::oldest:
      out.reason = "step";
      out.description = "reached the oldest recorded step";
      break;
    case debug::StopReason::paused:
      out.reason = "pause";
      break;
    case debug::StopReason::breakpoint:
      out.reason = holds(adapter.functions, stop.id)      ? "function breakpoint"
                   : holds(adapter.instructions, stop.id) ? "instruction breakpoint"
                                                          : "breakpoint";
      out.hits.push_back(stop.id);
      break;
    case debug::StopReason::watch:
      out.reason = "data breakpoint";
      out.hits.push_back(stop.id);
      out.description = "written by " + session_name(session, stop.writer);
      break;
    case debug::StopReason::ended:
      if (machine.status == status_halted) break;
      out.reason = "exception";
      out.description = status_text(machine.status);
      out.failure = "stopped: " + debug::view_stop(session, stop);
      break;
  }
  if (stop.kept & debug::kKeptPicture) out.description += " (the picture is not taken back)";
  if (stop.kept & debug::kKeptCores) out.description += " (the cores and fetches are not taken back)";
  return out;
}

// Sends exited and terminated, once.
void report_finished(Adapter& adapter, int exit_code) {
  if (adapter.finished) return;
  adapter.finished = true;
  send_event(adapter, "exited", {{"exitCode", exit_code}});
  send_event(adapter, "terminated", json::object());
}

void report(Adapter& adapter, const Outcome& out) {
  if (!out.failure.empty()) send_output(adapter, out.failure, "stderr");
  if (out.reason == nullptr) return report_finished(adapter, out.exit_code);
  json body = {{"reason", out.reason}, {"threadId", kMainThread}, {"allThreadsStopped", true}};
  if (!out.description.empty()) body["description"] = out.description;
  if (!out.hits.empty()) body["hitBreakpointIds"] = out.hits;
  if (std::string(out.reason) == "exception") body["text"] = out.description;
  send_event(adapter, "stopped", body);
}

void worker_main(void* argument) {
  Adapter& adapter = *static_cast<Adapter*>(argument);
  debug::Session& session = adapter.session;
  debug::Stop stop;
  bool ran = false;
  if (adapter.motion == Motion::step_back || adapter.motion == Motion::reverse_go) {
    debug::ResumeRequest request;
    request.mode = adapter.motion == Motion::step_back ? debug::Resume::step : debug::Resume::go;
    ran = debug::session_reverse(session, request, stop);
    if (!ran) stop.reason = debug::StopReason::oldest;
    ran = true;
  } else if (adapter.attached && adapter.motion == Motion::go) {
    ran = run_live(adapter, stop);
  } else {
    ran = run_forward(adapter, stop);
  }
  Outcome out = ran ? outcome_of(adapter, stop) : Outcome{};
  // Attached, a run that did not end lent nothing back: the window's machine is not ours to read.
  if (!ran && !adapter.attached) out.exit_code = session_machine(session).status == status_halted ? 0 : 1;
  const bool quiet = adapter.abandon.load() != 0;
  adapter.running.store(0);  // the reader may use the session from here on
  if (!quiet) report(adapter, out);
}

// Starts `motion` on the worker after the request was answered.
void begin(Adapter& adapter, const json& request, Motion motion) {
  if (!adapter.configured || !adapter.session.loaded) return send_error(adapter, request, "no program is loaded");
  json body = json::object();
  if (motion == Motion::go) body["allThreadsContinued"] = true;
  send_response(adapter, request, body);
  thread_join(adapter.worker);
  adapter.session.pause_requested.store(0);  // a pause that came as the last run ended
  adapter.motion = motion;
  adapter.running.store(1);
  if (!thread_start(adapter.worker, worker_main, &adapter)) {
    adapter.running.store(0);
    send_output(adapter, "quill dap: cannot start the machine's thread\n", "stderr");
  }
}

}  // namespace

void stop_worker(Adapter& adapter) {
  if (adapter.running.load() != 0) adapter.session.pause_requested.store(1);
  thread_join(adapter.worker);
  adapter.running.store(0);
}

void start_program(Adapter& adapter) {
  if (adapter.attached) {
    return send_event(
        adapter, "stopped",
        {{"reason", "pause"}, {"description", "attached"}, {"threadId", kMainThread}, {"allThreadsStopped", true}});
  }
  if (adapter.stop_on_entry) {
    return send_event(adapter, "stopped",
                      {{"reason", "entry"}, {"threadId", kMainThread}, {"allThreadsStopped", true}});
  }
  adapter.motion = Motion::go;
  adapter.running.store(1);
  if (!thread_start(adapter.worker, worker_main, &adapter)) adapter.running.store(0);
}

void on_continue(Adapter& adapter, const json& request, const json&) { begin(adapter, request, Motion::go); }
void on_next(Adapter& adapter, const json& request, const json&) { begin(adapter, request, Motion::next); }
void on_step_in(Adapter& adapter, const json& request, const json&) { begin(adapter, request, Motion::step_in); }

void on_step_out(Adapter& adapter, const json& request, const json&) {
  if (adapter.session.loaded && session_machine(adapter.session).depth == 0) {
    return send_error(adapter, request, "not inside a call: there is nothing to step out of");
  }
  begin(adapter, request, Motion::step_out);
}

void on_step_back(Adapter& adapter, const json& request, const json&) {
  if (adapter.attached) {
    return send_error(adapter, request, "cannot step back while attached: the window's machine is not recorded");
  }
  begin(adapter, request, Motion::step_back);
}

void on_reverse_continue(Adapter& adapter, const json& request, const json&) {
  if (adapter.attached) {
    return send_error(adapter, request, "cannot go back while attached: the window's machine is not recorded");
  }
  begin(adapter, request, Motion::reverse_go);
}

void on_pause(Adapter& adapter, const json& request, const json&) {
  if (adapter.running.load() != 0) adapter.session.pause_requested.store(1);
  send_response(adapter, request, json::object());
}

}  // namespace quill::dap
