// quill bench: instructions per second of the processor, unpaced, on the
// benchmark workloads (built in) or on images given on the command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cpu/step.h"
#include "tools/image/image_file.h"
#include "tools/quill/bench_workloads.h"
#include "tools/quill/cli.h"
#include "tools/quill/commands.h"

namespace quill::cli {

namespace {

constexpr char kHelp[] = R"(Usage: quill bench [OPTIONS] [IMAGE...]

Runs each workload unpaced, in the runner's batches of 65536 instructions, from
address 0 in a memory of 1000000 trytes, and prints millions of instructions per
second. Without IMAGE it runs the built-in workloads count_loop, call_loop and
store_loop (programs/bench/).

Options:
      --seconds S   how long to run each workload (default 1, at most 600)
  -h, --help        show this help
)";

constexpr uint64_t kTrytes = 1'000'000;
constexpr uint64_t kBatch = 65'536;

// Runs `program` (trit bytes, loaded at 0) for about `seconds`; false when the
// machine stops on its own, which a benchmark loop must not do.
bool measure(const std::string& name, const std::vector<uint8_t>& program, uint64_t seconds) {
  std::vector<uint8_t> memory(3 * kTrytes, '.');
  if (program.size() > memory.size()) return failure("bench", name + ": larger than the benchmark memory") == 0;
  std::copy(program.begin(), program.end(), memory.begin());
  auto* machine = static_cast<Machine*>(std::calloc(1, sizeof(Machine)));  // 67 KB: off the stack
  if (machine == nullptr) return failure("bench", "out of memory") == 0;
  machine_reset(*machine, memory.data(), kTrytes);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const Clock::time_point stop = start + std::chrono::seconds(seconds);
  Clock::time_point now = start;
  bool running = true;
  while (running && now < stop) {
    for (int i = 0; i < 16 && running; ++i) running = machine_run(*machine, kBatch) == status_budget_reached;
    now = Clock::now();
  }
  const double elapsed_s = std::chrono::duration<double>(now - start).count();
  if (!running) {
    std::fprintf(stderr, "quill bench: %s stopped after %llu instructions: %s\n", name.c_str(),
                 static_cast<unsigned long long>(machine->executed), status_text(machine->status));
  } else {
    std::printf("%-14s %8.1f M instructions/s\n", name.c_str(),
                static_cast<double>(machine->executed) / elapsed_s / 1e6);
    std::fflush(stdout);
  }
  machine_release(*machine);  // the engine's decoded table
  std::free(machine);
  return running;
}

}  // namespace

int bench_command(const std::vector<std::string>& args) {
  const std::vector<OptionDef> options = {{nullptr, "--seconds", true}, {"-h", "--help", false}};
  ParsedArgs parsed;
  if (int code = kExitOk; !parse_command("bench", kHelp, args, options, parsed, code)) return code;
  uint64_t seconds = 1;
  for (const ParsedOption& o : parsed.options) {
    if (!parse_count(o.value, 600, seconds) || seconds == 0) {
      return usage_error("bench", "--seconds takes a whole number from 1 to 600");
    }
  }
  bool all_ran = true;
  if (parsed.positional.empty()) {
    for (const BenchWorkload& w : kBenchWorkloads) {
      std::vector<uint8_t> program;
      if (!symbols_to_trits(w.symbols, program)) return failure("bench", std::string(w.name) + ": damaged workload");
      all_ran = measure(w.name, program, seconds) && all_ran;
    }
  }
  for (const std::string& path : parsed.positional) {
    std::vector<uint8_t> program;
    std::string error;
    if (!read_image_file(path, program, error)) return usage_error("bench", error);
    all_ran = measure(path, program, seconds) && all_ran;
  }
  return all_ran ? kExitOk : kExitFailure;
}

}  // namespace quill::cli
