// Wall-clock figures for the main runner, which Google Benchmark's short
// repetitions cannot give: the cost of the runner over bare machine_run, how
// closely pacing holds the requested speed (and the processor time it takes),
// and the aggregate speed of the main machine with three cores. Prints a table;
// takes about half a minute.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "codec/literal.h"
#include "codec/text_image.h"
#include "cpu/pacing.h"
#include "cpu/step.h"
#include "platform/clock.h"
#include "runner/headless.h"
#include "support/program_builder.h"
#include "support/source_file.h"

namespace {

using namespace quill;

constexpr uint64_t kTrytes = 100'000;

std::string read_workload(const char* name) { return test::read_source_file(std::string("programs/bench/") + name); }

double seconds_between(uint64_t from_ns, uint64_t to_ns) { return static_cast<double>(to_ns - from_ns) / 1e9; }

double process_cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Instructions per second of bare machine_run in the runner's batches.
double bare_rate(const std::string& program, uint64_t instructions) {
  std::vector<uint8_t> memory(3 * kTrytes, '.');
  static Machine machine;
  machine_reset(machine, memory.data(), kTrytes);
  TextImageReader reader;
  if (!text_image_feed(reader, memory.data(), kTrytes, reinterpret_cast<const uint8_t*>(program.data()),
                       program.size())) {
    return 0;
  }
  const uint64_t began = clock_now_ns();
  while (machine.executed < instructions) (void)machine_run(machine, kRunnerBatch);
  return static_cast<double>(machine.executed) / seconds_between(began, clock_now_ns());
}

struct RunnerFigures {
  double rate = 0;         // instructions per second executed
  double cpu_seconds = 0;  // process time used while the runner ran
  double wall_seconds = 0;
};

// Runs `program` from 0 at `speed` until `instructions` have run.
RunnerFigures runner_rate(const std::string& program, uint64_t speed, uint64_t instructions) {
  RunnerFigures figures;
  HeadlessHost host;
  if (!headless_create(host, kTrytes) || !headless_load_program(host, program.data(), program.size(), 0)) {
    headless_destroy(host);
    return figures;
  }
  const double cpu_before = process_cpu_seconds();
  const uint64_t began = clock_now_ns();
  if (headless_start(host, HeadlessOptions{0, speed, instructions}) && headless_wait_end(host, 600'000)) {
    const uint64_t ended = clock_now_ns();
    headless_join(host);
    figures.wall_seconds = seconds_between(began, ended);
    figures.cpu_seconds = process_cpu_seconds() - cpu_before;
    figures.rate = static_cast<double>(headless_machine(host).executed) / figures.wall_seconds;
  }
  headless_destroy(host);
  return figures;
}

void unpaced_overhead(const std::string& program) {
  constexpr uint64_t kInstructions = 300'000'000;
  double best_bare = 0, best_runner = 0;
  std::printf("unpaced, count_loop, %" PRIu64 " instructions a round\n", kInstructions);
  for (int round = 0; round < 3; ++round) {
    const double bare = bare_rate(program, kInstructions);
    const double runner = runner_rate(program, 0, kInstructions).rate;
    std::printf("  round %d: bare %.1f, runner %.1f M instructions/s\n", round, bare / 1e6, runner / 1e6);
    if (bare > best_bare) best_bare = bare;
    if (runner > best_runner) best_runner = runner;
  }
  std::printf("  best: bare machine_run %.1f, runner at speed 0 %.1f M instructions/s (runner/bare %.4f)\n",
              best_bare / 1e6, best_runner / 1e6, best_runner / best_bare);
}

void pacing_accuracy(const std::string& program) {
  std::printf("pacing, count_loop, 2 s a speed\n");
  std::printf("  %12s %14s %10s %12s\n", "speed", "executed/s", "ratio", "cpu/wall");
  for (uint64_t speed : {uint64_t{1'000}, uint64_t{1'000'000}, uint64_t{64'000'000}}) {
    const RunnerFigures f = runner_rate(program, speed, 2 * speed);
    std::printf("  %12" PRIu64 " %14.1f %10.5f %12.3f\n", speed, f.rate, f.rate / static_cast<double>(speed),
                f.cpu_seconds / f.wall_seconds);
  }
}

// The main machine starts three cores on the same loop, then runs it itself.
void cores_aggregate(const std::string& loop) {
  HeadlessHost host;
  if (!headless_create(host, kTrytes) || !headless_load_program(host, loop.data(), loop.size(), 0)) {
    headless_destroy(host);
    return;
  }
  test::ProgramBuilder main(10'000, 20'000);
  const auto block = static_cast<int64_t>(main.cell(0));
  (void)main.cell(100), (void)main.cell(0), (void)main.cell(kValueMax);
  for (int i = 0; i < kCoreCount; ++i) main.call(-22, block);
  main.emit(loop);
  if (!main.store(host.memory, host.size)) {
    headless_destroy(host);
    return;
  }
  constexpr uint64_t kMainInstructions = 200'000'000;
  const uint64_t began = clock_now_ns();
  if (!headless_start(host, HeadlessOptions{10'000, 0, kMainInstructions}) || !headless_wait_end(host, 600'000)) {
    headless_destroy(host);
    return;
  }
  const uint64_t ended = clock_now_ns();
  headless_join(host);
  uint64_t total = headless_machine(host).executed;
  HostState& state = host.processor->host;
  {
    LockGuard guard(state.lock);
    for (const CoreSlot& slot : state.cores) total += slot.executed_snapshot;
  }
  const double wall = seconds_between(began, ended);
  std::printf("main + 3 cores at speed 0, count_loop: %.1f M instructions/s together (main %.1f M/s)\n",
              static_cast<double>(total) / wall / 1e6,
              static_cast<double>(headless_machine(host).executed) / wall / 1e6);
  headless_destroy(host);
}

}  // namespace

int main() {
  const std::string loop = read_workload("count_loop.tern");
  if (loop.empty()) {
    std::fputs("cannot read programs/bench/count_loop.tern\n", stderr);
    return 1;
  }
  unpaced_overhead(loop);
  pacing_accuracy(loop);
  cores_aggregate(loop);
  return 0;
}
