#include "cpu/step.h"

#include <gtest/gtest.h>

#include "support/doc_table.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::make_machine;
using test::TestMemory;

void push(Machine& m, int stack, int64_t value, uint32_t frame = 0) {
  ValueStack& s = m.frames[frame].stacks[stack];
  s.values[s.count++] = value;
}
uint8_t count(const Machine& m, int stack, uint32_t frame = 0) { return m.frames[frame].stacks[stack].count; }

// A machine over `symbols` at address 0, in a memory of `size` trytes (default: just the program).
struct Fixture {
  TestMemory memory;
  Machine m;
  explicit Fixture(std::string_view symbols, uint64_t size = 0)
      : memory(size ? size : symbols.size()), m(make_machine(memory)) {
    EXPECT_TRUE(memory.load(symbols));
  }
};

TEST(MachineStatus, TextsAreTheDocumentedOnesAndOtherCodesUnknown) {
  const auto rows = test::doc_table_rows("machine.md", "Status codes");
  ASSERT_EQ(rows.size(), 9u);
  for (const auto& row : rows) {
    ASSERT_GE(row.size(), 2u);
    EXPECT_STREQ(status_text(static_cast<uint32_t>(std::stoul(row[0]))), row[1].c_str()) << row[0];
  }
  EXPECT_STREQ(status_text(static_cast<uint32_t>(rows.size())), "unknown");
  EXPECT_STREQ(status_text(0xFFFFFFFF), "unknown");
}

TEST(StepBasics, ClearedMemoryHaltsAtOnce) {
  Fixture f("", 10);
  EXPECT_EQ(machine_step(f.m), status_halted);
  EXPECT_EQ(f.m.pc, 1u);
  EXPECT_EQ(f.m.executed, 1u);
  EXPECT_EQ(f.m.status, status_halted);
}

TEST(StepBasics, LiteralsLoadTheAccumulator) {
  Fixture f("A0");
  f.m.acc = 5;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.acc, NIL);
  EXPECT_EQ(f.m.pc, 1u);
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.acc, 0);
  EXPECT_EQ(f.m.pc, 2u);
  EXPECT_EQ(f.m.executed, 2u);
}

TEST(StepFailures, LeaveThePcAndCountAndClearTheAccumulator) {
  struct Case {
    const char* symbols;
    uint32_t status;
  } cases[] = {
      {"..31", status_memory_end},  // literal 3 at size - 2
      {"..+0", status_memory_end},  // "+" needs two operands, one left
      {"..~012", status_memory_end},         {"..<", status_memory_end},
      {"..+0=", status_cannot_decode},        // operand is an instruction symbol
      {"..2+0", status_cannot_decode},        // literal digit is an instruction symbol
      {"..=00", status_invalid_destination},  // both stacks empty: nothing to store
  };
  for (const Case& c : cases) {
    Fixture f(c.symbols);
    f.m.pc = 2;
    f.m.acc = 9;
    f.m.executed = 40;
    EXPECT_EQ(machine_step(f.m), c.status) << c.symbols;
    EXPECT_EQ(f.m.status, c.status);
    EXPECT_EQ(f.m.pc, 2u);
    EXPECT_EQ(f.m.acc, NIL);
    EXPECT_EQ(f.m.executed, 40u);
  }
  Fixture beyond("..");
  beyond.m.pc = 2;
  EXPECT_EQ(machine_step(beyond.m), status_memory_end);
  Fixture broken("0..");
  broken.memory.bytes[1] = ' ';
  EXPECT_EQ(machine_step(broken.m), status_cannot_decode);
}

TEST(StepFailures, BadOperandPopsNothing) {
  Fixture f("+0<");
  push(f.m, 0, 5);
  EXPECT_EQ(machine_step(f.m), status_cannot_decode);
  EXPECT_EQ(count(f.m, 0), 1);
}

