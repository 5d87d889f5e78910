// A processor over a small test memory whose host calls the test makes itself,
// on its own thread, as the main runner would (no runner thread is started).
#pragma once

#include <cstdint>
#include <memory>

#include "codec/literal.h"
#include "host/dispatch.h"
#include "runner/processor.h"
#include "support/test_memory.h"

namespace quill::test {

struct CallResult {
  bool ok = false;
  int64_t value = NIL;
};

struct HostHarness {
  TestMemory memory;
  std::unique_ptr<Processor> processor = std::make_unique<Processor>();
  uint64_t block = 0;  // where call() writes its argument block

  explicit HostHarness(uint64_t trytes = 100'000, uint64_t block_address = 50'000)
      : memory(trytes), block(block_address) {
    ok = processor_init(*processor, memory.data(), memory.size);
  }
  ~HostHarness() { processor_release(*processor); }
  HostHarness(const HostHarness&) = delete;
  HostHarness& operator=(const HostHarness&) = delete;

  bool ok = false;
  Machine& machine() { return processor->machine; }
  HostState& host() { return processor->host; }

  // Host call with no argument.
  CallResult call(int64_t type) { return raw(type, NIL); }

  // Host call with the argument block (x, y) written at `block`.
  CallResult call(int64_t type, int64_t x, int64_t y = NIL) {
    if (!write_cell(memory.data(), memory.size, block, x) || !write_cell(memory.data(), memory.size, block + 10, y)) {
      return CallResult{};
    }
    return raw(type, static_cast<int64_t>(block));
  }

  // Host call with `argument` passed as it is.
  CallResult raw(int64_t type, int64_t argument) {
    int64_t result = NIL;
    const bool success = host_dispatch(&processor->host, type, argument, &result) != 0;
    return CallResult{success, success ? result : NIL};
  }
};

inline bool operator==(const CallResult& a, const CallResult& b) { return a.ok == b.ok && a.value == b.value; }
inline std::ostream& operator<<(std::ostream& out, const CallResult& r) {
  return r.ok ? out << "ok " << r.value : out << "failed";
}
inline CallResult Ok(int64_t value) { return CallResult{true, value}; }
inline const CallResult kFailed{};

}  // namespace quill::test
