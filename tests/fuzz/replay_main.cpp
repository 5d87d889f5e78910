// Runs the fuzz target without libFuzzer: every file of the folders given on the
// command line, then inputs made from generated programs, so the build with any
// compiler exercises the target in ctest.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "replay_corpus.h"
#include "support/program_generator.h"

namespace {

// A fuzz input holding `program` (symbols) in a memory of `size` trytes.
std::vector<uint8_t> input_for(const std::string& program, uint64_t size, uint64_t seed) {
  std::vector<uint8_t> input = {static_cast<uint8_t>(size - 1), static_cast<uint8_t>((size - 1) >> 8)};
  for (int i = 0; i < 8; ++i) input.push_back(static_cast<uint8_t>(seed >> (8 * i)));
  for (const char c : program) input.push_back(quill::symbol_value(static_cast<uint8_t>(c)));
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  const int files = replay_corpus(argc, argv);
  quill::test::ProgramGenerator g(31337);
  for (int i = 0; i < 400; ++i) {
    const uint64_t size = 30 + static_cast<uint64_t>(g.below(500));
    const std::string program = i % 2 ? g.hostile_program(size - 20, static_cast<int64_t>(size))
                                      : g.program(size - 20, static_cast<int64_t>(size));
    auto input = input_for(program, size, static_cast<uint64_t>(i));
    if (i % 5 == 0) input[10 + static_cast<size_t>(g.below(static_cast<int>(input.size() - 10)))] = 250;
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("replayed %d files and 400 generated inputs\n", files);
  return 0;
}
