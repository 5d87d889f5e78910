// The pseudo-instructions, run on the processor: jumps land where they should and
// fall through otherwise, calls pass their argument, host calls reach the hook
// with the right number and argument block.
#include <gtest/gtest.h>

#include "codec/literal.h"
#include "tools/asm_helpers.h"

namespace quill::test {
namespace {

// Runs `body`, which leaves its verdict in acc and halts.
int64_t result_of(const std::string& body) {
  AssembledRun run;
  run_assembled(run, body);
  EXPECT_TRUE(run.assembled) << first_error(body);
  EXPECT_EQ(run.machine.status, status_halted) << status_text(run.machine.status) << " at " << run.machine.pc;
  return run.machine.acc;
}

// "acc OP comparand ? 1 : 0" through a conditional jump with a stack comparand.
int64_t branch_taken(const char* jump, int64_t acc, int64_t comparand) {
  const std::string value = comparand == NIL ? "nil" : std::to_string(comparand);
  const std::string acc_text = acc == NIL ? "nil" : std::to_string(acc);
  return result_of("lit " + value + "\npush 3\nlit " + acc_text + "\n" + jump +
                   " yes, 3\nlit 0\nhalt\nyes: lit 1\nhalt\n");
}

TEST(AsmPseudo, ConditionalJumpsFollowTheThreeWayCompare) {
  struct Case {
    const char* jump;
    int taken_greater, taken_less, taken_equal;
  } cases[] = {{"jgt", 1, 0, 0}, {"jlt", 0, 1, 0}, {"jeq", 0, 0, 1},
               {"jne", 1, 1, 0}, {"jge", 1, 0, 1}, {"jle", 0, 1, 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(branch_taken(c.jump, 7, 3), c.taken_greater) << c.jump;
    EXPECT_EQ(branch_taken(c.jump, -7, 3), c.taken_less) << c.jump;
    EXPECT_EQ(branch_taken(c.jump, 3, 3), c.taken_equal) << c.jump;
    EXPECT_EQ(branch_taken(c.jump, NIL, 3), c.taken_equal) << c.jump << " treats NIL as equal";
  }
}

TEST(AsmPseudo, ImmediateComparandAndBackwardJumpsMakeALoop) {
  // Sum 5 + 4 + 3 + 2 + 1 with a backward jgt against #0.
  const char* program = R"(
    lit 5
    push 1          ; counter
    lit 0
    push 2          ; sum
  loop:
    pop 1
    push 1
    push 1
    add 2 1         ; sum + counter
    push 2
    lit 1
    push 4
    sub 1 4         ; counter - 1
    push 1
    jgt loop, #0
    pop 2
    halt
  )";
  EXPECT_EQ(result_of(program), 15);
}

TEST(AsmPseudo, JumpsKeepTheScratchStacksBalanced) {
  // Values under the scratch stacks survive any number of jumps.
  EXPECT_EQ(result_of("lit 42\npush 19\npush 18\njmp a\nb: jeq c, #1\nc: pop 19\nhalt\na: lit 1\njmp b\n"), 42);
}

TEST(AsmPseudo, ScratchDirectiveMovesTheStacksPseudoInstructionsUse) {
  const AsmResult r = assemble(".scratch 4, 5\njmp end\nend:");
  ASSERT_TRUE(r.errors.empty());
  EXPECT_EQ(symbols_of(".scratch 4, 5\njmp end\nend:"), "15>4>4>4>4~4444");
}

TEST(AsmPseudo, JsrPassesAccOrAValueAndReturnsTheResult) {
  const char* functions = "double: push 0\nadd 0 0\nret\n";
  EXPECT_EQ(result_of(std::string("lit 21\njsr double\nhalt\n") + functions), 42);
  EXPECT_EQ(result_of(std::string("jsr double, -8\nhalt\n") + functions), -16);
}

struct HostLog {
  int64_t call = 0;
  int64_t x = 0, y = 0;
  bool had_block = false;
  const Machine* machine = nullptr;
};

int32_t logging_hook(void* context, int64_t call, int64_t argument, int64_t* result) {
  auto* log = static_cast<HostLog*>(context);
  log->call = call;
  log->had_block = argument != NIL;
  if (argument != NIL) {
    const auto p = static_cast<uint64_t>(argument);
    if (!read_cell(log->machine->memory, log->machine->size, p, log->x) ||
        !read_cell(log->machine->memory, log->machine->size, p + 10, log->y)) {
      return 0;
    }
  }
  *result = 77;
  return 1;
}

HostLog host_call(const std::string& program) {
  AssembledRun run;
  run_assembled(run, program, 0);
  HostLog log;
  log.machine = &run.machine;
  run.machine.host_hook = logging_hook;
  run.machine.host_context = &log;
  EXPECT_TRUE(run.assembled) << first_error(program);
  EXPECT_EQ(machine_run(run.machine, 100), status_halted);
  EXPECT_EQ(run.machine.acc, 77);
  return log;
}

TEST(AsmPseudo, HostCallsPassNilAnAddressOrAPooledBlock) {
  HostLog log = host_call("sys -11\nhalt\n");
  EXPECT_EQ(log.call, -11);
  EXPECT_FALSE(log.had_block);
  log = host_call("sys -6, args\nhalt\nargs: .cell 100, -3\n");
  EXPECT_EQ(log.call, -6);
  EXPECT_EQ(log.x, 100);
  EXPECT_EQ(log.y, -3);
  log = host_call("sys -160003, 12, nil\nhalt\n");
  EXPECT_EQ(log.x, 12);
  EXPECT_EQ(log.y, NIL);
  log = host_call("lit blk\nsys -5, acc\nhalt\n.pool\nblk: .cell 9, 8\n");
  EXPECT_EQ(log.x, 9);
}

TEST(AsmPseudo, PooledBlocksGoWherePoolSaysOrAfterTheProgram) {
  const AsmResult placed = assemble("sys -6, 1, 2\nhalt\n.pool\nafter: ret\n");
  const AsmResult trailing = assemble("sys -6, 1, 2\nhalt\nafter: ret\n");
  ASSERT_TRUE(placed.errors.empty() && trailing.errors.empty());
  EXPECT_EQ(placed.labels[0].address, trailing.labels[0].address + 20);  // the block sits before "after"
  EXPECT_EQ(placed.image.size(), trailing.image.size());
}

}  // namespace
}  // namespace quill::test
