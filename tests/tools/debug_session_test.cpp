// The debugger's session without its terminal: where breakpoints, conditions,
// watches and the stepping commands stop a small assembled program, and the
// wait for a key.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "codec/tryte.h"
#include "support/temp_folder.h"
#include "tools/debug/command.h"
#include "tools/debug/session.h"

namespace quill::test {
namespace {

// `double` is called from main (depth 1, acc 5) and through `outer` (depth 2, acc 2).
constexpr char kProgram[] = R"(main:
  lit 3
  push 0
  jsr double, 5
  push 1
  jsr outer, 2
  nil
  push 4
  lit 42
  push 5
  lit slot
  call 4 5
  lit 7
  halt
double:
  push 2
  push 2
  add 2 2
  ret
outer:
  jsr double
  ret
slot:
  .zero 4
)";

struct Motion {
  debug::Resume mode;
  const char* where = "";  // until's target
  uint64_t count = 1;
};

struct Case {
  const char* name;
  std::vector<const char*> breakpoints;  // "LOCATION" or "LOCATION if CONDITION"
  const char* watch;                     // "" or "FIRST..LAST"
  std::vector<Motion> motions;
  debug::StopReason reason;
  const char* pc;  // a location
  uint32_t depth;
  int64_t acc;
};

const debug::Resume kGo = debug::Resume::go;
const debug::Resume kStep = debug::Resume::step;

const Case kCases[] = {
    {"one step", {}, "", {{kStep}}, debug::StopReason::done, "main+2", 0, 3},
    {"steps into a call",
     {},
     "",
     {{debug::Resume::until, "p.tasm:4"}, {kStep, "", 5}},
     debug::StopReason::done,
     "double",
     1,
     5},
    {"next takes the call whole",
     {},
     "",
     {{debug::Resume::until, "p.tasm:4"}, {kStep, "", 4}, {debug::Resume::next}},
     debug::StopReason::done,
     "p.tasm:5",
     0,
     10},
    {"until a line", {}, "", {{debug::Resume::until, "p.tasm:5"}}, debug::StopReason::done, "p.tasm:5", 0, 10},
    {"breakpoint at a label", {"double"}, "", {{kGo}}, debug::StopReason::breakpoint, "double", 1, 5},
    {"breakpoint by number", {"216679"}, "", {{kGo}}, debug::StopReason::ended, "double", 0, 7},
    {"continue to the next hit", {"double"}, "", {{kGo}, {kGo}}, debug::StopReason::breakpoint, "double", 2, 2},
    {"hit count", {"double if hits >= 2"}, "", {{kGo}}, debug::StopReason::breakpoint, "double", 2, 2},
    {"acc", {"double if acc == 2"}, "", {{kGo}}, debug::StopReason::breakpoint, "double", 2, 2},
    {"depth", {"double if depth > 1"}, "", {{kGo}}, debug::StopReason::breakpoint, "double", 2, 2},
    {"stack top", {"p.tasm:17 if top 2 == 2"}, "", {{kGo}}, debug::StopReason::breakpoint, "double+2", 2, 2},
    {"stack count, never", {"p.tasm:17 if stack 2 > 1"}, "", {{kGo}}, debug::StopReason::ended, "double", 0, 7},
    {"finish", {"double"}, "", {{kGo}, {debug::Resume::finish}}, debug::StopReason::done, "p.tasm:5", 0, 10},
    {"finish one level of two",
     {"double if depth == 2"},
     "",
     {{kGo}, {debug::Resume::finish}},
     debug::StopReason::done,
     "p.tasm:22",
     1,
     4},
    {"until returns with the call",
     {"double"},
     "",
     {{kGo}, {debug::Resume::until, "main"}},
     debug::StopReason::done,
     "p.tasm:5",
     0,
     10},
    {"a step stops at a breakpoint",
     {"p.tasm:3"},
     "",
     {{kStep, "", 10}},
     debug::StopReason::breakpoint,
     "main+2",
     0,
     3},
    {"watch", {}, "slot..slot+3", {{kGo}}, debug::StopReason::watch, "p.tasm:13", 0, 216759},  // acc: slot's address
    {"watch elsewhere", {}, "slot+3", {{kGo}}, debug::StopReason::ended, "double", 0, 7},
};

// A recursive count-down from 3: `back`, the return address of the call in
// `down`, is reached at depths 3, 2 and 1 in turn, so a stop there must look at
// the depth before it completes a next, finish or until. The "~" of the deepest
// call's jle (216719) leaves its address in acc all the way back.
constexpr char kRecursive[] = R"(main:
  jsr down, 3
  lit 7
  halt
down:
  push 0
  jle done, #0
  pop 0
  push 0
  lit 1
  push 1
  sub 0 1
  jsr down
back:
  ret
done:
  ret
)";

