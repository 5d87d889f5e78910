// Unpaced instructions per second on the four workloads in programs/bench, in
// the runners' batches of 65,536: the reference (a machine_step loop) and the
// engine (machine_run) side by side, with the engine's table size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/text_image.h"
#include "cpu/engine.h"
#include "cpu/step.h"

namespace {

using namespace quill;

constexpr uint64_t kTrytes = 1'000'000;

using BatchRunner = uint32_t (*)(Machine&, uint64_t);

void run_workload(benchmark::State& state, const char* file, BatchRunner run) {
  std::ifstream in(std::string(QUILL_SOURCE_DIR) + "/programs/bench/" + file, std::ios::binary);
  const std::string program((std::istreambuf_iterator<char>(in)), {});
  std::vector<uint8_t> memory(3 * kTrytes, '.');
  TextImageReader reader;
  if (program.empty() || !text_image_feed(reader, memory.data(), kTrytes,
                                          reinterpret_cast<const uint8_t*>(program.data()), program.size())) {
    state.SkipWithError("cannot load the workload");
    return;
  }
  static Machine machine;  // 67 KB: kept off the stack
  machine_reset(machine, memory.data(), kTrytes);
  for (auto _ : state) {
    if (run(machine, 65'536) != status_budget_reached) {
      state.SkipWithError(status_text(machine.status));
      return;
    }
  }
  state.counters["instructions/s"] =
      benchmark::Counter(static_cast<double>(machine.executed), benchmark::Counter::kIsRate);
  state.counters["table_bytes"] = static_cast<double>(machine_engine_bytes(machine));
  machine_release(machine);
}

void BM_CountLoop_Reference(benchmark::State& state) { run_workload(state, "count_loop.tern", machine_run_reference); }
void BM_CountLoop_Engine(benchmark::State& state) { run_workload(state, "count_loop.tern", machine_run); }
void BM_CallLoop_Reference(benchmark::State& state) { run_workload(state, "call_loop.tern", machine_run_reference); }
void BM_CallLoop_Engine(benchmark::State& state) { run_workload(state, "call_loop.tern", machine_run); }
void BM_StoreLoop_Reference(benchmark::State& state) { run_workload(state, "store_loop.tern", machine_run_reference); }
void BM_StoreLoop_Engine(benchmark::State& state) { run_workload(state, "store_loop.tern", machine_run); }
void BM_StoreCountLoop_Reference(benchmark::State& state) {
  run_workload(state, "store_count_loop.tern", machine_run_reference);
}
void BM_StoreCountLoop_Engine(benchmark::State& state) { run_workload(state, "store_count_loop.tern", machine_run); }

BENCHMARK(BM_CountLoop_Reference)->MinTime(1.0);
BENCHMARK(BM_CountLoop_Engine)->MinTime(1.0);
BENCHMARK(BM_CallLoop_Reference)->MinTime(1.0);
BENCHMARK(BM_CallLoop_Engine)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_Reference)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_Engine)->MinTime(1.0);
BENCHMARK(BM_StoreCountLoop_Reference)->MinTime(1.0);
BENCHMARK(BM_StoreCountLoop_Engine)->MinTime(1.0);

}  // namespace
