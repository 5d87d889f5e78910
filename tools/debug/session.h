// A debugging session: one program on the headless host, run on the caller's
// thread in batches that stop exactly between two instructions, with breakpoints,
// watches and the source map. The terminal debugger (`quill debug`) talks to it through command lines
// (command.h); an editor's adapter can call these functions directly. Nothing
// here reads a terminal or prints.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "runner/headless.h"
#include "tools/debug/timeline.h"
#include "tools/map/source_map.h"

namespace quill::debug {

// What a breakpoint's condition looks at, compared with a number (or nil).
enum class Subject : uint8_t { none, acc, depth, hits, stack_count, stack_top };
enum class Compare : uint8_t { eq, ne, lt, le, gt, ge };

struct Condition {
  Subject subject = Subject::none;  // none: always true
  uint32_t stack = 0;               // for stack_count and stack_top
  Compare compare = Compare::eq;
  int64_t value = 0;  // NIL compares equal only to NIL
};

struct Breakpoint {
  uint32_t id = 0;
  uint64_t address = 0;
  std::string location;  // as the user named it
  Condition condition;
  std::string condition_text;
  uint64_t hits = 0;  // times pc reached the address, the condition aside
};

// Stops when any tryte of first..last changes, by an instruction or a host call.
struct Watch {
  uint32_t id = 0;
  uint64_t first = 0, last = 0;
  std::vector<uint8_t> bytes;  // the trit bytes as last seen
};

struct ProgramSource {
  std::string path;                    // the image or .tasm file
  bool assembled = false;              // a .tasm, assembled on load
  std::string symbols_path, map_path;  // for an image: names and places, either may be empty
  uint64_t entry = kBootAddress;
};

// The host state as it stood before one recorded host call, so that stepping back
// over the call puts back the cursors, colours, speed, sleep, halt and the keys it took.
struct HostMark {
  uint64_t step = 0;  // the position (timeline.h) at which the call was made
  int64_t call = 0;
  uint64_t read_cursor = 0, fb_cursor = 0, speed = 0, wake_ns = 0;
  uint32_t key_head = 0, key_count = 0, hold_depth = 0;
  TernaryColor color1, color0;
  bool halt_request = false, waiting_for_key = false, frame_dirty = false;
};

struct Session {
  HeadlessHost host;
  ProgramSource program;
  SourceMap map;  // empty when nothing names the addresses
  std::vector<Breakpoint> breakpoints;
  std::vector<Watch> watches;
  uint32_t next_id = 1;  // shared by breakpoints and watches, as the user numbers them
  bool loaded = false;
  bool borrowed = false;                    // the machine is lent by its owner (session_borrow), not freed here
  std::atomic<int32_t> pause_requested{0};  // set by any thread (an interrupt, an editor's pause)
  bool yielded = true;                      // the last instruction was a host call that yields (or none ran yet)
  std::vector<std::string> file_texts;      // the map's files, read on first use ("" until then)
  // Going back: every step is recorded while `recording` is on.
  bool recording = true;
  Timeline timeline;
  std::deque<HostMark> host_marks;  // of the recorded host calls, oldest first
};

enum class Resume : uint8_t {
  go,      // until a breakpoint, a watch or the end
  step,    // `count` instructions
  next,    // one instruction, a call as a whole
  finish,  // until the current call returns
  until,   // until pc reaches `target` or the current call returns
};

struct ResumeRequest {
  Resume mode = Resume::go;
  uint64_t count = 1;
  uint64_t target = 0;
};

enum class StopReason : uint8_t {
  done,        // the step, next, finish or until completed
  breakpoint,  // `id` names it
  watch,       // `id` names it; `writer` is the instruction that changed it
  ended,       // the machine stopped (halted or failed: see its status)
  key_wait,    // the program waits for a key and none is queued
  paused,      // pause_requested was set
  oldest,      // going back, the oldest recorded step was undone
};

// Bits of Stop::kept: what going back crossed but could not take back.
enum : uint8_t { kKeptPicture = 1, kKeptCores = 2 };

struct Stop {
  StopReason reason = StopReason::done;
  uint32_t id = 0;
  uint64_t writer = 0;
  uint64_t executed = 0;  // instructions executed by this resume (or undone, going back)
  uint8_t kept = 0;       // going back: kKeptPicture, kKeptCores
};

// Loads `program` into a fresh machine (assembling a .tasm, reading its map or
// symbols); the machine stands at the entry, nothing executed. Keeps breakpoints and
// watches, so a reload restarts the program. False with `error` set.
[[nodiscard]] bool session_load(Session& session, const ProgramSource& program, std::string& error);

// A machine its owner runs and lends between two instructions (the window's):
// memory of `size` trytes and the Processor over it, neither owned by the session.
struct BorrowedMachine {
  uint8_t* memory = nullptr;
  uint64_t size = 0;
  Processor* processor = nullptr;
};

// Debugs a lent machine as it stands: loads only the map or symbols named by
// `names` (its path is not read), leaves the machine's hooks alone and records
// nothing, so going back is not available. False with `error` set.
[[nodiscard]] bool session_borrow(Session& session, const BorrowedMachine& machine, const ProgramSource& names,
                                  std::string& error);

// Frees the machine, the cores and the memory (a borrowed machine is only let go).
void session_close(Session& session);

[[nodiscard]] inline Machine& session_machine(Session& session) { return session.host.processor->machine; }

// Adds a breakpoint at `address` and writes its id. False when the address is outside memory.
[[nodiscard]] bool session_add_breakpoint(Session& session, uint64_t address, const std::string& location,
                                          const Condition& condition, const std::string& condition_text, uint32_t& id);

// Adds a watch over first..last (at most kWatchMaxTrytes) and writes its id.
inline constexpr uint64_t kWatchMaxTrytes = 4096;
[[nodiscard]] bool session_add_watch(Session& session, uint64_t first, uint64_t last, uint32_t& id);

// Removes the breakpoint or watch `id`; false when there is none.
[[nodiscard]] bool session_delete(Session& session, uint32_t id);
void session_delete_all(Session& session);

enum class BatchEnd : uint8_t { ok, ended, key_wait };

// One batch of at most `count` (>= 1) instructions with the main runner's rules
// around it: after a batch that ended early (where a host call may have yielded)
// a key wait stops it before it starts (key_wait, nothing run) and a sleep the
// program asked for is slept; a halt request or a stopped machine ends it. Runs
// machine_run (honouring the engine's stops), or one machine_step when `count` is
// 1, through the recorder (recorder.h); a recorded batch may also end early at a
// checkpoint. Writes the instructions it ran into `executed`, an instruction that
// failed included.
[[nodiscard]] BatchEnd session_run_batch(Session& session, uint64_t count, uint64_t& executed);

// Runs as asked and says why it stopped. A breakpoint at the pc the run starts
// from does not stop it again; a pause request stops it before the next
// instruction (and is cleared). False when the machine has already stopped.
[[nodiscard]] bool session_resume(Session& session, const ResumeRequest& request, Stop& stop);

// Goes back as asked: step undoes `count` instructions, next undoes one with a call
// as a whole, finish goes back to the call that entered the current one, go until a
// breakpoint's instruction is next or a watched tryte changes back. Stops at the
// oldest recorded step. False when nothing is recorded.
[[nodiscard]] bool session_reverse(Session& session, const ResumeRequest& request, Stop& stop);

// Turns recording on or off; off forgets what was recorded.
void session_record(Session& session, bool on);

// Queues key codes for the program; false when the queue is full.
[[nodiscard]] bool session_push_keys(Session& session, const std::vector<int64_t>& codes);

// "label+offset (file:line)" for an address, or "" when nothing names it.
[[nodiscard]] std::string session_name(const Session& session, uint64_t address);

// The text of line `line` (1-based) of the map's file `file`; false when it has none.
[[nodiscard]] bool session_source_line(Session& session, uint32_t file, uint32_t line, std::string& text);

// The first watch whose trytes changed since it was last seen; its snapshot is renewed.
[[nodiscard]] const Watch* session_changed_watch(Session& session);

// The condition holds for the machine as it stands, counting `hits`.
[[nodiscard]] bool condition_holds(const Condition& condition, const Machine& machine, uint64_t hits);

}  // namespace quill::debug
