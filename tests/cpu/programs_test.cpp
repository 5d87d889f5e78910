// Whole programs with their exact final state.
#include <gtest/gtest.h>

#include "codec/packed.h"
#include "cpu/step.h"
#include "support/source_file.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::make_machine;
using test::TestMemory;

TEST(WholeProgram, AddTwoLiteralsAndHalt) {
  TestMemory memory(100);
  ASSERT_TRUE(memory.load("15 >0 13 >1 +01 ."));
  Machine m = make_machine(memory);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(machine_step(m), status_ready) << "step " << i;
  EXPECT_EQ(machine_step(m), status_halted);
  EXPECT_EQ(m.acc, 8);
  EXPECT_EQ(m.pc, 12u);
  EXPECT_EQ(m.executed, 6u);
}

TEST(WholeProgram, CallAFunctionThatDoublesItsArgument) {
  TestMemory memory(100);
  ASSERT_TRUE(memory.load("19 >1 1F >0 =01 . . . . >2 +22 ."));
  Machine m = make_machine(memory);
  int steps = 0;
  while (machine_step(m) == status_ready) ++steps;
  EXPECT_EQ(steps + 1, 9);
  EXPECT_EQ(m.status, status_halted);
  EXPECT_EQ(m.acc, 18);
  EXPECT_EQ(m.pc, 12u);
  EXPECT_EQ(m.depth, 0u);
  EXPECT_EQ(m.executed, 9u);
}

TEST(WholeProgram, RunStopsWhereTheStepsStop) {
  TestMemory memory(100);
  ASSERT_TRUE(memory.load("15 >0 13 >1 +01 ."));
  Machine m = make_machine(memory);
  test::ReleaseAtExit release{m};
  EXPECT_EQ(machine_run(m, 3), status_budget_reached);
  EXPECT_EQ(m.executed, 3u);
  EXPECT_EQ(machine_run(m, 0), status_budget_reached);  // an empty batch does nothing
  EXPECT_EQ(m.executed, 3u);
  EXPECT_EQ(machine_run(m, 100), status_halted);
  EXPECT_EQ(m.executed, 6u);
  EXPECT_EQ(machine_run(m, 100), status_halted);  // a stopped machine stays stopped
  EXPECT_EQ(m.executed, 6u);
  EXPECT_EQ(m.pc, 12u);
}

std::string read_program(const char* name) { return test::read_source_file(std::string("programs/bench/") + name); }

// The benchmark loops: after the two-instruction prelude and k turns the counter
// has gone down by k and the machine is back at the loop's head.
TEST(BenchmarkWorkloads, LoopsCountDownAsDocumented) {
  struct Case {
    const char* file;
    uint64_t per_turn;
  } cases[] = {{"count_loop.tern", 11}, {"call_loop.tern", 19}, {"store_loop.tern", 29}, {"store_count_loop.tern", 62}};
  for (const Case& c : cases) {
    TestMemory memory(10'000);
    ASSERT_TRUE(memory.load(read_program(c.file))) << c.file;
    Machine m = make_machine(memory);
    test::ReleaseAtExit release{m};
    const uint64_t turns = 1000;
    EXPECT_EQ(machine_run(m, 2 + turns * c.per_turn), status_budget_reached) << c.file;
    EXPECT_EQ(m.pc, 12u) << c.file;
    EXPECT_EQ(m.depth, 0u);
    EXPECT_EQ(m.frames[0].stacks[0].count, 1);
    EXPECT_EQ(m.frames[0].stacks[0].values[0], kValueMax - static_cast<int64_t>(turns)) << c.file;
  }
  TestMemory memory(10'000);
  ASSERT_TRUE(memory.load(read_program("store_loop.tern")));
  Machine m = make_machine(memory);
  test::ReleaseAtExit release{m};
  EXPECT_EQ(machine_run(m, 2 + 29), status_budget_reached);
  std::string stored;
  for (int i = 0; i < 8; ++i) stored += "4B43HD";
  EXPECT_EQ(memory.symbols(8000, 48), stored);
}

}  // namespace
}  // namespace quill