TEST(PushPop, StackHoldsExactlyTwentyValues) {
  Fixture f(">3");
  for (int i = 0; i < kStackCapacity; ++i) {
    f.m.pc = 0;
    f.m.acc = i;
    ASSERT_EQ(machine_step(f.m), status_ready);
  }
  EXPECT_EQ(count(f.m, 3), 20);
  f.m.pc = 0;
  f.m.acc = 99;
  EXPECT_EQ(machine_step(f.m), status_stack_overflow);
  EXPECT_EQ(count(f.m, 3), 20);
  EXPECT_EQ(f.m.frames[0].stacks[3].values[19], 19);
  EXPECT_EQ(f.m.acc, NIL);
  EXPECT_EQ(f.m.pc, 0u);
}

TEST(PushPop, PopTakesTheTopAndEmptyGivesNil) {
  Fixture f("<J<J");
  push(f.m, 19, 1);
  push(f.m, 19, 2);
  f.m.acc = 0;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.acc, 2);
  f.m.pc = 0;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.acc, 1);
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.acc, NIL);
  EXPECT_EQ(f.m.pc, 4u);
}

TEST(Arithmetic, MissingOperandsFollowTheNilRules) {
  struct Case {
    const char* op;
    int64_t s1[2];  // values pushed onto stack 1, NIL for none
    int64_t s2;     // value pushed onto stack 2, NIL for none
    int64_t expected;
  } cases[] = {
      {"+12", {5, NIL}, NIL, 10},
      {"-12", {5, NIL}, NIL, 0},
      {"-12", {NIL, NIL}, 5, 0},
      {"+12", {NIL, NIL}, 5, 10},
      {"+12", {NIL, NIL}, NIL, NIL},
      {"-12", {NIL, NIL}, NIL, NIL},
      {"+12", {300'000'000'000, NIL}, 300'000'000'000, NIL},
      {"-12", {-300'000'000'000, NIL}, 300'000'000'000, NIL},
      {"+12", {kValueMax, NIL}, -1, kValueMax - 1},
      {"-12", {9, NIL}, 4, 5},
      {"-11", {7, 3}, NIL, -4},                   // same stack: A is the top (3), B the next (7)
      {"+12", {300'000'000'000, NIL}, NIL, NIL},  // X + X out of range
  };
  for (const Case& c : cases) {
    Fixture f(c.op);
    for (int64_t v : c.s1) {
      if (v != NIL) push(f.m, 1, v);
    }
    if (c.s2 != NIL) push(f.m, 2, c.s2);
    EXPECT_EQ(machine_step(f.m), status_ready) << c.op;
    EXPECT_EQ(f.m.acc, c.expected) << c.op << " " << c.s1[0];
    EXPECT_EQ(f.m.pc, 3u);
    EXPECT_EQ(count(f.m, 1) + count(f.m, 2), 0);
  }
}

TEST(Store, WritesPackedValueAndAdvancesTheAddress) {
  Fixture f("=A8", 20);
  push(f.m, 8, 123'456'789);
  f.m.acc = 10;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.memory.symbols(10, 6), "4B43HD");
  EXPECT_EQ(f.m.acc, 16);
  EXPECT_EQ(f.m.pc, 3u);
}

TEST(Store, EdgesOfTheDestination) {
  {
    Fixture f("=A8", 20);  // zero at the very end: nothing written, acc unchanged
    push(f.m, 8, 0);
    f.m.acc = 20;
    EXPECT_EQ(machine_step(f.m), status_ready);
    EXPECT_EQ(f.m.acc, 20);
  }
  struct Case {
    int64_t value;
    int64_t address;
  } failing[] = {
      {28, 19},              // two trytes, one left
      {5, -1},               // negative address
      {5, NIL},              // no address
      {-5, 3},               // negative value
      {293'292'210'961, 3},  // too large to pack
      {0, 21},               // beyond the end
  };
  for (const Case& c : failing) {
    Fixture f("=A8", 20);
    push(f.m, 8, c.value);
    f.m.acc = c.address;
    EXPECT_EQ(machine_step(f.m), status_invalid_destination) << c.value << " at " << c.address;
    EXPECT_EQ(f.memory.symbols(3, 17), std::string(17, '.'));
    EXPECT_EQ(f.m.acc, NIL);
  }
  Fixture no_value("=A8", 20);  // NIL target and NIL value
  no_value.m.acc = 5;
  EXPECT_EQ(machine_step(no_value.m), status_invalid_destination);
}

TEST(Call, EntersAnEmptyFrameAndReturnsWithTheAccumulator) {
  Fixture f("=01", 30);
  push(f.m, 0, 20);    // target
  push(f.m, 1, 7);     // argument
  push(f.m, 4, 1, 1);  // left over in frame 1 from an earlier call
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.depth, 1u);
  EXPECT_EQ(f.m.pc, 20u);
  EXPECT_EQ(f.m.acc, 7);
  EXPECT_EQ(f.m.frames[1].return_address, 3u);
  EXPECT_EQ(count(f.m, 4, 1), 0);
  f.m.acc = 11;
  EXPECT_EQ(machine_step(f.m), status_ready);  // "." at depth 1 returns
  EXPECT_EQ(f.m.depth, 0u);
  EXPECT_EQ(f.m.pc, 3u);
  EXPECT_EQ(f.m.acc, 11);
  EXPECT_EQ(f.m.executed, 2u);
}

TEST(Call, ReturnFromDepthTwoUsesFrameTwo) {
  Fixture f("", 30);
  f.m.depth = 2;
  f.m.frames[2].return_address = 17;
  f.m.frames[1].return_address = 4;
  f.m.acc = 6;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.pc, 17u);
  EXPECT_EQ(f.m.depth, 1u);
  EXPECT_EQ(f.m.acc, 6);
}

TEST(Call, DepthReachesNineteenAndNoFurther) {
  Fixture f("=01");
  for (uint32_t d = 0; d < kMaxDepth; ++d) {
    push(f.m, 0, 0, d);
    ASSERT_EQ(machine_step(f.m), status_ready);
  }
  EXPECT_EQ(f.m.depth, 19u);
  push(f.m, 0, 0, 19);
  push(f.m, 1, 3, 19);
  EXPECT_EQ(machine_step(f.m), status_call_stack_overflow);
  EXPECT_EQ(count(f.m, 0, 19) + count(f.m, 1, 19), 0);  // both operands were popped
  EXPECT_EQ(f.m.depth, 19u);
  EXPECT_EQ(f.m.pc, 0u);
}

TEST(Call, TargetBeyondMemoryIsInvalid) {
  Fixture f("=01", 10);
  push(f.m, 0, 10);
  EXPECT_EQ(machine_step(f.m), status_invalid_destination);
  EXPECT_EQ(f.m.depth, 0u);
}

struct HookLog {
  int calls = 0;
  int64_t call = 0;
  int64_t argument = 0;
  int64_t result = 0;
  int32_t outcome = 1;
  uint32_t status_to_leave = status_ready;
  Machine* machine = nullptr;
};

int32_t record_hook(void* context, int64_t call, int64_t argument, int64_t* result) {
  auto* log = static_cast<HookLog*>(context);
  ++log->calls;
  log->call = call;
  log->argument = argument;
  EXPECT_EQ(*result, NIL);
  *result = log->result;
  log->machine->status = log->status_to_leave;
  log->machine->pc = 999;  // the step sets pc and acc itself afterwards
  log->machine->acc = 999;
  return log->outcome;
}

TEST(HostCall, WithoutAHookGivesNil) {
  Fixture f("=01");
  push(f.m, 0, -5);
  f.m.acc = 3;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.acc, NIL);
  EXPECT_EQ(f.m.pc, 3u);
  EXPECT_EQ(f.m.executed, 1u);
}

TEST(HostCall, HookResultsReachTheAccumulatorWithinRange) {
  struct Case {
    int32_t outcome;
    int64_t result;
    uint32_t status_left;
    int64_t acc;
    uint32_t status;
  } cases[] = {
      {1, 42, status_ready, 42, status_ready},
      {1, 600'000'000'000, status_ready, NIL, status_ready},
      {0, 42, status_ready, NIL, status_ready},
      {1, 7, status_budget_reached, 7, status_budget_reached},  // a yield request survives
      {0, 7, status_budget_reached, NIL, status_budget_reached},
      {1, 7, status_stack_overflow, 7, status_ready},  // anything else is replaced
  };
  for (const Case& c : cases) {
    Fixture f("=01");
    HookLog log{0, 0, 0, c.result, c.outcome, c.status_left, &f.m};
    f.m.host_hook = record_hook;
    f.m.host_context = &log;
    push(f.m, 0, -160001);
    EXPECT_EQ(machine_step(f.m), c.status);
    EXPECT_EQ(f.m.status, c.status);
    EXPECT_EQ(f.m.acc, c.acc);
    EXPECT_EQ(f.m.pc, 3u);
    EXPECT_EQ(log.call, -160001);
    EXPECT_EQ(log.argument, NIL);  // stack 1 was empty
  }
}

TEST(HostCall, YieldLastsOnlyUntilTheNextStep) {
  Fixture f("=01 0");
  HookLog log{0, 0, 0, 1, 1, status_budget_reached, &f.m};
  f.m.host_hook = record_hook;
  f.m.host_context = &log;
  push(f.m, 0, -1);
  push(f.m, 1, 250);
  EXPECT_EQ(machine_step(f.m), status_budget_reached);
  EXPECT_EQ(log.argument, 250);
  EXPECT_EQ(machine_step(f.m), status_ready);
}

TEST(Jump, ChoosesTheOffsetByComparison) {
  struct Case {
    int64_t acc, u, p, q, r;
    uint64_t pc_after;
    int64_t acc_after;
  } cases[] = {
      {5, 4, 3, 6, 9, 13, 10},                               // acc > U: P
      {3, 4, 3, 6, 9, 16, 10},                               // acc < U: Q
      {4, 4, 3, 6, 9, 19, 10},                               // equal: R
      {NIL, 4, 3, 6, 9, 19, 10},                             // NIL acc: R
      {4, NIL, 3, 6, 9, 19, 10},                             // NIL comparand: R
      {4, 4, 3, 6, 0, 15, 10},                               // offset 0 falls through, acc = own address
      {4, 4, 3, 6, NIL, 15, NIL}, {4, 4, 3, 6, -10, 0, 10},  // back to address 0
  };
  for (const Case& c : cases) {
    Fixture f("..........~1234", 30);
    f.m.pc = 10;
    f.m.acc = c.acc;
    if (c.u != NIL) push(f.m, 1, c.u);
    if (c.p != NIL) push(f.m, 2, c.p);
    if (c.q != NIL) push(f.m, 3, c.q);
    if (c.r != NIL) push(f.m, 4, c.r);
    EXPECT_EQ(machine_step(f.m), status_ready);
    EXPECT_EQ(f.m.pc, c.pc_after) << c.acc << " " << c.u;
    EXPECT_EQ(f.m.acc, c.acc_after);
  }
}

TEST(Jump, AllStacksEmptyFallsThroughWithNil) {
  Fixture f("~0123");
  f.m.acc = 3;
  EXPECT_EQ(machine_step(f.m), status_ready);
  EXPECT_EQ(f.m.pc, 5u);
  EXPECT_EQ(f.m.acc, NIL);
}

TEST(Jump, DestinationMustLieInsideMemory) {
  const uint64_t size = 30, at = 10;
  struct Case {
    int64_t offset;
    uint32_t status;
    uint64_t pc;
  } cases[] = {
      {-10, status_ready, 0},
      {-11, status_invalid_destination, at},
      {19, status_ready, 29},
      {20, status_invalid_destination, at},
      {kValueMax, status_invalid_destination, at},
      {-kValueMax, status_invalid_destination, at},
  };
  for (const Case& c : cases) {
    Fixture f("..........~1234", size);
    f.m.pc = at;
    push(f.m, 4, c.offset);  // acc is NIL, so R is chosen
    EXPECT_EQ(machine_step(f.m), c.status) << c.offset;
    EXPECT_EQ(f.m.pc, c.pc);
    EXPECT_EQ(f.m.acc, c.status == status_ready ? static_cast<int64_t>(at) : NIL);
  }
}

}  // namespace
}  // namespace quill
