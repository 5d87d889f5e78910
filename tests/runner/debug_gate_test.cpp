// A debugger holding the main runner through its gate, on the headless host: the
// runner parks between instructions, the machine stays still while lent, and quit,
// stop and keys keep working around a park.
#include "runner/debug_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_calls.h"
#include "platform/clock.h"
#include "runner/headless.h"
#include "support/program_builder.h"

namespace quill {
namespace {

using test::ProgramBuilder;

constexpr uint32_t kPatienceMs = 30'000;  // longer than this is a hang
constexpr char kLoop[] = "B4 >1 ~0001";   // jumps back to its start forever, 3 instructions a turn
constexpr char kHalts[] = "15 >0 13 >1 +01 .";

struct Attached {
  HeadlessHost host;
  DebugGate gate;
  Machine* machine = nullptr;  // valid while lent

  Attached() {
    EXPECT_TRUE(headless_create(host, 20'000));
    EXPECT_TRUE(debug_gate_init(gate));
  }
  ~Attached() {
    headless_destroy(host);
    debug_gate_destroy(gate);
  }
  Attached(const Attached&) = delete;
  Attached& operator=(const Attached&) = delete;

  bool start(const std::string& symbols, uint64_t speed = 0) {
    HeadlessOptions options{0, speed, 0};
    options.debug_gate = &gate;
    return headless_load_program(host, symbols.data(), symbols.size(), 0) && headless_start(host, options);
  }
  bool start(const ProgramBuilder& program, uint64_t speed = 0) {
    HeadlessOptions options{0, speed, 0};
    options.debug_gate = &gate;
    return program.store(host.memory, host.size) && headless_start(host, options);
  }

  bool pause() {
    uint8_t* memory = nullptr;
    uint64_t size = 0;
    Processor* processor = nullptr;
    machine = nullptr;
    if (!debug_gate_pause(&gate, &memory, &size, &processor)) return false;
    EXPECT_EQ(memory, host.memory);
    EXPECT_EQ(size, host.size);
    EXPECT_EQ(processor, host.processor);
    machine = &processor->machine;
    return true;
  }
  void resume(const std::vector<uint64_t>& breakpoints = {}) {
    debug_gate_resume(&gate, breakpoints.data(), breakpoints.size());
  }
  bool parks() { return debug_gate_wait_paused(&gate, kPatienceMs) && pause(); }
  int ends() const { return host.end_notifications.load(); }
};

TEST(DebugGate, APausedMachineStaysStillUntilResumed) {
  for (const uint64_t speed : {uint64_t{0}, uint64_t{100'000}}) {
    Attached a;
    ASSERT_TRUE(a.start(kLoop, speed));
    ASSERT_TRUE(a.pause());
    const uint64_t executed = a.machine->executed;
    EXPECT_TRUE(a.pause());  // a second pause lends the same stop
    sleep_ms(30);
    EXPECT_EQ(a.machine->executed, executed) << speed;
    bool moved = false;
    for (int tries = 0; tries < 2'000 && !moved; ++tries) {
      a.resume();
      sleep_ms(1);
      ASSERT_TRUE(a.pause());
      moved = a.machine->executed > executed;
    }
    EXPECT_TRUE(moved) << speed;
    a.resume();
  }
}

TEST(DebugGate, ABreakpointParksBeforeItsInstructionEveryTime) {
  Attached a;
  ASSERT_TRUE(a.start(kLoop));
  ASSERT_TRUE(a.pause());
  const uint64_t target = a.machine->pc;  // the loop comes back here each turn
  uint64_t executed = a.machine->executed;
  a.resume({target + 1'000, target});  // unsorted on purpose
  for (int turn = 0; turn < 3; ++turn) {
    ASSERT_TRUE(a.parks());
    EXPECT_EQ(a.machine->pc, target);
    EXPECT_EQ(a.machine->executed, executed + 3) << "the instruction parked at runs first on resume";
    executed = a.machine->executed;
    a.resume({target});
  }
  ASSERT_TRUE(a.parks());
  a.resume();  // without breakpoints it runs whole batches again
  sleep_ms(20);
  EXPECT_FALSE(debug_gate_wait_paused(&a.gate, 0));
}

// The machine's own end parks, before it is reported, for a debugger that paused
// it since it last detached; without one it ends at once.
TEST(DebugGate, TheEndParksOnlyForAnAttachedDebugger) {
  struct Case {
    const char* end;
    bool attached;
    uint32_t status;
  };
  for (const Case& c : {Case{kHalts, true, status_halted}, Case{"=00", true, status_invalid_destination},
                        Case{kHalts, false, status_halted}}) {
    Attached a;
    ProgramBuilder program(0, 10'000);
    program.call(host_call::kbd_wait);  // holds the end back until the debugger is there
    program.emit(c.end);
    ASSERT_TRUE(a.start(program));
    if (c.attached) {
      ASSERT_TRUE(a.pause());
      a.resume();
    }
    ASSERT_TRUE(headless_push_key(a.host, 60));
    if (c.attached) {
      ASSERT_TRUE(a.parks());
      EXPECT_EQ(a.machine->status, c.status);
      EXPECT_EQ(a.ends(), 0);
      a.resume({0});
    }
    ASSERT_TRUE(headless_wait_end(a.host, kPatienceMs));
    EXPECT_TRUE(debug_gate_wait_paused(&a.gate, 0)) << "no runner: the caller learns from pause";
    EXPECT_FALSE(a.pause());
    headless_join(a.host);
    EXPECT_EQ(headless_machine(a.host).status, c.status);
  }
}

TEST(DebugGate, QuitAndStopEndAParkedRunner) {
  for (const bool stop : {false, true}) {
    Attached a;
    ASSERT_TRUE(a.start(kLoop, 1'000'000));
    ASSERT_TRUE(a.pause());
    if (stop) {
      headless_request_stop(a.host);
    } else {
      headless_request_quit(a.host);
    }
    ASSERT_TRUE(headless_wait_end(a.host, kPatienceMs)) << stop;
    EXPECT_FALSE(a.pause());
    headless_join(a.host);
    EXPECT_EQ(headless_machine(a.host).status == status_halted, stop);
  }
}

TEST(DebugGate, KeysQueueWhileParkedAndAKeyWaitCanBePaused) {
  Attached a;
  ProgramBuilder program(0, 10'000);
  program.call(host_call::kbd_wait);
  program.emit(kHalts);
  ASSERT_TRUE(a.start(program, 1'000'000));
  ASSERT_TRUE(a.pause());  // in the key wait or before it
  const uint64_t executed = a.machine->executed;
  ASSERT_TRUE(headless_push_key(a.host, 60));
  sleep_ms(20);
  EXPECT_EQ(a.machine->executed, executed);
  a.resume();
  ASSERT_TRUE(a.parks());  // the key was taken and the program ran to its end
  EXPECT_EQ(a.machine->status, status_halted);
  a.resume();
  EXPECT_TRUE(headless_wait_end(a.host, kPatienceMs));
}

TEST(DebugGate, DetachingForgetsTheBreakpointsAndLetsAParkedRunnerGo) {
  for (const bool parked : {false, true}) {
    Attached a;
    ASSERT_TRUE(a.start(kLoop));
    ASSERT_TRUE(a.pause());
    const uint64_t target = a.machine->pc;
    a.resume({target});
    if (parked) {
      ASSERT_TRUE(a.parks());
    }
    debug_gate_detach(a.gate);
    EXPECT_FALSE(debug_gate_wait_paused(&a.gate, 200)) << parked;  // the loop passes the breakpoint each turn
    headless_request_quit(a.host);
    ASSERT_TRUE(headless_wait_end(a.host, kPatienceMs));
  }
}

}  // namespace
}  // namespace quill
