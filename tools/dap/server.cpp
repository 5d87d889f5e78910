// The server loop: one request at a time off the channel, each answered by its
// handler. Requests that need the stopped machine are refused while it runs.
#include <filesystem>

#include "tools/dap/adapter.h"
#include "tools/dap/framing.h"

namespace quill::dap {
namespace {

struct Route {
  const char* command;
  Handler handler;
  bool while_running;  // answered while the worker runs the machine
};

constexpr Route kRoutes[] = {
    {"initialize", on_initialize, false},
    {"launch", on_launch, false},
    {"attach", on_attach, false},
    {"configurationDone", on_configuration_done, false},
    {"disconnect", on_disconnect, true},
    {"terminate", on_terminate, true},
    {"setBreakpoints", on_set_breakpoints, false},
    {"setFunctionBreakpoints", on_set_function_breakpoints, false},
    {"setInstructionBreakpoints", on_set_instruction_breakpoints, false},
    {"dataBreakpointInfo", on_data_breakpoint_info, false},
    {"setDataBreakpoints", on_set_data_breakpoints, false},
    {"threads", on_threads, true},
    {"stackTrace", on_stack_trace, false},
    {"scopes", on_scopes, false},
    {"variables", on_variables, false},
    {"readMemory", on_read_memory, false},
    {"disassemble", on_disassemble, false},
    {"evaluate", on_evaluate, true},
    {"continue", on_continue, false},
    {"next", on_next, false},
    {"stepIn", on_step_in, false},
    {"stepOut", on_step_out, false},
    {"stepBack", on_step_back, false},
    {"reverseContinue", on_reverse_continue, false},
    {"pause", on_pause, true},
};

std::string dump(const json& message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

void send(Adapter& adapter, json message) {
  LockGuard guard(adapter.write_lock);
  message["seq"] = adapter.seq++;
  (void)frame_write(*adapter.channel, dump(message));
}

void dispatch(Adapter& adapter, const json& request) {
  std::string command;
  if (!field_string(request, "command", command)) return send_error(adapter, request, "a request needs a command");
  static const json kNoArguments = json::object();
  const auto args = request.find("arguments");
  const json& arguments = args != request.end() && args->is_object() ? *args : kNoArguments;
  for (const Route& route : kRoutes) {
    if (command != route.command) continue;
    if (!route.while_running && adapter.running.load() != 0) {
      return send_error(adapter, request, "the program is running; pause it first");
    }
    return route.handler(adapter, request, arguments);
  }
  send_error(adapter, request, "'" + command + "' is not supported");
}

}  // namespace

void send_response(Adapter& adapter, const json& request, const json& body) {
  json message = {{"type", "response"}, {"success", true}, {"body", body}};
  int64_t seq = 0;
  std::string command;
  message["request_seq"] = field_integer(request, "seq", seq) ? seq : 0;
  message["command"] = field_string(request, "command", command) ? command : "";
  send(adapter, std::move(message));
}

void send_error(Adapter& adapter, const json& request, const std::string& text) {
  json message = {{"type", "response"}, {"success", false}, {"message", text}};
  message["body"] = {{"error", {{"id", 1}, {"format", text}, {"showUser", true}}}};
  int64_t seq = 0;
  std::string command;
  message["request_seq"] = field_integer(request, "seq", seq) ? seq : 0;
  message["command"] = field_string(request, "command", command) ? command : "";
  send(adapter, std::move(message));
}

void send_event(Adapter& adapter, const char* event, const json& body) {
  json message = {{"type", "event"}, {"event", event}};
  if (!body.is_null()) message["body"] = body;
  send(adapter, std::move(message));
}

void send_output(Adapter& adapter, const std::string& text, const char* category) {
  send_event(adapter, "output", {{"category", category}, {"output", text}});
}

bool field_string(const json& object, const char* name, std::string& out) {
  if (!object.is_object()) return false;
  const auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

bool field_integer(const json& object, const char* name, int64_t& out) {
  if (!object.is_object()) return false;
  const auto it = object.find(name);
  if (it == object.end() || !it->is_number_integer()) return false;
  out = it->get<int64_t>();
  return true;
}

bool field_bool(const json& object, const char* name, bool& out) {
  if (!object.is_object()) return false;
  const auto it = object.find(name);
  if (it == object.end() || !it->is_boolean()) return false;
  out = it->get<bool>();
  return true;
}

const json* field_array(const json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(name);
  return it == object.end() || !it->is_array() ? nullptr : &*it;
}

std::string address_reference(uint64_t address) { return std::to_string(address); }

bool parse_reference(const std::string& text, uint64_t& address) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  address = value;
  return true;
}

json source_of(const debug::Session& session, uint32_t file) {
  const std::string& name = session.map.files[file];
  std::error_code failed;
  const std::filesystem::path full = std::filesystem::absolute(name, failed);
  const std::string path = failed ? name : full.lexically_normal().string();
  return {{"name", std::filesystem::path(name).filename().string()}, {"path", path}};
}

bool dap_serve(DapChannel& channel, const DapServerOptions& options) {
  Adapter adapter;
  adapter.channel = &channel;
  adapter.live = options.live;
  if (!lock_init(adapter.write_lock)) return false;
  FrameReader reader;
  std::string body;
  while (!adapter.disconnected && frame_read(channel, reader, body)) {
    const json request = json::parse(body, nullptr, false);
    if (request.is_discarded() || !request.is_object()) {
      send_output(adapter, "quill dap: a message that is not JSON was ignored\n", "console");
      continue;
    }
    std::string type;
    if (field_string(request, "type", type) && type == "request") dispatch(adapter, request);
  }
  stop_worker(adapter);
  // An editor that went away without a disconnect leaves the window's machine running.
  if (adapter.attached) adapter.live->resume(adapter.live->context, nullptr, 0);
  debug::session_close(adapter.session);
  lock_destroy(adapter.write_lock);
  return adapter.disconnected;
}

}  // namespace quill::dap
