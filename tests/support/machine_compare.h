// Field-by-field comparison of two machines and their memories.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "cpu/machine.h"

namespace quill::test {

// Adds a failure naming the first field in which the two machines differ.
inline ::testing::AssertionResult same_machine(const Machine& a, const Machine& b) {
  auto differ = [](const char* what) { return ::testing::AssertionFailure() << "machines differ in " << what; };
  if (a.pc != b.pc) return differ("pc") << ": " << a.pc << " vs " << b.pc;
  if (a.acc != b.acc) return differ("acc") << ": " << a.acc << " vs " << b.acc;
  if (a.depth != b.depth) return differ("depth");
  if (a.executed != b.executed) return differ("executed") << ": " << a.executed << " vs " << b.executed;
  if (a.status != b.status) return differ("status") << ": " << a.status << " vs " << b.status;
  if (a.size != b.size) return differ("size");
  for (int f = 0; f < kFrameCount; ++f) {
    if (a.frames[f].return_address != b.frames[f].return_address) return differ("a return address");
    for (int s = 0; s < kStackCount; ++s) {
      const ValueStack& x = a.frames[f].stacks[s];
      const ValueStack& y = b.frames[f].stacks[s];
      if (x.count != y.count) return differ("a stack count") << " (frame " << f << ", stack " << s << ")";
      if (std::memcmp(x.values, y.values, sizeof x.values) != 0) return differ("stack values");
    }
  }
  if (std::memcmp(a.memory, b.memory, 3 * a.size) != 0) return differ("memory");
  return ::testing::AssertionSuccess();
}

}  // namespace quill::test
