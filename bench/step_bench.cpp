// Unpaced instructions per second of machine_run on the three workloads in
// programs/bench, in the runners' batches of 65,536.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/text_image.h"
#include "cpu/step.h"

namespace {

using namespace quill;

constexpr uint64_t kTrytes = 1'000'000;

void run_workload(benchmark::State& state, const char* file) {
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
    if (machine_run(machine, 65'536) != status_budget_reached) {
      state.SkipWithError(status_text(machine.status));
      return;
    }
  }
  state.counters["instructions/s"] =
      benchmark::Counter(static_cast<double>(machine.executed), benchmark::Counter::kIsRate);
}

void BM_CountLoop(benchmark::State& state) { run_workload(state, "count_loop.tern"); }
void BM_CallLoop(benchmark::State& state) { run_workload(state, "call_loop.tern"); }
void BM_StoreLoop(benchmark::State& state) { run_workload(state, "store_loop.tern"); }

BENCHMARK(BM_CountLoop)->MinTime(1.0);
BENCHMARK(BM_CallLoop)->MinTime(1.0);
BENCHMARK(BM_StoreLoop)->MinTime(1.0);

}  // namespace