const Case kRecursiveCases[] = {
    {"next over a call that recurses",
     {"back-3 if depth == 1"},
     "",
     {{kGo}, {debug::Resume::next}},
     debug::StopReason::done,
     "back",
     1,
     216719},
    {"until where a deeper call passes first",
     {"down if depth == 1"},
     "",
     {{kGo}, {debug::Resume::until, "back"}},
     debug::StopReason::done,
     "back",
     1,
     216719},
    {"finish from the deepest call",
     {"done"},
     "",
     {{kGo}, {debug::Resume::finish}},
     debug::StopReason::done,
     "back",
     3,
     216719},
    {"the second hit of a return address",
     {"back if hits == 2"},
     "",
     {{kGo}},
     debug::StopReason::breakpoint,
     "back",
     2,
     216719},
    {"stepping across the recursion", {}, "", {{kStep, "", 40}}, debug::StopReason::done, "down+31", 2, 2},
};

class DebugSession : public ::testing::Test {
 protected:
  TempFolder folder;
  debug::Session session;
  bool recording = true;  // set on each load

  void load(const std::string& text) {
    folder.write("p.tasm", text);
    debug::ProgramSource program;
    program.path = folder.file("p.tasm");
    program.assembled = true;
    std::string error;
    ASSERT_TRUE(debug::session_load(session, program, error)) << error;
    debug::session_record(session, recording);
  }

  uint64_t at(const std::string& where) {
    uint64_t address = 0;
    std::string error;
    EXPECT_TRUE(debug::parse_location(session, where, address, error)) << error;
    return address;
  }

  void TearDown() override { debug::session_close(session); }
};

// Going back: a program with calls, a store, host calls that write memory, move
// the read cursor and take a key.
constexpr char kReversible[] = R"(main:
  lit 3
  push 0
  jsr double, 5
  sys -6, slot, 77
  sys -13, slot
  sys -15
  push 1
  jsr outer, 2
  nil
  push 4
  lit 42
  push 5
  lit slot
  call 4 5
  sys -320002
  halt
double:
  push 2
  push 2
  add 2 2
  ret
outer:
  jsr double
  ret
  .pool
slot:
  .zero 12
)";

// Everything going back must put back: registers, every frame's stacks and return
// address, the program's memory, the read cursor and the key queue.
std::string state_of(debug::Session& session) {
  const Machine& m = debug::session_machine(session);
  const HostState& host = session.host.processor->host;
  std::string s;
  const auto add = [&s](uint64_t value, char after) {
    s += std::to_string(value);
    s += after;
  };
  for (const uint64_t v : {m.pc, static_cast<uint64_t>(m.acc), uint64_t{m.depth}, m.executed, uint64_t{m.status},
                           host.read_cursor, uint64_t{host.key_count}}) {
    add(v, ' ');
  }
  for (uint32_t d = 0; d <= kMaxDepth && d <= m.depth + 1; ++d) {
    add(m.frames[d].return_address, '|');
    for (const ValueStack& stack : m.frames[d].stacks) {
      add(stack.count, ':');
      for (uint32_t k = 0; k < stack.count; ++k) add(static_cast<uint64_t>(stack.values[k]), ',');
    }
  }
  uint64_t hash = 14695981039346656037ull;
  for (uint64_t b = 3 * kBootAddress; b < 3 * (kBootAddress + 400); ++b) hash = (hash ^ m.memory[b]) * 1099511628211ull;
  add(hash, '.');
  return s;
}

