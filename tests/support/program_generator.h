// Random ternary programs for differential tests: mostly well-formed
// instructions over a few stacks, with literals small enough that jumps,
// calls and stores land inside memory, and a sprinkling of broken trytes.
#pragma once

#include <random>
#include <string>

#include "codec/tryte.h"
#include "support/program_builder.h"

namespace quill::test {

struct ProgramGenerator {
  std::mt19937_64 random;
  explicit ProgramGenerator(uint64_t seed) : random(seed) {}

  int below(int n) { return static_cast<int>(random() % static_cast<uint64_t>(n)); }
  char digit(int limit = 20) { return kDigitCharacters[below(limit)]; }

  // A literal of value in -range..range (NIL now and then).
  std::string literal(int64_t range) {
    if (below(20) == 0) return "A";
    return literal_symbols(static_cast<int64_t>(random() % static_cast<uint64_t>(2 * range + 1)) - range);
  }

  // Symbols of a program of about `length` trytes for a memory of `size` trytes.
  std::string program(size_t length, int64_t size) {
    std::string out;
    const int stacks = 2 + below(4);  // few stacks, so values meet
    while (out.size() < length) {
      switch (below(16)) {
        case 0: case 1: case 2: case 3: out += literal(below(3) == 0 ? size : 30); break;
        case 4: case 5: out += std::string(">") + digit(stacks); break;
        case 6: out += std::string("<") + digit(stacks); break;
        case 7: out += std::string("+") + digit(stacks) + digit(stacks); break;
        case 8: out += std::string("-") + digit(stacks) + digit(stacks); break;
        case 9: case 10: out += std::string("=") + digit(stacks) + digit(stacks); break;
        case 11: case 12: out += std::string("~") + digit(stacks) + digit(stacks) + digit(stacks) + digit(stacks); break;
        case 13: out += "."; break;
        case 14: out += kSymbolAlphabet[below(27)]; break;
        default: out += literal(kValueMax); break;
      }
    }
    return out;
  }
};

}  // namespace quill::test
