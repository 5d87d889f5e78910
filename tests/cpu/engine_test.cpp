// The engine's own contract: its table's lifetime and size, the write paths
// that keep it in step with memory, and the packed writer of its stores.
#include "cpu/engine.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "codec/packed.h"
#include "cpu/decoded_table.h"
#include "cpu/memory_write.h"
#include "cpu/packed_store.h"
#include "cpu/step.h"
#include "support/differential.h"
#include "support/machine_compare.h"
#include "support/program_generator.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::make_machine;
using test::TestMemory;

TEST(EngineTable, ReleaseFreesTheTableAndIsSafeTwice) {
  TestMemory memory(100);
  ASSERT_TRUE(memory.load("15 >0 13 >1 +01 ."));
  Machine m = make_machine(memory);
  machine_release(m);  // never ran: nothing to free
  EXPECT_EQ(machine_run(m, 3), status_budget_reached);
  EXPECT_GT(machine_engine_bytes(m), 0u);
  machine_release(m);
  machine_release(m);
  EXPECT_EQ(m.decoded, nullptr);
  EXPECT_EQ(machine_engine_bytes(m), 0u);
  EXPECT_EQ(machine_run(m, 100), status_halted);  // a released machine runs on with a new table
  EXPECT_EQ(m.acc, 8);
  machine_reset(m, memory.data(), memory.size);  // reset releases too
  EXPECT_EQ(m.decoded, nullptr);
}

// A loader that rewrites memory between batches tells the machine; one that
// swaps in other memory needs nothing more.
TEST(EngineTable, BulkChangesAndNewMemoryAreSeen) {
  TestMemory memory(100), other(100);
  ASSERT_TRUE(memory.load("15 >0 ."));
  ASSERT_TRUE(other.load("17 ."));
  Machine m = make_machine(memory);
  test::ReleaseAtExit release{m};
  EXPECT_EQ(machine_run(m, 10), status_halted);
  EXPECT_EQ(m.acc, 5);
  ASSERT_TRUE(memory.load("19 >0 ."));
  machine_memory_changed(m, 0, 2);
  m.pc = 0;
  m.status = status_ready;
  EXPECT_EQ(machine_run(m, 10), status_halted);
  EXPECT_EQ(m.acc, 9);
  m.memory = other.data();
  m.pc = 0;
  m.status = status_ready;
  EXPECT_EQ(machine_run(m, 10), status_halted);
  EXPECT_EQ(m.acc, 7);
  machine_memory_changed(m, 90, 1'000'000);  // past the end: ignored
}

// The host writes by each path into the very next instruction; the engine must
// execute what is there after the hook returns.
TEST(EngineTable, HostWritesIntoTheNextInstructionAreExecuted) {
  for (int64_t call : {-4, -5, -6, -7}) {
    std::string program = "B";
    program += kDigitCharacters[-call];
    program += ">0 1B >1 =01 0 >2 .";  // the hook writes at 11, just after the "="
    const auto bytes = test::memory_with(program, 100);
    test::TwinMachine fast(bytes), reference(bytes);
    EXPECT_EQ(machine_run(fast.machine, 1000), test::reference_batch(reference.machine, 1000)) << call;
    EXPECT_TRUE(test::same_machine(fast.machine, reference.machine)) << call;
  }
}

// Code in every page of a large memory: the table stops growing at its limit and
// the rest runs step by step, with the same results.
TEST(EngineTable, TableStaysWithinItsLimit) {
  const uint64_t pages = 600;
  const uint64_t size = pages * kPageTrytes + 10;
  std::vector<uint8_t> bytes(3 * size, '.');
  for (uint64_t p = 0; p < pages; ++p) {
    // literal offset, push it, then "~" with an empty comparand jumps by it to the next page's start.
    std::string hop = test::literal_symbols(static_cast<int64_t>(kPageTrytes) - 6);
    hop.append(">1~JJJ1");
    TextImageReader reader{p * kPageTrytes, 0, false};
    ASSERT_TRUE(text_image_feed(reader, bytes.data(), size, reinterpret_cast<const uint8_t*>(hop.data()), hop.size()));
  }
  test::TwinMachine fast(bytes), reference(bytes);
  EXPECT_EQ(machine_run(fast.machine, 10'000), test::reference_batch(reference.machine, 10'000));
  EXPECT_TRUE(test::same_machine(fast.machine, reference.machine));
  EXPECT_EQ(fast.machine.status, status_halted);
  EXPECT_LE(machine_engine_bytes(fast.machine), kTablePageBytesLimit + (pages + 1) * sizeof(void*) + 4096);
  EXPECT_GT(machine_engine_bytes(fast.machine), kTablePageBytesLimit / 2);
}

