#include "codec/tryte.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quill {
namespace {

// The reference table: TryteValue, trit pattern, symbol, digit value (-1 for none).
struct Row {
  const char* trits;
  char symbol;
  int digit;
};
constexpr Row kTable[27] = {
    {"---", '-', -1}, {"--.", '0', 0},  {"--+", '1', 1},  {"-.-", '=', -1}, {"-..", '2', 2},  {"-.+", '3', 3},
    {"-+-", '<', -1}, {"-+.", '4', 4},  {"-++", '5', 5},  {".--", '6', 6},  {".-.", '7', 7},  {".-+", '8', 8},
    {"..-", '9', 9},  {"...", '.', -1}, {"..+", 'A', 10}, {".+-", 'B', 11}, {".+.", 'C', 12}, {".++", 'D', 13},
    {"+--", 'E', 14}, {"+-.", 'F', 15}, {"+-+", '>', -1}, {"+.-", 'G', 16}, {"+..", 'H', 17}, {"+.+", '~', -1},
    {"++-", 'I', 18}, {"++.", 'J', 19}, {"+++", '+', -1},
};

TEST(Tryte, EveryValueHasItsPatternSymbolAndDigit) {
  for (uint8_t tv = 0; tv < 27; ++tv) {
    const Row& row = kTable[tv];
    const auto* bytes = reinterpret_cast<const uint8_t*>(row.trits);
    EXPECT_EQ(tryte_value_of_bytes(bytes), tv) << row.trits;
    EXPECT_EQ(kSymbolAlphabet[tv], row.symbol);
    EXPECT_EQ(symbol_value(static_cast<uint8_t>(row.symbol)), tv);
    EXPECT_EQ(digit_value(tv), row.digit < 0 ? kNoDigit : row.digit) << row.symbol;
    uint8_t written[3] = {};
    put_tryte(written, 0, tv);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(written), 3), row.trits);
    const int balanced = 9 * trit_of_byte(bytes[0]) + 3 * trit_of_byte(bytes[1]) + trit_of_byte(bytes[2]);
    EXPECT_EQ(balanced + 13, tv);
  }
}

TEST(Tryte, OnlyTheThreeTritBytesAreTrits) {
  for (int b = 0; b < 256; ++b) {
    const int t = trit_of_byte(static_cast<uint8_t>(b));
    if (b == '-')
      EXPECT_EQ(t, -1);
    else if (b == '.')
      EXPECT_EQ(t, 0);
    else if (b == '+')
      EXPECT_EQ(t, 1);
    else
      EXPECT_EQ(t, kNoTrit) << b;
  }
}

TEST(Tryte, AnyNonTritByteInAnyPositionMakesTheTryteInvalid) {
  for (int b = 0; b < 256; ++b) {
    if (trit_of_byte(static_cast<uint8_t>(b)) != kNoTrit) continue;
    for (int position = 0; position < 3; ++position) {
      uint8_t bytes[3] = {'+', '-', '.'};
      bytes[position] = static_cast<uint8_t>(b);
      ASSERT_EQ(tryte_value_of_bytes(bytes), kNoTryte) << b << " at " << position;
    }
  }
  EXPECT_EQ(digit_value(kNoTryte), kNoDigit);
}

TEST(Tryte, SymbolLookupKnowsExactlyTheAlphabet) {
  std::set<int> seen;
  for (int b = 0; b < 256; ++b) {
    const uint8_t tv = symbol_value(static_cast<uint8_t>(b));
    if (tv == kNoTryte) continue;
    EXPECT_EQ(kSymbolAlphabet[tv], b);
    seen.insert(b);
  }
  EXPECT_EQ(seen.size(), 27u);
  EXPECT_EQ(symbol_value('a'), kNoTryte);  // case-sensitive
  EXPECT_EQ(symbol_value('#'), kNoTryte);
}

TEST(Tryte, ClearedMemoryReadsAsTheZeroSymbolEverywhere) {
  uint8_t memory[3 * 5];
  fill_zero_trytes(memory, 5);
  for (uint64_t i = 0; i < 5; ++i) EXPECT_EQ(kSymbolAlphabet[tryte_value_at(memory, i)], '.');
}

TEST(Value, RangeOrNilKeepsOnlyTheValueRange) {
  EXPECT_EQ(range_or_nil(0), 0);
  EXPECT_EQ(range_or_nil(kValueMax), kValueMax);
  EXPECT_EQ(range_or_nil(-kValueMax), -kValueMax);
  EXPECT_EQ(range_or_nil(kValueMax + 1), NIL);
  EXPECT_EQ(range_or_nil(-kValueMax - 1), NIL);
  EXPECT_EQ(range_or_nil(NIL), NIL);
  EXPECT_EQ(range_or_nil(INT64_MAX), NIL);
  EXPECT_EQ(kValueMax, 20LL * 20 * 20 * 20 * 20 * 20 * 20 * 20 * 20 - 1);
}

}  // namespace
}  // namespace quill
