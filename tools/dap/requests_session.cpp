// Starting and ending: initialize, launch, attach, configurationDone, terminate
// and disconnect.
#include "tools/dap/adapter.h"
#include "tools/debug/command.h"
#include "tools/quill/key_script.h"

namespace quill::dap {
namespace {

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// `entry` as a number, or as a location the loaded program names (a label).
bool read_entry(Adapter& adapter, const json& args, uint64_t& entry, std::string& error) {
  int64_t number = 0;
  std::string text;
  if (field_integer(args, "entry", number)) {
    if (number < 0 || static_cast<uint64_t>(number) >= kMemoryTrytes) {
      error = "entry lies outside memory";
      return false;
    }
    entry = static_cast<uint64_t>(number);
  } else if (field_string(args, "entry", text) && !debug::parse_location(adapter.session, text, entry, error)) {
    return false;
  }
  return true;
}

bool launch(Adapter& adapter, const json& args, std::string& error) {
  debug::ProgramSource program;
  if (!field_string(args, "program", program.path) || program.path.empty()) {
    error = "launch needs \"program\": a .tasm source or a memory image";
    return false;
  }
  program.assembled = ends_with(program.path, ".tasm");
  (void)field_string(args, "map", program.map_path);
  (void)field_string(args, "symbols", program.symbols_path);
  if (program.assembled && !(program.map_path.empty() && program.symbols_path.empty())) {
    error = "a source brings its own map; \"map\" and \"symbols\" are for images";
    return false;
  }
  if (!debug::session_load(adapter.session, program, error)) return false;
  // The entry may be a label, which only the loaded program names.
  uint64_t entry = program.entry;
  if (!read_entry(adapter, args, entry, error)) return false;
  program.entry = entry;
  session_machine(adapter.session).pc = entry;
  adapter.session.program = program;
  int64_t speed = 0;
  if (field_integer(args, "speed", speed)) {
    if (speed < 0) {
      error = "speed is instructions per second, 0 for as fast as possible";
      return false;
    }
    adapter.speed = static_cast<uint64_t>(speed);
  }
  std::string keys;
  if (field_string(args, "keys", keys)) {
    std::vector<int64_t> codes;
    if (!cli::parse_key_script(keys, codes, error)) {
      error = "keys: " + error;
      return false;
    }
    if (!debug::session_push_keys(adapter.session, codes)) {
      error = "keys: more than the key queue holds";
      return false;
    }
  }
  (void)field_bool(args, "stopOnEntry", adapter.stop_on_entry);
  return true;
}

}  // namespace

void on_initialize(Adapter& adapter, const json& request, const json&) {
  send_response(adapter, request,
                {
                    {"supportsConfigurationDoneRequest", true},
                    {"supportsFunctionBreakpoints", true},
                    {"supportsConditionalBreakpoints", true},
                    {"supportsHitConditionalBreakpoints", false},
                    {"supportsDataBreakpoints", true},
                    {"supportsInstructionBreakpoints", true},
                    {"supportsStepBack", true},
                    {"supportsReadMemoryRequest", true},
                    {"supportsWriteMemoryRequest", false},
                    {"supportsDisassembleRequest", true},
                    {"supportsTerminateRequest", true},
                    {"supportsEvaluateForHovers", true},
                    {"supportsSteppingGranularity", false},
                    {"supportsRestartRequest", false},
                    {"supportsSetVariable", false},
                });
}

void on_launch(Adapter& adapter, const json& request, const json& args) {
  if (adapter.launched || adapter.attached) return send_error(adapter, request, "a program is already loaded");
  std::string error;
  if (!launch(adapter, args, error)) {
    debug::session_close(adapter.session);
    return send_error(adapter, request, error);
  }
  adapter.launched = true;
  send_response(adapter, request, json::object());
  send_event(adapter, "initialized", nullptr);
}

void on_attach(Adapter& adapter, const json& request, const json& args) {
  if (adapter.live == nullptr) {
    return send_error(adapter, request,
                      "attach needs a running window (quillomar --debug-port N); `quill dap` only launches");
  }
  if (adapter.launched || adapter.attached) return send_error(adapter, request, "a program is already loaded");
  debug::ProgramSource names;
  (void)field_string(args, "map", names.map_path);
  (void)field_string(args, "symbols", names.symbols_path);
  debug::BorrowedMachine lent;
  const LiveMachine& live = *adapter.live;
  if (!live.pause(live.context, &lent.memory, &lent.size, &lent.processor)) {
    return send_error(adapter, request, "the window's machine has ended");
  }
  std::string error;
  if (!debug::session_borrow(adapter.session, lent, names, error)) {
    live.resume(live.context, nullptr, 0);
    return send_error(adapter, request, error);
  }
  adapter.attached = true;
  send_response(adapter, request, json::object());
  send_event(adapter, "initialized", nullptr);
}

void on_configuration_done(Adapter& adapter, const json& request, const json&) {
  send_response(adapter, request, json::object());
  if (adapter.configured || !(adapter.launched || adapter.attached)) return;
  adapter.configured = true;
  start_program(adapter);
}

void on_terminate(Adapter& adapter, const json& request, const json&) {
  adapter.abandon.store(1);
  stop_worker(adapter);
  send_response(adapter, request, json::object());
  if (!adapter.finished) {
    adapter.finished = true;
    send_event(adapter, "terminated", json::object());
  }
}

void on_disconnect(Adapter& adapter, const json& request, const json&) {
  adapter.abandon.store(1);
  stop_worker(adapter);
  if (adapter.attached) {  // the window's machine goes on as if nobody had looked
    adapter.live->resume(adapter.live->context, nullptr, 0);
    adapter.attached = false;
  }
  send_response(adapter, request, json::object());
  adapter.disconnected = true;
}

}  // namespace quill::dap