// The count-down loop of the benchmarks: its head at 12 is a literal fused with
// three pushes, 28 starts the fused subtract, push and "~", and the "~" at 33 jumps
// back to 12.
constexpr const char* kCountLoop = "9JJJJJJJJJ >0 0 >2 >4 >5 C11 >3 11 >1 -01 >0 ~2345 .";

struct StopCase {
  const char* what;
  int steps_first;  // steps both machines take before the stops are set
  std::vector<uint64_t> stops;
  uint64_t write_at;  // between two batches this tryte is written
  char symbol;        // with this symbol
};

// Runs each case batch by batch beside a step loop that checks the stops, and
// counts the batches that ended at a stop.
TEST(EngineStops, BatchesEndBeforeStopsExactly) {
  const StopCase cases[] = {
      {"at the jump target", 0, {12}, UINT64_MAX, 0},
      {"inside a fused literal and pushes", 0, {15}, UINT64_MAX, 0},
      {"at the push and the \"~\" of a fused count-down", 0, {31, 33}, UINT64_MAX, 0},
      {"at the start pc", 2, {12}, UINT64_MAX, 0},
      {"after a write re-decodes the page", 0, {17}, 12, '0'},  // the same tryte again
      {"after a write changes the stopped instruction", 0, {24}, 25, 'J'},
  };
  for (const StopCase& c : cases) {
    const auto bytes = test::memory_with(kCountLoop, 100);
    test::TwinMachine fast(bytes), reference(bytes);
    for (int k = 0; k < c.steps_first; ++k) {
      (void)machine_step(fast.machine);
      (void)machine_step(reference.machine);
    }
    for (const uint64_t at : c.stops) ASSERT_TRUE(machine_set_stop(fast.machine, at, true)) << c.what;
    EXPECT_FALSE(machine_set_stop(fast.machine, 100, true));  // beyond memory
    int stopped = 0;
    for (int b = 0; b < 40; ++b) {
      if (c.write_at != UINT64_MAX && b == 10) {
        const auto tryte = static_cast<uint8_t>(std::string_view(kSymbolAlphabet).find(c.symbol));
        machine_put_tryte(fast.machine, c.write_at, tryte);
        machine_put_tryte(reference.machine, c.write_at, tryte);
      }
      const uint64_t steps = b % 3 == 0 ? 1 : 1000;
      bool at_stop = false;
      ASSERT_EQ(machine_run(fast.machine, steps),
                test::reference_batch_stopping(reference.machine, steps, c.stops, at_stop))
          << c.what << ", batch " << b;
      ASSERT_TRUE(test::same_machine(fast.machine, reference.machine)) << c.what << ", batch " << b;
      ASSERT_EQ(machine_ended_at_stop(fast.machine), at_stop) << c.what << ", batch " << b;
      stopped += at_stop;
    }
    EXPECT_GT(stopped, 20) << c.what;
  }
}

TEST(EnginePackedStore, WritesWhatWritePackedWrites) {
  std::vector<int64_t> values = {-1, NIL, 0, static_cast<int64_t>(kPackedMax), static_cast<int64_t>(kPackedMax) + 1};
  for (uint64_t base = 1, k = 0; k <= 8; ++k, base = base * 27 + 1) {
    for (int64_t d = -2; d <= 2; ++d) values.push_back(static_cast<int64_t>(base - 1) + d);
  }
  for (uint64_t x = 12345; values.size() < 3000; x = x * 6364136223846793005u + 1442695040888963407u) {
    values.push_back(static_cast<int64_t>((x >> 20) % (kPackedMax + 2)));
  }
  PackedStoreMemo memo;  // kept across values, each stored thrice: packed, kept, copied
  for (const int64_t v : values) {
    for (uint64_t address : {0, 3, 12, 15, 16, 20}) {
      TestMemory a(20), b(20), c(20);
      const int expected = write_packed(a.data(), a.size, address, v);
      ASSERT_EQ(store_packed(b.data(), b.size, address, v), expected) << v << " at " << address;
      ASSERT_EQ(a.bytes, b.bytes) << v << " at " << address;
      for (int thrice = 0; thrice < 3; ++thrice) {
        ASSERT_EQ(store_packed_memo(memo, c.data(), c.size, address, v), expected) << v << " at " << address;
        ASSERT_EQ(a.bytes, c.bytes) << v << " at " << address;
      }
    }
  }
}

}  // namespace
}  // namespace quill
