// machine_run must leave exactly the state of a machine_step loop, batch by batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "codec/packed.h"
#include "cpu/decoded_table.h"
#include "cpu/engine.h"
#include "support/differential.h"
#include "support/machine_compare.h"
#include "support/program_generator.h"
#include "support/source_file.h"

namespace quill {
namespace {

using test::literal_symbols;
using test::ProgramGenerator;
using test::reference_batch;
using test::same_machine;
using test::TwinMachine;

// Runs both machines batch by batch, comparing everything after each batch.
// Small batches end inside fused sequences; size 1 compares every instruction.
void run_both(TwinMachine& fast, TwinMachine& reference, ProgramGenerator& g, int batches, const std::string& what) {
  for (int b = 0; b < batches && !machine_stopped(reference.machine); ++b) {
    const int shape = g.below(4);
    const uint64_t steps = static_cast<uint64_t>(shape == 0   ? 1
                                                 : shape == 1 ? g.below(6)
                                                              : g.below(b % 7 == 0 ? 2000 : 40));
    const uint32_t expected = reference_batch(reference.machine, steps);
    ASSERT_EQ(machine_run(fast.machine, steps), expected) << "batch " << b << " of " << what;
    ASSERT_TRUE(same_machine(fast.machine, reference.machine)) << "batch " << b << " of " << what;
  }
}

void run_program(const std::string& program, uint64_t size, ProgramGenerator& g, int batches) {
  const auto bytes = test::memory_with(program, size);
  if (bytes.empty()) return;  // the last literal ran past the end
  TwinMachine fast(bytes), reference(bytes);
  run_both(fast, reference, g, batches, program);
}

TEST(RunDifferential, GeneratedProgramsMatchTheStepLoop) {
  ProgramGenerator g(2024);
  for (int i = 0; i < 1500; ++i) {
    const uint64_t size = 40 + static_cast<uint64_t>(g.below(400));
    run_program(g.program(size - static_cast<uint64_t>(g.below(30)), static_cast<int64_t>(size)), size, g, 60);
  }
}

TEST(RunDifferential, SelfModifyingJumpingAndHostCallingProgramsMatchTheStepLoop) {
  ProgramGenerator g(7);
  for (int i = 0; i < 2500; ++i) {
    const uint64_t size = 60 + static_cast<uint64_t>(g.below(300));
    run_program(g.hostile_program(size - static_cast<uint64_t>(g.below(40)), static_cast<int64_t>(size)), size, g, 80);
  }
}

TEST(RunDifferential, BrokenBytesAndTinyMemoriesMatchTheStepLoop) {
  ProgramGenerator g(77);
  for (int i = 0; i < 1500; ++i) {
    const uint64_t size = 1 + static_cast<uint64_t>(g.below(24));
    std::string program;
    for (uint64_t k = 0; k < size; ++k) program += kSymbolAlphabet[g.below(27)];
    auto bytes = test::memory_with(program, size);
    bytes[static_cast<size_t>(g.below(static_cast<int>(bytes.size())))] = static_cast<uint8_t>(g.below(256));
    TwinMachine fast(bytes), reference(bytes);
    run_both(fast, reference, g, 12, program);
  }
}

// Code that straddles page boundaries of the decoded table: fused runs, jumps and
// the fall-through from one page into the next, near the end of a memory.
TEST(RunDifferential, ProgramsAcrossTablePagesMatchTheStepLoop) {
  ProgramGenerator g(99);
  for (int i = 0; i < 300; ++i) {
    const uint64_t size = 2 * 4096 + static_cast<uint64_t>(g.below(3)) * 4096 + static_cast<uint64_t>(g.below(40)) - 20;
    std::vector<uint8_t> bytes(3 * size, '.');
    const std::string program = g.hostile_program(200, static_cast<int64_t>(size));
    const uint64_t at = 4096 - static_cast<uint64_t>(g.below(120));
    TextImageReader reader{at, 0, false};
    (void)text_image_feed(reader, bytes.data(), size, reinterpret_cast<const uint8_t*>(program.data()), program.size());
    TwinMachine fast(bytes), reference(bytes);
    fast.machine.pc = reference.machine.pc = at;
    run_both(fast, reference, g, 40, program);
  }
}

// A count-down loop whose "~" takes the same distance turn after turn and then
// another as the counter passes the comparand: zero, a step into the next
// instruction, NIL, back to the loop, and back from a second jump after it. Half
// the loops also call one function from two places, so its "." returns to each in
// turn. The engine remembers where each jump, call and return went last, so a
// remembered destination must never stand in for a different one. The loop is
// placed at `at`; some straddle a page boundary of the table.
std::string repeating_loop(ProgramGenerator& g, uint64_t at) {
  const int64_t counter = g.below(20), comparand = g.below(20);
  const bool fused = g.below(2) == 0;  // "-01>0~": the count-down idiom, or with a pop and push between
  const bool calls = g.below(2) == 0;
  const int64_t pick[] = {0, 5, NIL, 0, 5};
  const std::string head = literal_symbols(counter) + ">0", tail = "<6<6<6.", function = ">0+00.";
  const int q_pick = g.below(7), r_pick = g.below(7);  // 5 and 6: back to the loop
  std::string body;
  int64_t back = 0, back_again = 0, function_at = 0;
  for (int round = 0; round < 4; ++round) {  // the offsets' own lengths settle in a few rounds
    const int64_t q = q_pick >= 5 ? back : pick[q_pick];
    const int64_t r = r_pick >= 5 ? back : pick[r_pick];
    const std::string call = literal_symbols(function_at, 4) + ">8" + "13>9=89";
    body = literal_symbols(comparand) + ">2" + literal_symbols(back) + ">3" + literal_symbols(q) + ">4" +
           literal_symbols(r) + ">5" + (calls ? call + call : "") + "11>1" + (fused ? "-01>0" : "-01>6<6>0") + "~2345";
    const std::string again = literal_symbols(back_again) + ">7~JJJ7";
    back = -static_cast<int64_t>(body.size() - 5);
    back_again = -static_cast<int64_t>(body.size() + again.size() - 5);
    body += again;
    function_at = static_cast<int64_t>(at + head.size() + body.size() + tail.size());
  }
  return head + body + tail + function;
}

TEST(RunDifferential, RepeatedJumpsCallsAndReturnsMatchTheStepLoop) {
  ProgramGenerator g(31);
  for (int i = 0; i < 600; ++i) {
    const uint64_t size = 2 * kPageTrytes;
    const uint64_t at = g.below(2) ? 0 : kPageTrytes - static_cast<uint64_t>(g.below(90));
    const std::string program = repeating_loop(g, at);
    std::vector<uint8_t> bytes(3 * size, '.');
    TextImageReader reader{at, 0, false};
    ASSERT_TRUE(
        text_image_feed(reader, bytes.data(), size, reinterpret_cast<const uint8_t*>(program.data()), program.size()));
    TwinMachine fast(bytes), reference(bytes);
    fast.machine.pc = reference.machine.pc = at;
    run_both(fast, reference, g, 40, program);
  }
}

// Runs of pushes onto one stack (up to and past full) and stores of one value again
// and again, then of another, into free memory, over the program itself and up to
// the end of memory.
TEST(RunDifferential, PushesOntoOneStackAndRepeatedStoresMatchTheStepLoop) {
  ProgramGenerator g(11);
  const int64_t values[] = {0, 1, 27, 28, 757, 123'456'789, static_cast<int64_t>(kPackedMax)};
  for (int i = 0; i < 600; ++i) {
    const uint64_t size = 240;
    std::string program;
    for (int run = 0; run < 3; ++run) {
      program += literal_symbols(values[g.below(7)]);
      for (int n = g.below(run == 0 ? 24 : 6); n > 0; --n) program += ">8";
      program += literal_symbols(static_cast<int64_t>(g.below(static_cast<int>(size) + 4)));
      for (int n = 1 + g.below(9); n > 0; --n) program += "=A8";
    }
    run_program(program + ".", size, g, 40);
  }
}

// A function that pushes onto each of the twenty stacks, called again and again
// from the same frame and from one level deeper: a count that a call failed to
// clear would show as a second value on that stack of the callee's frame.
TEST(RunDifferential, EveryCallStartsWithTwentyEmptyStacks) {
  ProgramGenerator g(15);
  std::string function = "11";
  for (const char* d = kDigitCharacters; *d != 0; ++d) function += std::string(">") + *d;
  function += ".";
  const uint64_t function_at = 200;
  const std::string call = literal_symbols(static_cast<int64_t>(function_at), 4) + ">0" + "13>1=01";
  // The nested case calls a copy of the caller that itself calls the function.
  const uint64_t nested_at = 120;
  const std::string nested_call = literal_symbols(static_cast<int64_t>(nested_at), 4) + ">0" + "13>1=01";
  for (const int calls : {1, 2, 3}) {
    std::string main, nested;
    for (int i = 0; i < calls; ++i) main += call + nested_call;
    for (int i = 0; i < calls; ++i) nested += call;
    std::vector<uint8_t> bytes(3 * 300, '.');
    for (const auto& [at, code] :
         {std::pair<uint64_t, std::string>{0, main + "."}, {nested_at, nested + "."}, {function_at, function}}) {
      TextImageReader reader{at, 0, false};
      ASSERT_TRUE(
          text_image_feed(reader, bytes.data(), 300, reinterpret_cast<const uint8_t*>(code.data()), code.size()));
    }
    TwinMachine fast(bytes), reference(bytes);
    run_both(fast, reference, g, 400, main);
    EXPECT_EQ(reference.machine.status, uint32_t{status_halted});
  }
}

// Stops set and taken out between batches, at the pc and a little ahead of it (so
// inside fused entries, at jump targets, over code the program rewrites): every
// batch must end where a step loop checking them would.
TEST(RunDifferential, StopsEndBatchesWhereTheStepLoopWould) {
  ProgramGenerator g(13);
  for (int i = 0; i < 1500; ++i) {
    const uint64_t size = 60 + static_cast<uint64_t>(g.below(300));
    const auto bytes = test::memory_with(
        g.hostile_program(size - static_cast<uint64_t>(g.below(40)), static_cast<int64_t>(size)), size);
    if (bytes.empty()) continue;
    TwinMachine fast(bytes), reference(bytes);
    std::vector<uint64_t> stops;
    for (int b = 0; b < 60 && !machine_stopped(reference.machine); ++b) {
      if (g.below(3) == 0) {
        const uint64_t at = std::min(size - 1, reference.machine.pc + static_cast<uint64_t>(g.below(3) * g.below(12)));
        const auto found = std::find(stops.begin(), stops.end(), at);
        ASSERT_TRUE(machine_set_stop(fast.machine, at, found == stops.end()));
        if (found == stops.end()) {
          stops.push_back(at);
        } else {
          stops.erase(found);
        }
      }
      const uint64_t steps = static_cast<uint64_t>(g.below(4) == 0 ? 1 : g.below(300));
      bool at_stop = false;
      const uint32_t expected = test::reference_batch_stopping(reference.machine, steps, stops, at_stop);
      ASSERT_EQ(machine_run(fast.machine, steps), expected) << "batch " << b << " of program " << i;
      ASSERT_TRUE(same_machine(fast.machine, reference.machine)) << "batch " << b << " of program " << i;
      ASSERT_EQ(machine_ended_at_stop(fast.machine), at_stop) << "batch " << b << " of program " << i;
    }
  }
}

std::string read_program(const char* name) { return test::read_source_file(std::string("programs/bench/") + name); }

TEST(RunDifferential, BenchmarkWorkloadsMatchTheStepLoop) {
  ProgramGenerator g(5);
  for (const char* name : {"count_loop.tern", "call_loop.tern", "store_loop.tern", "store_count_loop.tern"}) {
    const auto bytes = test::memory_with(read_program(name), 10'000);
    ASSERT_FALSE(bytes.empty()) << name;
    TwinMachine fast(bytes), reference(bytes);
    run_both(fast, reference, g, 3000, name);
    EXPECT_EQ(machine_run(fast.machine, 100'000), reference_batch(reference.machine, 100'000));
    EXPECT_TRUE(same_machine(fast.machine, reference.machine)) << name;
  }
}

}  // namespace
}  // namespace quill