TEST_F(DebugSession, GoingBackEqualsGoingForward) {
  load(kReversible);
  ASSERT_TRUE(debug::session_push_keys(session, {28}));
  std::vector<std::string> states{state_of(session)};
  debug::Stop stop;
  while (debug::session_resume(session, {debug::Resume::step, 1, 0}, stop) && stop.reason == debug::StopReason::done) {
    states.push_back(state_of(session));
  }
  ASSERT_EQ(stop.reason, debug::StopReason::ended);
  states.push_back(state_of(session));
  const std::string end = states.back();
  // Back one step at a time to the load, each state as it was going forward.
  for (size_t k = states.size() - 1; k > 0; --k) {
    ASSERT_TRUE(debug::session_reverse(session, {debug::Resume::step, 1, 0}, stop));
    ASSERT_EQ(state_of(session), states[k - 1]) << "step " << k;
  }
  EXPECT_EQ(stop.reason, debug::StopReason::oldest);
  EXPECT_FALSE(debug::session_reverse(session, {}, stop));
  // Forward again re-executes to the same end, the key taken again.
  ASSERT_TRUE(debug::session_resume(session, {}, stop));
  EXPECT_EQ(state_of(session), end);

  // Against a fresh session stepped N - K.
  struct Back {
    uint64_t forward, back;
  };
  for (const Back b : {Back{10, 1}, Back{12, 5}, Back{30, 29}, Back{states.size() - 1, 7}}) {
    SCOPED_TRACE(std::to_string(b.forward) + " back " + std::to_string(b.back));
    load(kReversible);
    session.timeline.interval = 4;  // many checkpoints, host calls replayed between them
    ASSERT_TRUE(debug::session_push_keys(session, {28}));
    ASSERT_TRUE(debug::session_resume(session, {debug::Resume::step, b.forward, 0}, stop));
    ASSERT_TRUE(debug::session_reverse(session, {debug::Resume::step, b.back, 0}, stop));
    EXPECT_EQ(stop.executed, b.back);
    EXPECT_EQ(state_of(session), states[b.forward - b.back]);
  }
}

struct BackCase {
  const char* name;
  const char* breakpoint;  // set before going back; "" for none
  const char* watch;       // likewise
  const char* forward;     // where to go first: "" to the end, else until a breakpoint there
  debug::Resume mode;
  debug::StopReason reason;
  const char* pc;
  uint32_t depth;
  uint64_t undone;
  const char* slot;  // the first trytes at slot after going back
};

const BackCase kBackCases[] = {
    {"continue to a breakpoint passed", "double", "", "", kGo, debug::StopReason::breakpoint, "double", 2, 17, ""},
    {"continue to the oldest step", "", "", "", kGo, debug::StopReason::oldest, "main", 0, 53, ""},
    {"a store undone", "", "slot", "", kGo, debug::StopReason::watch, "p.tasm:15", 0, 7, ""},
    {"a host write undone", "", "slot..slot+9", "p.tasm:15", kGo, debug::StopReason::watch, "main+31", 0, 31, "..."},
    {"next over a call", "", "", "p.tasm:5", debug::Resume::next, debug::StopReason::done, "main+16", 0, 5, ""},
    {"next into the caller", "", "", "double", debug::Resume::next, debug::StopReason::done, "main+16", 0, 1, ""},
    {"finish", "", "", "p.tasm:21", debug::Resume::finish, debug::StopReason::done, "main+16", 0, 3, ""},
};

TEST_F(DebugSession, GoingBackStopsWhereAsked) {
  for (const BackCase& c : kBackCases) {
    SCOPED_TRACE(c.name);
    debug::session_delete_all(session);
    load(kReversible);
    session.timeline.interval = 5;  // the search back crosses checkpoints
    ASSERT_TRUE(debug::session_push_keys(session, {28}));
    uint32_t id = 0;
    if (*c.forward != '\0') {
      ASSERT_TRUE(debug::session_add_breakpoint(session, at(c.forward), "", {}, "", id));
    }
    debug::Stop stop;
    ASSERT_TRUE(debug::session_resume(session, {}, stop));
    debug::session_delete_all(session);
    if (*c.breakpoint != '\0') {
      ASSERT_TRUE(debug::session_add_breakpoint(session, at(c.breakpoint), "", {}, "", id));
    }
    const std::string watch = c.watch;
    if (!watch.empty()) {
      const size_t dots = watch.find("..");
      const uint64_t first = at(watch.substr(0, dots));
      ASSERT_TRUE(
          debug::session_add_watch(session, first, dots == std::string::npos ? first : at(watch.substr(dots + 2)), id));
    }
    ASSERT_TRUE(debug::session_reverse(session, {c.mode, 1, 0}, stop));
    const Machine& machine = debug::session_machine(session);
    EXPECT_EQ(stop.reason, c.reason);
    EXPECT_EQ(machine.pc, at(c.pc));
    EXPECT_EQ(machine.depth, c.depth);
    EXPECT_EQ(stop.executed, c.undone);
    if (c.reason == debug::StopReason::watch) {
      EXPECT_EQ(stop.writer, machine.pc);
    }
    const std::string slot = c.slot;
    for (size_t k = 0; k < slot.size(); ++k) {
      EXPECT_EQ(kSymbolAlphabet[tryte_value_at(machine.memory, at("slot") + k)], slot[k]) << k;
    }
  }
}

