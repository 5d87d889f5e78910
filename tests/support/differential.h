// Two machines over the same program, one run by machine_run and one by a loop of
// machine_step, with a host hook that writes into memory through the machine's
// write functions: the differential tests and the fuzz target share it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/text_image.h"
#include "cpu/memory_write.h"
#include "cpu/step.h"

namespace quill::test {

// The runners' batch, written out one machine_step at a time.
inline uint32_t reference_batch(Machine& m, uint64_t steps) {
  if (steps == 0 || machine_stopped(m)) return m.status;
  for (;;) {
    if (machine_step(m) != status_ready) return m.status;
    if (--steps == 0) return m.status = status_budget_reached;
  }
}

// reference_batch that also ends before an instruction at any of `stops`, except
// the batch's first: what machine_run does with those addresses in its stop set.
// `at_stop` says whether it ended there.
inline uint32_t reference_batch_stopping(Machine& m, uint64_t steps, const std::vector<uint64_t>& stops,
                                         bool& at_stop) {
  at_stop = false;
  if (steps == 0 || machine_stopped(m)) return m.status;
  for (uint64_t done = 0;; ++done) {
    at_stop = done > 0 && done < steps && std::find(stops.begin(), stops.end(), m.pc) != stops.end();
    if (done == steps || at_stop) return m.status = status_budget_reached;
    if (machine_step(m) != status_ready) return m.status;
  }
}

// A deterministic host: some calls fail, some yield, and most write into memory
// at the address in their argument, by each of the write paths in turn.
struct ToyHost {
  Machine* machine = nullptr;
};

inline int32_t toy_host(void* context, int64_t call, int64_t argument, int64_t* result) {
  Machine& m = *static_cast<ToyHost*>(context)->machine;
  if (call % 3 == 0) m.status = status_budget_reached;
  if (argument != NIL && argument >= 0 && static_cast<uint64_t>(argument) < m.size) {
    const auto at = static_cast<uint64_t>(argument);
    switch (-call % 4) {
      case 0:
        machine_put_tryte(m, at, static_cast<uint8_t>(-call % 27));
        break;
      case 1:
        (void)machine_write_cell(m, at, call * 7);
        break;
      case 2:
        (void)machine_write_packed(m, at, -call * 1'000);
        break;
      default:  // a bulk change: raw bytes, then the notice
        for (uint64_t i = at; i < at + 3 && i < m.size; ++i) put_tryte(m.memory, i, static_cast<uint8_t>((i + 5) % 27));
        machine_memory_changed(m, at, 3);
    }
  }
  *result = (call % 1000) * 1'000'000'000;  // sometimes beyond the value range
  return call % 5 != 0;
}

struct TwinMachine {
  std::vector<uint8_t> memory;
  Machine machine;
  ToyHost host;
  explicit TwinMachine(const std::vector<uint8_t>& bytes) : memory(bytes) {
    machine_reset(machine, memory.data(), memory.size() / 3);
    host.machine = &machine;
    machine.host_hook = toy_host;
    machine.host_context = &host;
  }
  TwinMachine(const TwinMachine&) = delete;
  ~TwinMachine() { machine_release(machine); }
};

// The bytes of a memory of `size` trytes holding `symbols` from address 0 (the
// rest cleared); empty when they do not fit.
inline std::vector<uint8_t> memory_with(const std::string& symbols, uint64_t size) {
  std::vector<uint8_t> bytes(3 * size, '.');
  TextImageReader reader{0, 0, false};
  if (!text_image_feed(reader, bytes.data(), size, reinterpret_cast<const uint8_t*>(symbols.data()), symbols.size()))
    return {};
  return bytes;
}

}  // namespace quill::test
