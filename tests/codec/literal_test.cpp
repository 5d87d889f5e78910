#include "codec/literal.h"

#include <gtest/gtest.h>

#include <random>

#include "support/test_memory.h"

namespace quill {
namespace {

using test::TestMemory;

struct Decoded {
  LiteralResult result;
  int64_t value;
  uint64_t end;
};

// Reads a literal from a memory holding exactly `symbols` (or `size` trytes if larger).
Decoded decode(const char* symbols, uint64_t at = 0, uint64_t size = 0) {
  const std::string_view text(symbols);
  TestMemory memory(size ? size : text.size());
  EXPECT_TRUE(memory.load(text));
  Decoded d{literal_ok, 12345, at};
  d.result = read_literal(memory.data(), memory.size, d.end, d.value);
  return d;
}

TEST(Literal, ExamplesDecodeToTheirValues) {
  struct Case {
    const char* symbols;
    int64_t value;
    uint64_t length;
  } cases[] = {
      {"0", 0, 1},
      {"1F", 15, 2},
      {"2A0", 200, 3},
      {"B1", -1, 2},
      {"C10", -20, 3},
      {"A", NIL, 1},
      {"B0", NIL, 2},
      {"J000000000", NIL, 10},
      {"9000000000", 0, 10},
      {"9JJJJJJJJJ", kValueMax, 10},
      {"JJJJJJJJJJ", -kValueMax, 10},
  };
  for (const Case& c : cases) {
    const Decoded d = decode(c.symbols);
    EXPECT_EQ(d.result, literal_ok) << c.symbols;
    EXPECT_EQ(d.value, c.value) << c.symbols;
    EXPECT_EQ(d.end, c.length) << c.symbols;
  }
}

TEST(Literal, RunningOutOfMemoryIsMemoryEnd) {
  // Length tryte as the last tryte: 0 and A need no digits, 1 needs one.
  EXPECT_EQ(decode("..0", 2).result, literal_ok);
  EXPECT_EQ(decode("..A", 2).value, NIL);
  EXPECT_EQ(decode("..1", 2).result, literal_memory_end);
  EXPECT_EQ(decode("3AB", 0).result, literal_memory_end);
  // Position at or past the end.
  EXPECT_EQ(decode("00", 2).result, literal_memory_end);
  EXPECT_EQ(decode("00", 7).result, literal_memory_end);
}

TEST(Literal, NonDigitTrytesCannotBeDecoded) {
  EXPECT_EQ(decode("2+0").result, literal_cannot_decode);  // instruction symbol among digits
  EXPECT_EQ(decode("=").result, literal_cannot_decode);    // instruction symbol as length
  EXPECT_EQ(decode(".").result, literal_cannot_decode);
  TestMemory memory(3);
  ASSERT_TRUE(memory.load("200"));
  memory.bytes[4] = '0';  // a byte that is not a trit inside the second tryte
  uint64_t position = 0;
  int64_t value = 77;
  EXPECT_EQ(read_literal(memory.data(), memory.size, position, value), literal_cannot_decode);
  EXPECT_EQ(value, 77);  // result untouched on failure
}

TEST(Cell, ReadsOnlyTenTryteLiteralsThatFit) {
  TestMemory memory(28);
  ASSERT_TRUE(memory.load("9000000012 J00000000C 81234567"));
  int64_t value = 0;
  EXPECT_TRUE(read_cell(memory.data(), memory.size, 0, value));
  EXPECT_EQ(value, 22);
  EXPECT_TRUE(read_cell(memory.data(), memory.size, 10, value));
  EXPECT_EQ(value, -12);
  value = 99;
  EXPECT_FALSE(read_cell(memory.data(), memory.size, 20, value));  // length 8, and only 5 left
  EXPECT_EQ(value, 99);

  TestMemory exact(20);
  ASSERT_TRUE(exact.load("..........9000000001"));
  EXPECT_TRUE(read_cell(exact.data(), exact.size, 10, value));  // exactly ten left
  EXPECT_EQ(value, 1);
  EXPECT_FALSE(read_cell(exact.data(), exact.size, 11, value));  // nine left
  EXPECT_FALSE(read_cell(exact.data(), exact.size, 21, value));  // beyond the end

  TestMemory short_literal(20);
  ASSERT_TRUE(short_literal.load("812345678........."));
  EXPECT_FALSE(read_cell(short_literal.data(), short_literal.size, 0, value));  // valid literal, not a cell
}

TEST(Cell, WritesTheDocumentedForms) {
  struct Case {
    int64_t value;
    const char* symbols;
  } cases[] = {
      {NIL, "J000000000"},       {-1, "J000000001"},         {0, "9000000000"},
      {kValueMax, "9JJJJJJJJJ"}, {-kValueMax, "JJJJJJJJJJ"}, {8000, "9000001000"},
  };
  for (const Case& c : cases) {
    TestMemory memory(10);
    ASSERT_TRUE(write_cell(memory.data(), memory.size, 0, c.value));
    EXPECT_EQ(memory.symbols(0, 10), c.symbols);
  }
}

TEST(Cell, RefusesWithoutWritingAnything) {
  TestMemory memory(12);
  EXPECT_FALSE(write_cell(memory.data(), memory.size, 0, kValueMax + 1));
  EXPECT_FALSE(write_cell(memory.data(), memory.size, 0, -kValueMax - 1));
  EXPECT_FALSE(write_cell(memory.data(), memory.size, 3, 5));   // nine trytes left
  EXPECT_FALSE(write_cell(memory.data(), memory.size, 13, 5));  // beyond the end
  EXPECT_FALSE(write_cell(memory.data(), memory.size, static_cast<uint64_t>(-1), 5));
  EXPECT_EQ(memory.symbols(0, 12), "............");
  EXPECT_TRUE(write_cell(memory.data(), memory.size, 2, 5));  // exactly ten left
}

TEST(Cell, EveryWrittenValueReadsBack) {
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int64_t> any(-kValueMax, kValueMax);
  TestMemory memory(10);
  for (int i = 0; i < 20000; ++i) {
    const int64_t v = i == 0 ? NIL : any(random) >> (random() % 40);
    ASSERT_TRUE(write_cell(memory.data(), memory.size, 0, v));
    int64_t back = 0;
    ASSERT_TRUE(read_cell(memory.data(), memory.size, 0, back));
    ASSERT_EQ(back, v);
  }
}

}  // namespace
}  // namespace quill