// Recording steps one instruction at a time; the plain run goes in engine batches
// between stops. Both stop at the same places.
TEST_F(DebugSession, StopsWhereAsked) {
  std::vector<std::pair<const char*, const Case*>> all;
  for (const Case& c : kCases) all.emplace_back(kProgram, &c);
  for (const Case& c : kRecursiveCases) all.emplace_back(kRecursive, &c);
  for (const bool on : {true, false}) {
    recording = on;
    for (const auto& [program, each] : all) {
      const Case& c = *each;
      SCOPED_TRACE(std::string(c.name) + (on ? ", recording" : ""));
      debug::session_delete_all(session);
      load(program);
      for (const std::string breakpoint : c.breakpoints) {
        const size_t cut = breakpoint.find(" if ");
        debug::Condition condition;
        std::string error;
        if (cut != std::string::npos) {
          ASSERT_TRUE(debug::parse_condition(breakpoint.substr(cut + 4), condition, error)) << error;
        }
        uint32_t id = 0;
        ASSERT_TRUE(
            debug::session_add_breakpoint(session, at(breakpoint.substr(0, cut)), breakpoint, condition, "", id));
      }
      const std::string watch = c.watch;
      if (!watch.empty()) {
        const size_t dots = watch.find("..");
        uint32_t id = 0;
        const uint64_t first = at(watch.substr(0, dots));
        ASSERT_TRUE(debug::session_add_watch(session, first,
                                             dots == std::string::npos ? first : at(watch.substr(dots + 2)), id));
      }
      debug::Stop stop;
      for (const Motion& m : c.motions) {
        const debug::ResumeRequest request{m.mode, m.count, *m.where != '\0' ? at(m.where) : 0};
        ASSERT_TRUE(debug::session_resume(session, request, stop));
      }
      const Machine& machine = debug::session_machine(session);
      EXPECT_EQ(stop.reason, c.reason);
      if (c.reason != debug::StopReason::ended) {
        EXPECT_EQ(machine.pc, at(c.pc));
      }
      EXPECT_EQ(machine.depth, c.depth);
      EXPECT_EQ(machine.acc, c.acc);
    }
  }
}

TEST_F(DebugSession, EndedMachineResumesNoMoreAndWatchNamesItsWriter) {
  load(kProgram);
  uint32_t id = 0;
  ASSERT_TRUE(debug::session_add_watch(session, at("slot"), at("slot"), id));
  debug::Stop stop;
  ASSERT_TRUE(debug::session_resume(session, {}, stop));
  EXPECT_EQ(stop.writer, at("p.tasm:12"));
  ASSERT_TRUE(debug::session_resume(session, {}, stop));
  EXPECT_EQ(stop.reason, debug::StopReason::ended);
  EXPECT_EQ(debug::session_machine(session).status, status_halted);
  EXPECT_FALSE(debug::session_resume(session, {}, stop));
  EXPECT_TRUE(debug::session_delete(session, id));
  EXPECT_FALSE(debug::session_delete(session, id));
}

TEST_F(DebugSession, GoingBackOverDrawingSaysThePictureStays) {
  load("main:\n  sys -160018, 5, 0\n  sys -160003, 12, 1\n  sys -1\n  halt\n  .pool\n");
  const HostState& host = session.host.processor->host;
  debug::Stop stop;
  ASSERT_TRUE(debug::session_resume(session, {}, stop));
  const uint32_t drawn = host.pixels[12];
  ASSERT_NE(drawn, host.pixels[11]);
  struct Back {
    uint64_t steps;
    uint8_t kept;
    uint64_t fb_cursor;
  };
  for (const Back b : {Back{2, 0, 5}, Back{5, debug::kKeptPicture, 5}, Back{20, debug::kKeptPicture, 0}}) {
    ASSERT_TRUE(debug::session_reverse(session, {debug::Resume::step, b.steps, 0}, stop));
    EXPECT_EQ(stop.kept, b.kept) << b.steps;
    EXPECT_EQ(host.fb_cursor, b.fb_cursor) << b.steps;
  }
  EXPECT_EQ(stop.reason, debug::StopReason::oldest);
  EXPECT_EQ(host.pixels[12], drawn);
}

