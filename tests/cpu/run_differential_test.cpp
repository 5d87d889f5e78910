// machine_run must leave exactly the state of a machine_step loop, batch by batch.
#include <gtest/gtest.h>

#include "cpu/memory_write.h"
#include "cpu/step.h"
#include "support/machine_compare.h"
#include "support/program_generator.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::make_machine;
using test::ProgramGenerator;
using test::same_machine;
using test::TestMemory;

// The runners' batch, written out one machine_step at a time.
uint32_t reference_batch(Machine& m, uint64_t steps) {
  if (steps == 0 || machine_stopped(m)) return m.status;
  for (;;) {
    if (machine_step(m) != status_ready) return m.status;
    if (--steps == 0) return m.status = status_budget_reached;
  }
}

// A deterministic host: some calls fail, some yield, some write into memory.
struct ToyHost {
  Machine* machine = nullptr;
};

int32_t toy_host(void* context, int64_t call, int64_t argument, int64_t* result) {
  Machine& m = *static_cast<ToyHost*>(context)->machine;
  if (call % 3 == 0) m.status = status_budget_reached;
  if (argument != NIL && argument >= 0 && static_cast<uint64_t>(argument) < m.size) {
    machine_put_tryte(m, static_cast<uint64_t>(argument), static_cast<uint8_t>(-call % 27));
  }
  *result = (call % 1000) * 1'000'000'000;  // sometimes beyond the value range
  return call % 5 != 0;
}

struct Twin {
  TestMemory memory;
  Machine machine;
  ToyHost host;
  Twin(const std::string& program, uint64_t size) : memory(size), machine(make_machine(memory)) {
    EXPECT_TRUE(memory.load(program));
    host.machine = &machine;
    machine.host_hook = toy_host;
    machine.host_context = &host;
  }
  Twin(const Twin&) = delete;
  ~Twin() { machine_release(machine); }
};

void run_both(const std::string& program, uint64_t size, ProgramGenerator& g, int batches) {
  Twin fast(program, size), reference(program, size);
  for (int b = 0; b < batches && !machine_stopped(reference.machine); ++b) {
    const uint64_t steps = static_cast<uint64_t>(g.below(b % 7 == 0 ? 2000 : 40));
    const uint32_t expected = reference_batch(reference.machine, steps);
    ASSERT_EQ(machine_run(fast.machine, steps), expected) << "batch " << b << " of " << program;
    ASSERT_TRUE(same_machine(fast.machine, reference.machine)) << "batch " << b << " of " << program;
  }
}

TEST(RunDifferential, GeneratedProgramsMatchTheStepLoop) {
  ProgramGenerator g(2024);
  for (int i = 0; i < 1500; ++i) {
    const uint64_t size = 40 + static_cast<uint64_t>(g.below(400));
    const std::string program = g.program(static_cast<size_t>(size) - static_cast<size_t>(g.below(30)), static_cast<int64_t>(size));
    TestMemory probe(size);
    if (!probe.load(program)) continue;  // the last literal ran past the end
    run_both(program, size, g, 60);
  }
}

TEST(RunDifferential, BrokenBytesAndTinyMemoriesMatchTheStepLoop) {
  ProgramGenerator g(77);
  for (int i = 0; i < 1500; ++i) {
    const uint64_t size = 1 + static_cast<uint64_t>(g.below(12));
    std::string program;
    for (uint64_t k = 0; k < size; ++k) program += kSymbolAlphabet[g.below(27)];
    Twin fast(program, size), reference(program, size);
    const size_t broken = static_cast<size_t>(g.below(static_cast<int>(3 * size)));
    fast.memory.bytes[broken] = reference.memory.bytes[broken] = static_cast<uint8_t>(g.below(256));
    for (int b = 0; b < 10; ++b) {
      const uint64_t steps = static_cast<uint64_t>(g.below(5));
      ASSERT_EQ(machine_run(fast.machine, steps), reference_batch(reference.machine, steps));
      ASSERT_TRUE(same_machine(fast.machine, reference.machine)) << program;
    }
  }
}

}  // namespace
}  // namespace quill
