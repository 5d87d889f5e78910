// Stepping back: random programs (stores into their own code, host calls that write
// memory, calls to depth 19, stack overflows) run forward while recording, go back
// some steps, and must equal a fresh machine that ran only that far.
#include "tools/debug/timeline.h"

#include <gtest/gtest.h>

#include "support/differential.h"
#include "support/machine_compare.h"
#include "support/program_generator.h"
#include "tools/asm_helpers.h"

namespace quill::test {
namespace {

constexpr uint64_t kSize = 3000;

// The toy host, telling the timeline what it is about to write (a cell at most).
struct NotingHost {
  ToyHost toy;
  Timeline* timeline = nullptr;
};

int32_t noting_host(void* context, int64_t call, int64_t argument, int64_t* result) {
  auto& host = *static_cast<NotingHost*>(context);
  if (argument != NIL && argument >= 0) {
    timeline_note_write(*host.timeline, *host.toy.machine, static_cast<uint64_t>(argument), 10);
  }
  return toy_host(&host.toy, call, argument, result);
}

struct Recorded {
  TwinMachine twin;
  Timeline timeline;
  NotingHost host;
  explicit Recorded(const std::vector<uint8_t>& bytes) : twin(bytes) {
    host.toy.machine = &twin.machine;
    host.timeline = &timeline;
    twin.machine.host_hook = noting_host;
    twin.machine.host_context = &host;
  }
};

// A called routine that leaves values in its frame, entered again from another
// place: going back over the second call must bring back both.
constexpr char kCallsTwice[] = "jsr f, 1\njsr f, 2\nhalt\nf: push 3\npush 4\nret\n";

std::vector<uint8_t> memory_of(const std::string& source) {
  const AsmResult r = assemble(source);
  std::string symbols;
  for (const uint8_t t : r.image) symbols += kSymbolAlphabet[t];
  return memory_with(symbols, kSize);
}

void run_fresh(TwinMachine& fresh, uint64_t steps) {
  for (uint64_t i = 0; i < steps; ++i) (void)machine_step(fresh.machine);
}

TEST(Timeline, SteppingBackEqualsAFreshRunThatFar) {
  enum Program { plain, hostile, calls_twice };
  struct Case {
    uint64_t seed, forward, back;
    Program program;
  };
  const Case cases[] = {{1, 500, 1, hostile},    {2, 2000, 700, hostile}, {3, 5000, 5000, hostile},
                        {4, 3000, 2999, plain},  {5, 800, 400, plain},    {6, 20000, 12345, hostile},
                        {0, 13, 1, calls_twice}, {0, 16, 5, calls_twice}};
  for (const Case& c : cases) {
    ProgramGenerator generator(c.seed);
    const std::vector<uint8_t> bytes = c.program == calls_twice ? memory_of(kCallsTwice)
                                       : c.program == hostile
                                           ? memory_with(generator.hostile_program(2000, kSize), kSize)
                                           : memory_with(generator.program(2000, kSize), kSize);
    ASSERT_FALSE(bytes.empty());
    Recorded recorded(bytes);
    for (uint64_t i = 0; i < c.forward; ++i) (void)timeline_step(recorded.timeline, recorded.twin.machine);
    for (uint64_t i = 0; i < c.back; ++i) ASSERT_TRUE(timeline_step_back(recorded.timeline, recorded.twin.machine));
    TwinMachine fresh(bytes);
    run_fresh(fresh, c.forward - c.back);
    EXPECT_TRUE(same_machine(recorded.twin.machine, fresh.machine)) << "seed " << c.seed;
    // Forward again from there records anew and lands where the first run did.
    for (uint64_t i = 0; i < c.back; ++i) (void)timeline_step(recorded.timeline, recorded.twin.machine);
    run_fresh(fresh, c.back);
    EXPECT_TRUE(same_machine(recorded.twin.machine, fresh.machine)) << "seed " << c.seed << ", again";
    EXPECT_EQ(recorded.timeline.records, c.forward);
  }
}

TEST(Timeline, KeepsTheWindowAndNoMoreThanItCanUndo) {
  ProgramGenerator generator(9);
  const std::vector<uint8_t> bytes = memory_with(generator.hostile_program(2000, kSize), kSize);
  Recorded recorded(bytes);
  recorded.timeline.window = 1000;
  constexpr uint64_t kForward = 400'000;  // several blocks of records
  for (uint64_t i = 0; i < kForward; ++i) (void)timeline_step(recorded.timeline, recorded.twin.machine);
  const uint64_t kept = recorded.timeline.records;
  EXPECT_GE(kept, 1000u);
  EXPECT_LT(kept, kForward);
  while (timeline_step_back(recorded.timeline, recorded.twin.machine)) {
  }
  EXPECT_EQ(recorded.timeline.bytes, 0u);
  TwinMachine fresh(bytes);
  run_fresh(fresh, kForward - kept);
  EXPECT_TRUE(same_machine(recorded.twin.machine, fresh.machine));
}

}  // namespace
}  // namespace quill::test