TEST_F(DebugSession, WaitsForKeysAndTakesThem) {
  for (const bool on : {true, false}) {  // one step at a time, and in batches
    recording = on;
    SCOPED_TRACE(on ? "recording" : "batches");
    load("main:\n  sys -320004\n  sys -320002\n  halt\n");
    debug::Stop stop;
    ASSERT_TRUE(debug::session_resume(session, {}, stop));
    EXPECT_EQ(stop.reason, debug::StopReason::key_wait);
    ASSERT_TRUE(debug::session_resume(session, {}, stop));
    EXPECT_EQ(stop.reason, debug::StopReason::key_wait);
    EXPECT_EQ(stop.executed, 0u);
    ASSERT_TRUE(debug::session_push_keys(session, {28}));
    ASSERT_TRUE(debug::session_resume(session, {}, stop));
    EXPECT_EQ(stop.reason, debug::StopReason::ended);
    EXPECT_EQ(debug::session_machine(session).acc, 28);
  }
}

TEST_F(DebugSession, PauseFromAnotherThreadStopsAnEndlessLoop) {
  for (const bool on : {true, false}) {  // one step at a time, and in batches
    recording = on;
    SCOPED_TRACE(on ? "recording" : "batches");
    load("main:\n  jmp main\n");
    session.pause_requested.store(1);
    debug::Stop stop;
    ASSERT_TRUE(debug::session_resume(session, {}, stop));
    EXPECT_EQ(stop.reason, debug::StopReason::paused);
    EXPECT_EQ(stop.executed, 0u);
    std::thread pauser([this] { session.pause_requested.store(1); });
    ASSERT_TRUE(debug::session_resume(session, {}, stop));
    pauser.join();
    EXPECT_EQ(stop.reason, debug::StopReason::paused);
    EXPECT_EQ(debug::session_machine(session).status, status_ready);
  }
}

TEST(DebugParse, ConditionsAndLocations) {
  struct Text {
    const char* text;
    bool ok;
  };
  for (const Text t : {Text{"acc == 5", true},
                       {"top 19 != nil", true},
                       {"hits >= 0x10", true},
                       {"depth <= -1", true},
                       {"stack 20 > 1", false},
                       {"acc = 5", false},
                       {"pc == 5", false},
                       {"acc ==", false},
                       {"acc == 5 6", false},
                       {"stack > 1", false}}) {
    debug::Condition condition;
    std::string error;
    EXPECT_EQ(debug::parse_condition(t.text, condition, error), t.ok) << t.text;
  }
  debug::Condition nil_top;
  std::string error;
  ASSERT_TRUE(debug::parse_condition("top 3 == nil", nil_top, error));
  Machine machine;
  EXPECT_TRUE(debug::condition_holds(nil_top, machine, 0));
  ASSERT_TRUE(debug::parse_condition("acc < 5", nil_top, error));
  EXPECT_FALSE(debug::condition_holds(nil_top, machine, 0));  // NIL is not below anything
}

TEST_F(DebugSession, LocationNotations) {
  load(kProgram);
  for (const auto& [text, address] : std::vector<std::pair<const char*, uint64_t>>{{"216679", 216679},
                                                                                   {"216_679", 216679},
                                                                                   {"0x34E67", 216679},
                                                                                   {"main", 216679},
                                                                                   {"main+2", 216681},
                                                                                   {"double-1", at("double") - 1},
                                                                                   {"p.tasm:3", 216681},
                                                                                   {"pc", 216679}}) {
    EXPECT_EQ(at(text), address) << text;
  }
  for (const char* bad : {"64000000", "nowhere", "main+", "p.tasm:1", "p.tasm:x", "other.tasm:3", "0x", "_1"}) {
    uint64_t address = 0;
    std::string error;
    EXPECT_FALSE(debug::parse_location(session, bad, address, error)) << bad;
  }
}

}  // namespace
}  // namespace quill::test
