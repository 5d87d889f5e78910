#include "codec/text_image.h"

#include <array>
#include <bit>
#include <cstring>

#include "codec/tryte.h"

namespace quill {

namespace {
constexpr uint8_t kSpace = 0xFE;  // byte class: whitespace, skipped

// Byte -> TryteValue of its symbol, kSpace for whitespace, kNoTryte otherwise.
constexpr std::array<uint8_t, 256> byte_class_table() {
  std::array<uint8_t, 256> t = detail::kTryteOfSymbol;
  for (uint8_t c : {' ', '\t', '\n', '\v', '\f', '\r'}) t[c] = kSpace;
  return t;
}
constexpr auto kByteClass = byte_class_table();

// Two input bytes (b0 | b1 << 8) -> the six trit bytes of both symbols, or 0 when
// either byte is not a symbol. Large images are long runs of symbols, so most of
// the text converts a pair at a time.
constexpr std::array<uint64_t, 65536> symbol_pair_table() {
  std::array<uint64_t, 65536> t{};
  for (unsigned i = 0; i < 65536; ++i) {
    const uint8_t a = detail::kTryteOfSymbol[i & 0xFF];
    const uint8_t b = detail::kTryteOfSymbol[i >> 8];
    if (a == kNoTryte || b == kNoTryte) continue;
    const auto& p = detail::kTritPattern[a];
    const auto& q = detail::kTritPattern[b];
    const char bytes[6] = {p[0], p[1], p[2], q[0], q[1], q[2]};
    for (int k = 0; k < 6; ++k) t[i] |= static_cast<uint64_t>(static_cast<uint8_t>(bytes[k])) << (8 * k);
  }
  return t;
}
constexpr auto kSymbolPair = symbol_pair_table();

inline unsigned load_two(const uint8_t* at) {
  if constexpr (std::endian::native == std::endian::little) {
    uint16_t two;
    std::memcpy(&two, at, 2);
    return two;
  }
  return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

inline void store_six(uint8_t* at, uint64_t bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &bytes, 6);
  } else {
    for (int k = 0; k < 6; ++k) at[k] = static_cast<uint8_t>(bytes >> (8 * k));
  }
}

// Symbol of a tryte value, indexed by the (possibly invalid, >= 64) sum of its trit weights.
constexpr std::array<char, 256> symbol_of_sum_table() {
  std::array<char, 256> t{};
  for (int i = 0; i < 27; ++i) t[i] = kSymbolAlphabet[i];
  return t;
}
constexpr auto kSymbolOfSum = symbol_of_sum_table();
}  // namespace

bool text_image_feed(TextImageReader& reader, uint8_t* memory, uint64_t size, const uint8_t* bytes, size_t length) {
  if (reader.failed) return false;
  uint64_t next = reader.next;
  size_t i = 0;
  const size_t pair_end = length > 0 ? length - 1 : 0;  // i < pair_end: two bytes left
  const uint64_t next_end = size > 0 ? size - 1 : 0;    // next < next_end: two trytes left
  while (i < length) {
    // Pairs of symbols while both fit; anything else goes one byte at a time below.
    while (i < pair_end && next < next_end) {
      const uint64_t pair = kSymbolPair[load_two(bytes + i)];
      if (pair == 0) break;
      store_six(memory + 3 * next, pair);
      next += 2;
      i += 2;
    }
    if (i >= length) break;
    const uint8_t c = kByteClass[bytes[i++]];
    if (c == kSpace) continue;
    if (next >= size || c == kNoTryte) {
      reader.failed = true;
      break;
    }
    put_tryte(memory, next++, c);
  }
  reader.stored += next - reader.next;
  reader.next = next;
  return !reader.failed;
}

bool text_image_encode(const uint8_t* memory, uint64_t first, size_t count, char* out) {
  // Branch-free: invalid trytes sum to 64 or more, which the OR of all sums reveals.
  unsigned seen = 0;
  const uint8_t* at = memory + 3 * first;
  for (size_t i = 0; i < count; ++i, at += 3) {
    const unsigned sum = detail::kTritPair[load_two(at)] + detail::kTrit2[at[2]];
    seen |= sum;
    out[i] = kSymbolOfSum[sum];
  }
  return (seen & ~31u) == 0;
}

}  // namespace quill
