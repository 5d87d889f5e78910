#include "codec/packed.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/test_memory.h"

namespace quill {
namespace {

using test::TestMemory;

// Reads K packed trytes back: base(K) plus their base-27 value.
uint64_t read_packed(const TestMemory& memory, uint64_t address, int k) {
  uint64_t base = 0, power = 1, value = 0;
  for (int i = 0; i < k; ++i, power *= 27) base += power;
  for (int i = 0; i < k; ++i) value = value * 27 + tryte_value_at(memory.bytes.data(), address + i);
  return base + value;
}

TEST(Packed, LengthsChangeExactlyAtTheBoundaries) {
  const uint64_t last_of[9] = {0, 27, 756, 20'439, 551'880, 14'900'787, 402'321'276, 10'862'674'479, 293'292'210'960};
  for (int k = 0; k <= 8; ++k) {
    EXPECT_EQ(packed_length(last_of[k]), k);
    EXPECT_EQ(packed_length(last_of[k] + 1), k == 8 ? kPackedTooLarge : k + 1);
  }
  EXPECT_EQ(packed_length(static_cast<uint64_t>(-1)), kPackedTooLarge);
  EXPECT_EQ(packed_length(static_cast<uint64_t>(NIL)), kPackedTooLarge);
}

TEST(Packed, WritesTheDocumentedExamples) {
  struct Case {
    int64_t value;
    const char* symbols;
  } cases[] = {
      {1, "-"}, {27, "+"}, {28, "--"}, {756, "++"}, {123'456'789, "4B43HD"}, {293'292'210'960, "++++++++"},
  };
  for (const Case& c : cases) {
    TestMemory memory(8);
    const int k = write_packed(memory.data(), memory.size, 0, c.value);
    ASSERT_EQ(k, static_cast<int>(std::strlen(c.symbols))) << c.value;
    EXPECT_EQ(memory.symbols(0, static_cast<uint64_t>(k)), c.symbols);
    EXPECT_EQ(memory.symbols(static_cast<uint64_t>(k), 8 - static_cast<uint64_t>(k)), std::string(8 - k, '.'));
  }
}

TEST(Packed, RefusesBeforeWritingAnything) {
  TestMemory memory(8);
  EXPECT_EQ(write_packed(memory.data(), memory.size, 0, 293'292'210'961), kPackedTooLarge);
  EXPECT_EQ(write_packed(memory.data(), memory.size, 0, -1), kPackedTooLarge);
  EXPECT_EQ(write_packed(memory.data(), memory.size, 0, NIL), kPackedTooLarge);
  EXPECT_EQ(write_packed(memory.data(), memory.size, 7, 28), kPackedTooLarge);  // needs 2, 1 left
  EXPECT_EQ(write_packed(memory.data(), memory.size, 9, 0), kPackedTooLarge);   // past the end
  EXPECT_EQ(memory.symbols(0, 8), "........");
  EXPECT_EQ(write_packed(memory.data(), memory.size, 8, 0), 0);   // zero at the end: nothing to write
  EXPECT_EQ(write_packed(memory.data(), memory.size, 7, 27), 1);  // exactly fits
}

TEST(Packed, EveryWrittenValueReadsBack) {
  std::mt19937_64 random(11);
  TestMemory memory(8);
  for (int i = 0; i < 20000; ++i) {
    const int64_t v = static_cast<int64_t>(random() % (kPackedMax + 1)) >> (random() % 38);
    const int k = write_packed(memory.data(), memory.size, 0, v);
    ASSERT_EQ(k, packed_length(static_cast<uint64_t>(v)));
    ASSERT_EQ(read_packed(memory, 0, k), static_cast<uint64_t>(v));
  }
}

}  // namespace
}  // namespace quill
