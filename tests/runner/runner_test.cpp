// The main runner in real time, through the headless host. Timing is checked only
// with generous bounds: these machines are shared and slow under the sanitizers.
#include <gtest/gtest.h>

#include <string>

#include "codec/charset.h"
#include "host/host_calls.h"
#include "platform/clock.h"
#include "runner/headless.h"
#include "support/program_builder.h"
#include "support/temp_folder.h"
#include "support/test_http_server.h"

namespace quill {
namespace {

using test::ProgramBuilder;

constexpr uint32_t kPatienceMs = 30'000;  // an end that takes longer than this is a hang
constexpr char kLoop[] = "B4 >1 ~0001";   // jumps back to its start forever, 3 instructions a turn

struct Session {
  HeadlessHost host;
  uint64_t started_ns = 0;

  Session() { EXPECT_TRUE(headless_create(host, 20'000)); }
  ~Session() { headless_destroy(host); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool load(const std::string& symbols, uint64_t address = 0) {
    return headless_load_program(host, symbols.data(), symbols.size(), address);
  }
  bool load(const ProgramBuilder& program) { return program.store(host.memory, host.size); }

  bool start(uint64_t speed, uint64_t step_limit = 0) {
    started_ns = clock_now_ns();
    return headless_start(host, HeadlessOptions{0, speed, step_limit});
  }

  // Waits for the end and joins the runner; the time from the start in ms, or -1 on a hang.
  int64_t finish() {
    if (!headless_wait_end(host, kPatienceMs)) return -1;
    const uint64_t ended = clock_now_ns();
    headless_join(host);
    return static_cast<int64_t>((ended - started_ns) / 1'000'000);
  }

  const Machine& machine() const { return headless_machine(host); }
  int ends() const { return host.end_notifications.load(); }
};

TEST(Runner, AHaltingProgramEndsHaltedAndTheEndIsReportedOnce) {
  Session s;
  ASSERT_TRUE(s.load("15 >0 13 >1 +01 ."));
  ASSERT_TRUE(s.start(kDefaultSpeed));
  ASSERT_GE(s.finish(), 0);
  EXPECT_EQ(s.machine().status, status_halted);
  EXPECT_EQ(s.machine().acc, 8);
  EXPECT_EQ(s.ends(), 1);
  EXPECT_FALSE(headless_start(s.host, HeadlessOptions{0, 0, 0}));  // never started twice
  EXPECT_EQ(s.ends(), 1);
}

TEST(Runner, TheHaltCallEndsHaltedOnTheNextIteration) {
  Session s;
  ProgramBuilder program(0, 10'000);
  program.call(host_call::sys_halt);
  program.emit(kLoop);
  ASSERT_TRUE(s.load(program));
  ASSERT_TRUE(s.start(0));
  ASSERT_GE(s.finish(), 0);
  EXPECT_EQ(s.machine().status, status_halted);
  EXPECT_EQ(s.machine().executed, 3u);  // nothing after the call's own instructions
  EXPECT_EQ(s.ends(), 1);
}

TEST(Runner, SpeedZeroRunsUnpacedUpToTheStepLimit) {
  Session s;
  ASSERT_TRUE(s.load(kLoop));
  ASSERT_TRUE(s.start(0, 3'000'000));
  ASSERT_GE(s.finish(), 0);
  EXPECT_EQ(s.machine().executed, 3'000'000u);
  EXPECT_EQ(s.machine().status, status_budget_reached);
  EXPECT_EQ(s.ends(), 1);
}

TEST(Runner, QuitLeavesTheStatusAndStopHalts) {
  for (const bool stop : {false, true}) {
    Session s;
    ASSERT_TRUE(s.load(kLoop));
    ASSERT_TRUE(s.start(1'000'000));
    sleep_ms(20);
    if (stop) {
      headless_request_stop(s.host);
    } else {
      headless_request_quit(s.host);
    }
    ASSERT_GE(s.finish(), 0);
    EXPECT_EQ(s.machine().status, stop ? uint32_t{status_halted} : uint32_t{status_budget_reached}) << stop;
    EXPECT_GT(s.machine().executed, 0u);
    EXPECT_EQ(s.ends(), 1);
  }
}

TEST(Runner, PacingHoldsTheSpeed) {
  Session s;
  ASSERT_TRUE(s.load(kLoop));
  ASSERT_TRUE(s.start(10'000, 2'000));  // 2,000 instructions at 10,000 a second: 200 ms
  const int64_t ms = s.finish();
  ASSERT_GE(ms, 0);
  EXPECT_GE(ms, 150);
  EXPECT_EQ(s.machine().executed, 2'000u);
}

TEST(Runner, ASleepDelaysExecution) {
  Session s;
  ProgramBuilder program(0, 10'000);
  program.call(host_call::sys_sleep, 100'000);  // 100 ms at a million a second
  program.emit(".");
  ASSERT_TRUE(s.load(program));
  ASSERT_TRUE(s.start(1'000'000));
  const int64_t ms = s.finish();
  ASSERT_GE(ms, 0);
  EXPECT_GE(ms, 95);
  EXPECT_EQ(s.machine().status, status_halted);
}

TEST(Runner, AKeyWaitDoesNotCauseABurst) {
  Session s;
  ProgramBuilder program(0, 10'000);
  program.call(host_call::kbd_wait);
  program.emit(kLoop);
  ASSERT_TRUE(s.load(program));
  ASSERT_TRUE(s.start(1'000, 3 + 200));  // the wait's 3 instructions, then 200 at 1,000 a second
  sleep_ms(500);                         // a burst would make up these 500 instructions at once
  EXPECT_FALSE(headless_wait_end(s.host, 0));
  const uint64_t pushed = clock_now_ns();
  ASSERT_TRUE(headless_push_key(s.host, 60));
  ASSERT_TRUE(headless_wait_end(s.host, kPatienceMs));
  EXPECT_GE(clock_now_ns() - pushed, 150'000'000u);
  headless_join(s.host);
  EXPECT_EQ(s.machine().executed, 203u);
}

TEST(Runner, AStopEndsAKeyWait) {
  Session s;
  ProgramBuilder program(0, 10'000);
  program.call(host_call::kbd_wait);
  program.emit(kLoop);
  ASSERT_TRUE(s.load(program));
  ASSERT_TRUE(s.start(0));
  // Stops only once the program waits, however slowly a sanitizer build gets there.
  HostState& host = s.host.processor->host;
  const auto waiting = [&host] {
    LockGuard guard(host.lock);
    return host.waiting_for_key;
  };
  for (int tries = 0; tries < 2'000 && !waiting(); ++tries) sleep_ms(5);
  headless_request_stop(s.host);
  ASSERT_GE(s.finish(), 0);
  EXPECT_EQ(s.machine().status, status_halted);
  EXPECT_EQ(s.machine().executed, 3u);
}

TEST(Runner, AMachineFaultEndsTheRunnerWithItsStatus) {
  Session s;
  ASSERT_TRUE(s.load("=00"));
  ASSERT_TRUE(s.start(kDefaultSpeed));
  ASSERT_GE(s.finish(), 0);
  EXPECT_EQ(s.machine().status, status_invalid_destination);
  EXPECT_EQ(s.ends(), 1);
}

// Counts its calls and declines the one numbered `decline_at` (0: never).
struct HookCount {
  uint64_t calls = 0;
  uint64_t decline_at = 0;
  uint64_t executed_seen = 0;  // the machine's count at the last call
};

bool count_step(void* context, const Machine& machine) {
  auto& count = *static_cast<HookCount*>(context);
  count.calls += 1;
  count.executed_seen = machine.executed;
  return count.calls != count.decline_at;
}

TEST(Runner, AStepHookSeesEveryInstructionAndCanEndTheRunBeforeOne) {
  for (const uint64_t decline_at : {uint64_t{0}, uint64_t{4}}) {
    Session s;
    HookCount count{0, decline_at, 0};
    ASSERT_TRUE(s.load("15 >0 13 >1 +01 ."));
    HeadlessOptions options{0, 0, 0};
    options.step_hook = count_step;
    options.step_context = &count;
    ASSERT_TRUE(headless_start(s.host, options));
    ASSERT_GE(s.finish(), 0);
    if (decline_at == 0) {
      EXPECT_EQ(s.machine().status, status_halted);
      EXPECT_EQ(s.machine().acc, 8);
      EXPECT_EQ(count.calls, 6u);  // the halt included
      EXPECT_EQ(s.machine().executed, 6u);
    } else {
      EXPECT_NE(s.machine().status, status_halted);
      EXPECT_EQ(s.machine().executed, 3u);
      EXPECT_EQ(s.machine().pc, 6u);  // before the fourth instruction, ">1"
      EXPECT_EQ(count.executed_seen, 3u);
    }
    EXPECT_EQ(s.ends(), 1);
  }
}

// Closing neither waits for a fetch in progress (it gives up with the time-out
// number; the trickling reply would take 6 s and succeed) nor leaves cores running
// while the memory is saved.
TEST(Runner, AJoinEndsAFetchInProgressAndStopsTheCores) {
  test::TestHttpServer server;
  ASSERT_TRUE(server.started());
  server.route("/slow", test::Behaviour::trickle, test::http_reply(200, std::string(60, 's')));
  const std::string url = server.url("/slow");
  Session s;
  ASSERT_TRUE(s.load(kLoop, 100));
  ProgramBuilder program(1'000, 10'000);
  const auto core_block = static_cast<int64_t>(program.cell(100));
  (void)program.cell(9), (void)program.cell(0), (void)program.cell(kValueMax);
  for (int i = 0; i < kCoreCount; ++i) program.call(-22, core_block);
  const auto text = static_cast<int64_t>(program.data);
  for (char ch : url) (void)program.cell(code_of_character(static_cast<char16_t>(ch)));
  const auto descriptor = static_cast<int64_t>(program.cell(text));
  (void)program.cell(static_cast<int64_t>(url.size()));
  program.call(-480'001, descriptor);
  program.emit(kLoop);
  ASSERT_TRUE(s.load(program));
  ASSERT_TRUE(headless_start(s.host, HeadlessOptions{1'000, 0, 0}));
  while (server.request_count() == 0) sleep_ms(1);
  headless_join(s.host);
  const HostState& host = s.host.processor->host;
  EXPECT_EQ(host.fetch.status, 12002u);
  for (const CoreSlot& slot : host.cores) {
    EXPECT_FALSE(slot.thread.started);
    EXPECT_EQ(slot.state, core_failed);
  }
}

TEST(Headless, SavesAndReloadsTheMemoryImage) {
  test::TempFolder folder;
  {
    Session s;
    ASSERT_TRUE(s.load("15 >0 13 >1 +01 ."));
    ASSERT_TRUE(s.start(0));
    ASSERT_GE(s.finish(), 0);
    EXPECT_TRUE(headless_save(s.host, folder.path.c_str()));
  }
  Session again;
  ASSERT_TRUE(headless_load_folder(again.host, folder.path.c_str()));
  ASSERT_TRUE(again.start(0));
  ASSERT_GE(again.finish(), 0);
  EXPECT_EQ(again.machine().acc, 8);
}

}  // namespace
}  // namespace quill
