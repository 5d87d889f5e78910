// The debugger's running beside the plain engine, on the same workloads: a session
// with nothing set, with a breakpoint that is never reached, with a conditional
// breakpoint at the top of the loop that is reached every turn and never holds,
// and recording for going back (with what the record keeps). Each iteration
// resumes for the runners' batch of 65,536 instructions. Then going back one step
// at a time from 10 million recorded.
#include <benchmark/benchmark.h>

#include <string>

#include "codec/machine_memory.h"
#include "tools/debug/command.h"
#include "tools/debug/session.h"

namespace {

using namespace quill;
using namespace quill::debug;

enum class Setup { nothing_set, breakpoint, conditional, recording };

void record_counters(benchmark::State& state, Session& session);

bool load(benchmark::State& state, Session& session, const char* source) {
  ProgramSource program;
  program.path = std::string(QUILL_SOURCE_DIR) + "/programs/bench/" + source;
  program.assembled = true;
  program.entry = 0;  // the workloads start at address 0
  std::string error;
  session_delete_all(session);
  if (!session_load(session, program, error)) {
    state.SkipWithError(error.c_str());
    return false;
  }
  return true;
}

void debug_workload(benchmark::State& state, const char* source, Setup setup) {
  static Session session;  // the headless host is large: kept off the stack
  if (!load(state, session, source)) return;
  session_record(session, setup == Setup::recording);
  uint32_t id = 0;
  // Far past the loop, never reached; or at the loop's top, where every turn
  // stops the engine to test a condition that never holds.
  uint64_t address = kBootAddress;
  Condition never;
  if (setup == Setup::conditional) {
    never = Condition{Subject::acc, 0, Compare::eq, -1};
    std::string error;
    if (!parse_location(session, "loop", address, error)) address = kMemoryTrytes;
  }
  if ((setup == Setup::breakpoint || setup == Setup::conditional) &&
      !session_add_breakpoint(session, address, "", never, "", id)) {
    state.SkipWithError("cannot set the breakpoint");
    return;
  }
  const uint64_t before = session_machine(session).executed;
  for (auto _ : state) {
    Stop stop;
    if (!session_resume(session, {Resume::step, 65'536, 0}, stop) || stop.reason != StopReason::done) {
      state.SkipWithError("the workload stopped");
      break;
    }
  }
  state.counters["instructions/s"] =
      benchmark::Counter(static_cast<double>(session_machine(session).executed - before), benchmark::Counter::kIsRate);
  if (setup == Setup::recording) record_counters(state, session);
  session_close(session);
}

// What the record keeps for the steps it can go back over.
void record_counters(benchmark::State& state, Session& session) {
  const Machine& machine = session_machine(session);
  const uint64_t steps = timeline_position(machine) - timeline_oldest(session.timeline, machine);
  const auto bytes = static_cast<double>(timeline_bytes(session.timeline));
  state.counters["steps_kept"] = static_cast<double>(steps);
  state.counters["record_MB"] = bytes / (1 << 20);
  state.counters["bytes/step"] = steps == 0 ? 0.0 : bytes / static_cast<double>(steps);
}

// Going back one step at a time over a full window of 10 million recorded steps.
void step_back(benchmark::State& state, const char* source) {
  static Session session;
  if (!load(state, session, source)) return;
  Stop stop;
  if (!session_resume(session, {Resume::step, 10'000'000, 0}, stop) || stop.reason != StopReason::done) {
    state.SkipWithError("the workload stopped");
    return;
  }
  record_counters(state, session);
  for (auto _ : state) {
    if (!session_reverse(session, {Resume::step, 1, 0}, stop) || stop.reason != StopReason::done) {
      state.SkipWithError("cannot go back");
      break;
    }
  }
  session_close(session);
}

void BM_CountLoop_Debugger(benchmark::State& state) { debug_workload(state, "count_loop.tasm", Setup::nothing_set); }
void BM_CountLoop_DebuggerBreakpoint(benchmark::State& state) {
  debug_workload(state, "count_loop.tasm", Setup::breakpoint);
}
void BM_CountLoop_DebuggerConditional(benchmark::State& state) {
  debug_workload(state, "count_loop.tasm", Setup::conditional);
}
void BM_CountLoop_DebuggerRecording(benchmark::State& state) {
  debug_workload(state, "count_loop.tasm", Setup::recording);
}
void BM_CallLoop_Debugger(benchmark::State& state) { debug_workload(state, "call_loop.tasm", Setup::nothing_set); }
void BM_CallLoop_DebuggerBreakpoint(benchmark::State& state) {
  debug_workload(state, "call_loop.tasm", Setup::breakpoint);
}
void BM_CallLoop_DebuggerConditional(benchmark::State& state) {
  debug_workload(state, "call_loop.tasm", Setup::conditional);
}
void BM_CallLoop_DebuggerRecording(benchmark::State& state) {
  debug_workload(state, "call_loop.tasm", Setup::recording);
}
void BM_StoreLoop_Debugger(benchmark::State& state) { debug_workload(state, "store_loop.tasm", Setup::nothing_set); }
void BM_StoreLoop_DebuggerBreakpoint(benchmark::State& state) {
  debug_workload(state, "store_loop.tasm", Setup::breakpoint);
}
void BM_StoreLoop_DebuggerConditional(benchmark::State& state) {
  debug_workload(state, "store_loop.tasm", Setup::conditional);
}
void BM_StoreLoop_DebuggerRecording(benchmark::State& state) {
  debug_workload(state, "store_loop.tasm", Setup::recording);
}

void BM_CallLoop_DebuggerStepBack(benchmark::State& state) { step_back(state, "call_loop.tasm"); }
void BM_StoreLoop_DebuggerStepBack(benchmark::State& state) { step_back(state, "store_loop.tasm"); }

}  // namespace

BENCHMARK(BM_CountLoop_Debugger)->MinTime(1.0);
BENCHMARK(BM_CountLoop_DebuggerBreakpoint)->MinTime(1.0);
BENCHMARK(BM_CountLoop_DebuggerConditional)->MinTime(1.0);
BENCHMARK(BM_CountLoop_DebuggerRecording)->MinTime(1.0);
BENCHMARK(BM_CallLoop_Debugger)->MinTime(1.0);
BENCHMARK(BM_CallLoop_DebuggerBreakpoint)->MinTime(1.0);
BENCHMARK(BM_CallLoop_DebuggerConditional)->MinTime(1.0);
BENCHMARK(BM_CallLoop_DebuggerRecording)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_Debugger)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_DebuggerBreakpoint)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_DebuggerConditional)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_DebuggerRecording)->MinTime(1.0);
BENCHMARK(BM_CallLoop_DebuggerStepBack)->MinTime(1.0);
BENCHMARK(BM_StoreLoop_DebuggerStepBack)->MinTime(1.0);
