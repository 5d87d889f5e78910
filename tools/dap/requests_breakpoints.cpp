// Breakpoints: at source lines, at labels, at addresses, and on memory (the
// session's watches). Each request replaces what the same kind set before.
#include <filesystem>

#include "tools/dap/adapter.h"
#include "tools/debug/command.h"

namespace quill::dap {
namespace {

// How far below a line without an instruction (a comment, a label alone) a line breakpoint slides.
constexpr uint32_t kLineSlide = 20;

void forget(Adapter& adapter, BreakpointSet& set) {
  for (const uint32_t id : set.ids) (void)debug::session_delete(adapter.session, id);
  set.ids.clear();
}

// The map file a client's path names: the same absolute path, or else the same file name.
bool file_of(const debug::Session& session, const std::string& path, uint32_t& file) {
  const std::string wanted = std::filesystem::path(path).lexically_normal().string();
  const std::string name = std::filesystem::path(path).filename().string();
  for (uint32_t pass = 0; pass < 2; ++pass) {
    for (uint32_t k = 0; k < session.map.files.size(); ++k) {
      std::string candidate;
      if (!field_string(source_of(session, k), pass == 0 ? "path" : "name", candidate)) continue;
      if (candidate == (pass == 0 ? wanted : name)) {
        file = k;
        return true;
      }
    }
  }
  return false;
}

// Adds one breakpoint with its optional condition; the reply's entry either way.
json add(Adapter& adapter, BreakpointSet& set, uint64_t address, const std::string& location, const json& asked) {
  debug::Condition condition;
  std::string text, error;
  if (field_string(asked, "condition", text) && !text.empty() && !debug::parse_condition(text, condition, error)) {
    return {{"verified", false}, {"message", error}};
  }
  uint32_t id = 0;
  if (!debug::session_add_breakpoint(adapter.session, address, location, condition, text, id)) {
    return {{"verified", false}, {"message", "the address lies outside memory"}};
  }
  set.ids.push_back(id);
  json reply = {{"id", id}, {"verified", true}, {"instructionReference", address_reference(address)}};
  if (const SourceSpan* span = source_map_span_at(adapter.session.map, address)) {
    reply["source"] = source_of(adapter.session, span->file);
    reply["line"] = span->line;
    reply["column"] = span->column;
  }
  return reply;
}

BreakpointSet& set_for_source(Adapter& adapter, const std::string& key) {
  for (BreakpointSet& set : adapter.lines) {
    if (set.key == key) return set;
  }
  adapter.lines.push_back(BreakpointSet{key, {}});
  return adapter.lines.back();
}

}  // namespace

void on_set_breakpoints(Adapter& adapter, const json& request, const json& args) {
  std::string path;
  const auto source = args.find("source");
  if (source == args.end() || !field_string(*source, "path", path)) {
    return send_error(adapter, request, "setBreakpoints needs source.path");
  }
  BreakpointSet& set = set_for_source(adapter, path);
  forget(adapter, set);
  uint32_t file = 0;
  const bool known = file_of(adapter.session, path, file);
  json replies = json::array();
  const json* wanted = field_array(args, "breakpoints");
  for (const json& asked : wanted != nullptr ? *wanted : json::array()) {
    int64_t line = 0;
    uint64_t address = 0;
    bool found = false;
    if (known && field_integer(asked, "line", line) && line > 0 && line < UINT32_MAX - kLineSlide) {
      for (uint32_t n = static_cast<uint32_t>(line); !found && n <= line + kLineSlide; ++n) {
        found = source_map_line_address(adapter.session.map, adapter.session.map.files[file], n, address);
      }
    }
    replies.push_back(found ? add(adapter, set, address, path + ":" + std::to_string(line), asked)
                            : json{{"verified", false}, {"message", "no instruction comes from this line"}});
  }
  send_response(adapter, request, {{"breakpoints", replies}});
}

void on_set_function_breakpoints(Adapter& adapter, const json& request, const json& args) {
  forget(adapter, adapter.functions);
  json replies = json::array();
  const json* wanted = field_array(args, "breakpoints");
  for (const json& asked : wanted != nullptr ? *wanted : json::array()) {
    std::string name, error;
    uint64_t address = 0;
    if (!field_string(asked, "name", name) || !debug::parse_location(adapter.session, name, address, error)) {
      replies.push_back({{"verified", false}, {"message", error.empty() ? "a breakpoint needs a name" : error}});
      continue;
    }
    replies.push_back(add(adapter, adapter.functions, address, name, asked));
  }
  send_response(adapter, request, {{"breakpoints", replies}});
}

void on_set_instruction_breakpoints(Adapter& adapter, const json& request, const json& args) {
  forget(adapter, adapter.instructions);
  json replies = json::array();
  const json* wanted = field_array(args, "breakpoints");
  for (const json& asked : wanted != nullptr ? *wanted : json::array()) {
    std::string reference;
    uint64_t address = 0;
    int64_t offset = 0;
    (void)field_integer(asked, "offset", offset);
    if (!field_string(asked, "instructionReference", reference) || !parse_reference(reference, address)) {
      replies.push_back({{"verified", false}, {"message", "an instruction reference is a decimal address"}});
      continue;
    }
    address = static_cast<uint64_t>(static_cast<int64_t>(address) + offset);
    replies.push_back(add(adapter, adapter.instructions, address, reference, asked));
  }
  send_response(adapter, request, {{"breakpoints", replies}});
}

// A data breakpoint is a watch over a location or a range "FIRST..LAST" the
// evaluate syntax names (a label, an address, file:line).
void on_data_breakpoint_info(Adapter& adapter, const json& request, const json& args) {
  std::string name, error;
  (void)field_string(args, "name", name);
  int64_t reference = 0;
  if (field_integer(args, "variablesReference", reference) && reference != 0) {
    return send_response(adapter, request,
                         {{"dataId", nullptr}, {"description", "registers and stacks cannot be watched; memory can"}});
  }
  const size_t dots = name.find("..");
  uint64_t first = 0, last = 0;
  if (!debug::parse_location(adapter.session, name.substr(0, dots), first, error) ||
      (dots != std::string::npos && !debug::parse_location(adapter.session, name.substr(dots + 2), last, error))) {
    return send_response(adapter, request, {{"dataId", nullptr}, {"description", error}});
  }
  if (dots == std::string::npos) last = first;
  if (last < first || last - first >= debug::kWatchMaxTrytes) {
    return send_response(adapter, request,
                         {{"dataId", nullptr}, {"description", "a watch covers 1 to 4096 trytes, first to last"}});
  }
  const std::string id = std::to_string(first) + ".." + std::to_string(last);
  send_response(adapter, request,
                {{"dataId", id}, {"description", "writes to " + name + " (" + id + ")"}, {"accessTypes", {"write"}}});
}

void on_set_data_breakpoints(Adapter& adapter, const json& request, const json& args) {
  forget(adapter, adapter.data);
  json replies = json::array();
  const json* wanted = field_array(args, "breakpoints");
  for (const json& asked : wanted != nullptr ? *wanted : json::array()) {
    std::string id;
    uint64_t first = 0, last = 0;
    const size_t dots = field_string(asked, "dataId", id) ? id.find("..") : std::string::npos;
    uint32_t watch = 0;
    if (dots == std::string::npos || !parse_reference(id.substr(0, dots), first) ||
        !parse_reference(id.substr(dots + 2), last) || !debug::session_add_watch(adapter.session, first, last, watch)) {
      replies.push_back({{"verified", false}, {"message", "not a data id from dataBreakpointInfo"}});
      continue;
    }
    adapter.data.ids.push_back(watch);
    replies.push_back({{"id", watch}, {"verified", true}});
  }
  send_response(adapter, request, {{"breakpoints", replies}});
}

}  // namespace quill::dap
