// A small machine memory for tests, filled from symbol strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/text_image.h"
#include "codec/tryte.h"
#include "cpu/machine.h"

namespace quill::test {

struct TestMemory {
  std::vector<uint8_t> bytes;
  uint64_t size = 0;

  explicit TestMemory(uint64_t trytes) : bytes(3 * trytes, '.'), size(trytes) {}

  uint8_t* data() { return bytes.data(); }

  // Writes the symbols of `text` (whitespace ignored) from `address`; false when they do not fit.
  bool load(std::string_view text, uint64_t address = 0) {
    TextImageReader reader{address, 0, false};
    return text_image_feed(reader, bytes.data(), size, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

  // The symbols of `count` trytes from `address`; '?' marks an invalid tryte.
  std::string symbols(uint64_t address, uint64_t count) const {
    std::string out;
    for (uint64_t i = address; i < address + count; ++i) {
      const uint8_t tv = tryte_value_at(bytes.data(), i);
      out += tv == kNoTryte ? '?' : kSymbolAlphabet[tv];
    }
    return out;
  }
};

// A machine over `memory`, as its owner would create it.
inline Machine make_machine(TestMemory& memory) {
  Machine m;
  machine_reset(m, memory.data(), memory.size);
  return m;
}

// Frees the decoded table that machine_run left in a machine when the scope ends.
struct ReleaseAtExit {
  Machine& machine;
  explicit ReleaseAtExit(Machine& m) : machine(m) {}
  ReleaseAtExit(const ReleaseAtExit&) = delete;
  ~ReleaseAtExit() { machine_release(machine); }
};

}  // namespace quill::test
