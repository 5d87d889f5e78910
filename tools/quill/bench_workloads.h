// The benchmark workloads of programs/bench, compiled into the command so that
// `quill bench` needs no source tree.
#pragma once

#include <cstdint>
#include <vector>

namespace quill::cli {

struct BenchWorkload {
  const char* name;
  const char* symbols;  // text image: one symbol per tryte, whitespace allowed
};

extern const BenchWorkload kBenchWorkloads[3];

// The trit bytes of a text image held in a string; false for a byte that is
// neither a symbol nor whitespace.
[[nodiscard]] bool symbols_to_trits(const char* symbols, std::vector<uint8_t>& trits);

}  // namespace quill::cli
