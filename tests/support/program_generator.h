// Random ternary programs for differential tests: mostly well-formed
// instructions over a few stacks, with literals small enough that jumps,
// calls and stores land inside memory, and a sprinkling of broken trytes.
#pragma once

#include <algorithm>
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
        case 0:
        case 1:
        case 2:
        case 3:
          out += literal(below(3) == 0 ? size : 30);
          break;
        case 4:
        case 5:
          out += std::string(">") + digit(stacks);
          break;
        case 6:
          out += std::string("<") + digit(stacks);
          break;
        case 7:
          out += std::string("+") + digit(stacks) + digit(stacks);
          break;
        case 8:
          out += std::string("-") + digit(stacks) + digit(stacks);
          break;
        case 9:
        case 10:
          out += std::string("=") + digit(stacks) + digit(stacks);
          break;
        case 11:
        case 12:
          out += std::string("~") + digit(stacks) + digit(stacks) + digit(stacks) + digit(stacks);
          break;
        case 13:
          out += ".";
          break;
        case 14:
          out += kSymbolAlphabet[below(27)];
          break;
        default:
          out += literal(kValueMax);
          break;
      }
    }
    return out;
  }

  // Like program, with the cases that are hard to get right in a fast processor:
  // stores into the code just ahead or behind, jumps to any tryte (operands
  // included), host calls whose hook writes near the code, runs of pushes that
  // overflow, self-calls that go to depth 19, and literal-push runs.
  // Stack 19 is never pushed, so "=J." stores.
  std::string hostile_program(size_t length, int64_t size) {
    std::string out;
    const int stacks = 2 + below(4);
    while (out.size() < length) {
      const int64_t here = static_cast<int64_t>(out.size());
      const char s = digit(stacks);
      switch (below(12)) {
        case 0:  // store a small value a few trytes away from here
          out += literal_symbols(below(3) == 0 ? below(800) : below(28)) + ">" + s;
          out += literal_symbols(std::max<int64_t>(0, here + below(40) - 12)) + "=J" + s;
          break;
        case 1:
          out += jump_to(here, below(static_cast<int>(std::min<int64_t>(size, here + 40))));
          break;
        case 2: {  // host call with an argument near here
          const char a = digit(stacks);
          out += literal_symbols(-1 - below(40)) + ">" + s + literal_symbols(here + below(30)) + ">" + a + "=" + s + a;
          break;
        }
        case 3:  // enough pushes to overflow now and then
          for (int i = 0, n = 10 + below(14); i < n; ++i) out += std::string(">") + s;
          out += std::string(below(2) ? "+" : "-") + digit(stacks) + digit(stacks) + ">" + s + ">" + s;
          break;
        case 4:
          out += literal_symbols(here) + ">" + s + "=" + s + "J";
          break;  // calls itself until depth 19
        case 5:
          out += literal(30) + ">" + s + ">" + digit(stacks) + ">" + s;
          break;
        case 6:
          out +=
              literal(30) + ">" + s + "-" + s + digit(stacks) + ">" + s + "~" + s + digit(stacks) + digit(stacks) + s;
          break;
        default:
          out += program(3, size);
          break;
      }
    }
    return out;
  }

  // Pushes a relative offset and jumps from the "~" to `target` with it (the
  // comparand stack 19 is empty, so R decides).
  std::string jump_to(int64_t here, int64_t target) {
    const char s = digit(4);
    std::string lit = literal_symbols(0);
    for (int i = 0; i < 3; ++i) lit = literal_symbols(target - (here + static_cast<int64_t>(lit.size()) + 2));
    return lit + ">" + s + "~JJJ" + s;
  }
};

}  // namespace quill::test
