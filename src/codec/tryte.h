// Trits, trytes, the symbol alphabet, digit values and machine values.
//
// Memory is an array of trytes; each tryte is three trit bytes ('-', '.', '+'),
// most significant first, so tryte i lives at bytes 3i .. 3i+2. Everything here
// decodes by table lookup and is safe to call from any thread.
#pragma once

#include <array>
#include <cstdint>

namespace quill {

// A machine value: NIL or within +-kValueMax (the most nine base-20 digits can write).
inline constexpr int64_t NIL = INT64_MIN;
inline constexpr int64_t kValueMax = 511'999'999'999;

inline constexpr int kNoTrit = 2;          // trit_of_byte result for a non-trit byte
inline constexpr uint8_t kNoTryte = 0xFF;  // tryte_value_at / symbol_value: no tryte
inline constexpr uint8_t kNoDigit = 0xFF;  // digit_value: an instruction symbol or no tryte
inline constexpr uint8_t kZeroTryte = 13;  // the tryte of three zero trits, "."

// TryteValue (0..26) indexes this string; "." (13) is the zero tryte.
inline constexpr char kSymbolAlphabet[] = "-01=23<456789.ABCDEF>GH~IJ+";
inline constexpr char kDigitCharacters[] = "0123456789ABCDEFGHIJ";

namespace detail {
// Byte -> weighted trit+1 for each of the three positions of a tryte; a non-trit
// byte maps to 64 so that any sum above 26 means "invalid".
constexpr std::array<uint8_t, 256> trit_weight_table(uint8_t weight) {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = 64;
  t['-'] = 0;
  t['.'] = weight;
  t['+'] = static_cast<uint8_t>(2 * weight);
  return t;
}
inline constexpr auto kTrit2 = trit_weight_table(1);

// The first two bytes of a tryte together, indexed by b0 | b1 << 8: 9*(t0+1) + 3*(t1+1),
// or 64 when either is not a trit. One lookup for two bytes keeps decoding short.
constexpr std::array<uint8_t, 65536> pair_weight_table() {
  std::array<uint8_t, 65536> t{};
  const auto w0 = trit_weight_table(9);
  const auto w1 = trit_weight_table(3);
  for (unsigned i = 0; i < 65536; ++i) {
    const unsigned sum = w0[i & 0xFF] + w1[i >> 8];
    t[i] = static_cast<uint8_t>(sum < 64 ? sum : 64);
  }
  return t;
}
inline constexpr auto kTritPair = pair_weight_table();

// Indexed by TryteValue or kNoTryte (any value above 26): the digit value.
constexpr std::array<uint8_t, 256> digit_table() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kNoDigit;
  for (uint8_t d = 0; d < 20; ++d) {
    for (uint8_t tv = 0; tv < 27; ++tv) {
      if (kSymbolAlphabet[tv] == kDigitCharacters[d]) t[tv] = d;
    }
  }
  return t;
}
inline constexpr auto kDigitOfTryte = digit_table();

constexpr std::array<uint8_t, 256> symbol_table() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kNoTryte;
  for (uint8_t tv = 0; tv < 27; ++tv) t[static_cast<uint8_t>(kSymbolAlphabet[tv])] = tv;
  return t;
}
inline constexpr auto kTryteOfSymbol = symbol_table();

// TryteValue -> its three trit bytes, t0 first.
constexpr std::array<std::array<char, 3>, 27> pattern_table() {
  std::array<std::array<char, 3>, 27> t{};
  constexpr char kTritChar[3] = {'-', '.', '+'};
  for (int tv = 0; tv < 27; ++tv) t[tv] = {kTritChar[tv / 9], kTritChar[(tv / 3) % 3], kTritChar[tv % 3]};
  return t;
}
inline constexpr auto kTritPattern = pattern_table();
}  // namespace detail

// -1, 0 or +1 for '-', '.', '+'; kNoTrit for any other byte.
[[nodiscard]] constexpr int trit_of_byte(uint8_t byte) {
  return byte == '-' ? -1 : byte == '.' ? 0 : byte == '+' ? 1 : kNoTrit;
}

// TryteValue of the three bytes starting at `bytes`, or kNoTryte when one is not a trit.
[[nodiscard]] inline uint8_t tryte_value_of_bytes(const uint8_t* bytes) {
  const unsigned pair = static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8;
  const unsigned sum = detail::kTritPair[pair] + detail::kTrit2[bytes[2]];
  return sum < 27 ? static_cast<uint8_t>(sum) : kNoTryte;
}

// TryteValue 0..26 of the tryte at `address` (< size), or kNoTryte.
[[nodiscard]] inline uint8_t tryte_value_at(const uint8_t* memory, uint64_t address) {
  return tryte_value_of_bytes(memory + 3 * address);
}

// TryteValue of an alphabet character, or kNoTryte (case-sensitive; bytes >= 0x80 are none).
[[nodiscard]] inline uint8_t symbol_value(uint8_t character) { return detail::kTryteOfSymbol[character]; }

// Digit value 0..19 of a TryteValue; kNoDigit for an instruction symbol or kNoTryte.
[[nodiscard]] inline uint8_t digit_value(uint8_t tryte_value) { return detail::kDigitOfTryte[tryte_value]; }

// Writes the trit pattern of `tryte_value` (0..26) into the tryte at `address` (< size).
inline void put_tryte(uint8_t* memory, uint64_t address, uint8_t tryte_value) {
  const auto& p = detail::kTritPattern[tryte_value];
  uint8_t* at = memory + 3 * address;
  at[0] = static_cast<uint8_t>(p[0]);
  at[1] = static_cast<uint8_t>(p[1]);
  at[2] = static_cast<uint8_t>(p[2]);
}

// The value when it is NIL or within the value range; NIL otherwise.
[[nodiscard]] constexpr int64_t range_or_nil(int64_t value) {
  return (value >= -kValueMax && value <= kValueMax) ? value : NIL;
}

// Fills `size` trytes with the zero tryte "..." (every byte '.').
void fill_zero_trytes(uint8_t* memory, uint64_t size);

}  // namespace quill
