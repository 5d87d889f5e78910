// Replaying a fuzz target's corpus without libFuzzer, for the replay programs that
// every build runs under ctest.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length);

// Feeds every file of the folders named by argv[1..] to the target; returns how many.
inline int replay_corpus(int argc, char** argv) {
  int files = 0;
  for (int a = 1; a < argc; ++a) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[a])) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)), {});
      LLVMFuzzerTestOneInput(input.data(), input.size());
      ++files;
    }
  }
  return files;
}
