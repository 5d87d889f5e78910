// The adapter's state and the request handlers, shared by the files of tools/dap.
// The server's thread reads requests and answers them; `continue` and the steps
// run the machine on a worker thread, so that `pause`, `threads` and `evaluate`
// are answered while the program runs. The session is touched only by whichever
// of the two owns it: the worker while `running` is set, the reader otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/thread.h"
#include "tools/dap/server.h"
#include "tools/debug/session.h"

namespace quill::dap {

using nlohmann::json;

// Thread ids: the main machine, then one per auxiliary core.
inline constexpr int64_t kMainThread = 1;
inline constexpr int64_t kFirstCoreThread = 2;

// Variable references: the registers, the cores, a frame's stacks (kStacks + its
// depth) and one stack's values (kStackVariables + depth * 20 + the stack's number).
enum : int64_t { kRegisters = 1, kCores = 2, kStacks = 1000, kStackVariables = 2000 };

// What the worker is asked to do.
enum class Motion : uint8_t { go, next, step_in, step_out, step_back, reverse_go };

// The breakpoints one request kind owns: DAP replaces them as a whole each time.
struct BreakpointSet {
  std::string key;  // the source path for line breakpoints, "" for the other kinds
  std::vector<uint32_t> ids;
};

struct Adapter {
  DapChannel* channel = nullptr;
  const LiveMachine* live = nullptr;
  PlatformLock write_lock;  // one message at a time, from either thread
  int64_t seq = 1;          // under write_lock
  debug::Session session;
  bool launched = false, attached = false, stop_on_entry = false, configured = false;
  uint64_t speed = 0;     // instructions per second for `continue`; 0 runs unpaced
  bool finished = false;  // exited and terminated were sent
  bool disconnected = false;
  // The worker and its motion.
  PlatformThread worker;
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> abandon{0};  // disconnect or terminate while running: end without events
  Motion motion = Motion::go;
  // Line breakpoints per source, then function, instruction and data breakpoints.
  std::vector<BreakpointSet> lines;
  BreakpointSet functions, instructions, data;
};

// Messages.
void send_response(Adapter& adapter, const json& request, const json& body);
void send_error(Adapter& adapter, const json& request, const std::string& message);
void send_event(Adapter& adapter, const char* event, const json& body);
void send_output(Adapter& adapter, const std::string& text, const char* category);

// Field readers that never throw: false when the field is missing or of another type.
[[nodiscard]] bool field_string(const json& object, const char* name, std::string& out);
[[nodiscard]] bool field_integer(const json& object, const char* name, int64_t& out);
[[nodiscard]] bool field_bool(const json& object, const char* name, bool& out);
[[nodiscard]] const json* field_array(const json& object, const char* name);

// An address as the client sees it (memoryReference, instructionReference): decimal.
[[nodiscard]] std::string address_reference(uint64_t address);
[[nodiscard]] bool parse_reference(const std::string& text, uint64_t& address);

// The DAP "source" of a map file, and the file index of a client's path (false when none).
[[nodiscard]] json source_of(const debug::Session& session, uint32_t file);

// Stops the worker (asking the program to pause) and joins it.
void stop_worker(Adapter& adapter);

// Request handlers: each answers `request` (whose arguments are `args`).
using Handler = void (*)(Adapter& adapter, const json& request, const json& args);

void on_initialize(Adapter&, const json&, const json&);
void on_launch(Adapter&, const json&, const json&);
void on_attach(Adapter&, const json&, const json&);
void on_configuration_done(Adapter&, const json&, const json&);
void on_disconnect(Adapter&, const json&, const json&);
void on_terminate(Adapter&, const json&, const json&);

void on_set_breakpoints(Adapter&, const json&, const json&);
void on_set_function_breakpoints(Adapter&, const json&, const json&);
void on_set_instruction_breakpoints(Adapter&, const json&, const json&);
void on_data_breakpoint_info(Adapter&, const json&, const json&);
void on_set_data_breakpoints(Adapter&, const json&, const json&);

void on_threads(Adapter&, const json&, const json&);
void on_stack_trace(Adapter&, const json&, const json&);
void on_scopes(Adapter&, const json&, const json&);
void on_variables(Adapter&, const json&, const json&);
void on_read_memory(Adapter&, const json&, const json&);
void on_disassemble(Adapter&, const json&, const json&);
void on_evaluate(Adapter&, const json&, const json&);

void on_continue(Adapter&, const json&, const json&);
void on_next(Adapter&, const json&, const json&);
void on_step_in(Adapter&, const json&, const json&);
void on_step_out(Adapter&, const json&, const json&);
void on_step_back(Adapter&, const json&, const json&);
void on_reverse_continue(Adapter&, const json&, const json&);
void on_pause(Adapter&, const json&, const json&);

// Starts the machine as configured: stopped at the entry, or running.
void start_program(Adapter& adapter);

}  // namespace quill::dap
