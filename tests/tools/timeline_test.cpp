// Going back: random programs (stores into their own code, host calls that write
// memory, calls to depth 19, stack overflows) run forward while recording, go back
// some steps, and must equal a fresh machine that ran only that far.
#include "tools/debug/timeline.h"

#include <gtest/gtest.h>

#include "cpu/engine.h"
#include "support/differential.h"
#include "support/machine_compare.h"
#include "support/program_generator.h"
#include "tools/asm_helpers.h"

namespace quill::test {
namespace {

constexpr uint64_t kSize = 3000;

// The toy host behind the timeline's call hooks, telling it what it is about to
// write (a cell at most) and counting the calls it really makes.
struct NotingHost {
  ToyHost toy;
  Timeline* timeline = nullptr;
  uint64_t calls = 0;
};

int32_t noting_host(void* context, int64_t call, int64_t argument, int64_t* result) {
  auto& host = *static_cast<NotingHost*>(context);
  host.calls += 1;
  timeline_call_begin(*host.timeline);
  if (argument != NIL && argument >= 0) {
    timeline_note_write(*host.timeline, *host.toy.machine, static_cast<uint64_t>(argument), 10);
  }
  const int32_t ok = toy_host(&host.toy, call, argument, result);
  timeline_call_end(*host.timeline, *host.toy.machine, ok, *result);
  return ok;
}

struct Recorded {
  TwinMachine twin;
  Timeline timeline;
  NotingHost host;
  explicit Recorded(const std::vector<uint8_t>& bytes, uint64_t interval) : twin(bytes) {
    host.toy.machine = &twin.machine;
    host.timeline = &timeline;
    twin.machine.host_hook = noting_host;
    twin.machine.host_context = &host;
    timeline.interval = interval;
    EXPECT_TRUE(timeline_start(timeline, twin.machine));
  }
  ~Recorded() { timeline_clear(timeline, twin.machine); }
};

// Runs `steps` more steps, through the yields, or until the machine stops; with
// the timeline off it is the plain engine.
void run_for(Timeline& timeline, Machine& machine, uint64_t steps) {
  const uint64_t end = timeline_position(machine) + steps;
  while (!machine_stopped(machine) && timeline_position(machine) < end) {
    if (timeline_run(timeline, machine, end - timeline_position(machine)) == status_budget_reached) {
      machine.status = status_ready;
    }
  }
}

// A called routine that leaves values in its frame, entered again from another
// place: going back over the second call must bring back both.
constexpr char kCallsTwice[] = "jsr f, 1\njsr f, 2\nhalt\nf: push 3\npush 4\nret\n";

// For ever: a store of a growing value, calls down to depth 19 and back, and host
// calls that yield and write over the stored trytes.
constexpr char kBusy[] = R"(main: lit 0
  push 0
loop: pop 0
  push 1
  lit 7
  push 2
  add 1 2
  push 0
  push 3
  lit 2900
  call 10 3
  jsr deep, 18
  sys -9, 2950
  sys -7, 2905
  jmp loop
deep: push 0
  jeq out, #0
  pop 0
  push 1
  lit 1
  push 2
  sub 1 2
  jsr deep
out: ret
)";

std::vector<uint8_t> memory_of(const std::string& source) {
  const AsmResult r = assemble(source);
  std::string symbols;
  for (const uint8_t t : r.image) symbols += kSymbolAlphabet[t];
  return memory_with(symbols, kSize);
}

std::vector<uint8_t> program_bytes(uint64_t seed, bool hostile) {
  ProgramGenerator generator(seed);
  return memory_with(hostile ? generator.hostile_program(2000, kSize) : generator.program(2000, kSize), kSize);
}

void run_fresh(TwinMachine& fresh, uint64_t steps) {
  Timeline off;
  run_for(off, fresh.machine, steps);
}

TEST(Timeline, GoingBackEqualsAFreshRunThatFar) {
  enum Program { plain, hostile, calls_twice, busy };
  struct Case {
    uint64_t seed, forward, back;
    Program program;
  };
  // Most random programs fail within a hundred steps (the failing step is the
  // last one recorded); seeds 102, 116 and 3211 loop for ever.
  const Case cases[] = {{1, 500, 1, hostile},       {2, 2000, 700, hostile},   {3, 5000, 5000, hostile},
                        {4, 3000, 2999, plain},     {5, 800, 400, plain},      {102, 20000, 12345, hostile},
                        {116, 9000, 4321, hostile}, {3211, 5000, 1200, plain}, {0, 13, 1, calls_twice},
                        {0, 16, 5, calls_twice},    {0, 30000, 1, busy},       {0, 30000, 29999, busy},
                        {0, 30000, 29450, busy},    {0, 30000, 8765, busy}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = c.program == calls_twice ? memory_of(kCallsTwice)
                                       : c.program == busy      ? memory_of(kBusy)
                                                                : program_bytes(c.seed, c.program == hostile);
    ASSERT_FALSE(bytes.empty());
    Recorded recorded(bytes, 300);  // several checkpoints behind most targets
    Machine& machine = recorded.twin.machine;
    run_for(recorded.timeline, machine, c.forward);
    const uint64_t end = timeline_position(machine);
    const uint64_t target = end - std::min(c.back, end);
    const uint64_t calls = recorded.host.calls;
    ASSERT_TRUE(timeline_seek(recorded.timeline, machine, target));
    EXPECT_EQ(recorded.host.calls, calls) << "host calls are replayed, not made again";
    TwinMachine fresh(bytes);
    run_fresh(fresh, target);
    EXPECT_TRUE(same_machine(machine, fresh.machine)) << "seed " << c.seed;
    // Forward again from there records anew and lands where the first run did.
    run_for(recorded.timeline, machine, end - target);
    run_fresh(fresh, end - target);
    EXPECT_TRUE(same_machine(machine, fresh.machine)) << "seed " << c.seed << ", again";
    EXPECT_EQ(timeline_oldest(recorded.timeline, machine), 0u);
    EXPECT_FALSE(timeline_seek(recorded.timeline, machine, end + 1));
  }
}

// Going back to the newest position where a test holds looks at every position
// once, across checkpoints, and lands exactly there.
TEST(Timeline, GoesBackToTheNewestPositionWhereAProbeHolds) {
  struct Case {
    uint64_t seed, forward, lowest, modulus;  // seed 0: kBusy
    bool at_stops;  // engine stops where the probe can hold: the replay runs from one to the next
  };
  const Case cases[] = {{0, 9000, 0, 7, false},      {0, 9000, 8500, 13, false}, {1, 3000, 0, 1, false},
                        {0, 6000, 100, 1013, false}, {0, 9000, 0, 7, true},      {0, 20000, 3000, 29, true}};
  const auto pc_divisible = [](void* context, const Machine& machine, bool) {
    return machine.pc % *static_cast<uint64_t*>(context) == 0;
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = c.seed == 0 ? memory_of(kBusy) : program_bytes(c.seed, true);
    Recorded recorded(bytes, 700);
    Machine& machine = recorded.twin.machine;
    run_for(recorded.timeline, machine, c.forward);
    const uint64_t end = timeline_position(machine);
    // The newest position below the end where the probe holds, found going forward.
    TwinMachine fresh(bytes);
    uint64_t expected = std::min(c.lowest, end);
    for (uint64_t p = 0; p < end; run_fresh(fresh, 1), ++p) {
      if (p >= c.lowest && fresh.machine.pc % c.modulus == 0) expected = p;
    }
    for (uint64_t a = 0; c.at_stops && a < kSize; a += c.modulus) ASSERT_TRUE(machine_set_stop(machine, a, true));
    uint64_t modulus = c.modulus;
    const std::atomic<int32_t> never{0};
    EXPECT_EQ(timeline_back_to(recorded.timeline, machine, c.lowest, {pc_divisible, &modulus, c.at_stops}, never),
              expected)
        << "seed " << c.seed;
    TwinMachine again(bytes);
    run_fresh(again, expected);
    EXPECT_TRUE(same_machine(machine, again.machine)) << "seed " << c.seed;
  }
}

TEST(Timeline, KeepsTheWindowAndNoMoreThanItCanUndo) {
  const std::vector<uint8_t> bytes = memory_of(kBusy);
  Recorded recorded(bytes, 500);
  Machine& machine = recorded.twin.machine;
  recorded.timeline.window = 1000;
  run_for(recorded.timeline, machine, 2'000'000);  // journal blocks fill and are forgotten
  ASSERT_FALSE(machine_stopped(machine));
  const uint64_t end = timeline_position(machine);
  const uint64_t oldest = timeline_oldest(recorded.timeline, machine);
  EXPECT_GE(end - oldest, 1000u);
  EXPECT_LT(end - oldest, 1000u + 500u);
  EXPECT_LT(timeline_bytes(recorded.timeline), uint64_t{5} << 20);
  EXPECT_FALSE(timeline_seek(recorded.timeline, machine, oldest - 1));
  ASSERT_TRUE(timeline_seek(recorded.timeline, machine, oldest));
  TwinMachine fresh(bytes);
  run_fresh(fresh, oldest);
  EXPECT_TRUE(same_machine(machine, fresh.machine));
}

}  // namespace
}  // namespace quill::test
