// Runs the image fuzz target without libFuzzer: every file of the folders given on
// the command line, then generated files mixing symbols, trit characters,
// whitespace and now and then a byte that belongs to neither.
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "replay_corpus.h"

int main(int argc, char** argv) {
  const int files = replay_corpus(argc, argv);
  static constexpr char kBytes[] = "-.+-.+-.+0123456789ABJ~<>= \n\r\t";
  std::mt19937 random(2718);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> input = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
    const size_t length = random() % (i % 10 == 0 ? 400 : 40);
    const bool trits_only = i % 3 == 0;
    for (size_t k = 0; k < length; ++k) input.push_back(static_cast<uint8_t>(kBytes[random() % (trits_only ? 9 : 31)]));
    if (i % 7 == 0 && length > 0) input[2 + random() % length] = static_cast<uint8_t>(random());
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("replayed %d files and 300 generated inputs\n", files);
  return 0;
}
