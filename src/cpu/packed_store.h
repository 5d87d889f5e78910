// The store instruction's packed write for the fast engine: the results of
// write_packed (codec/packed.h), with the length found from the value's bit width,
// two trytes per table lookup and the writes unrolled for each length, so a store
// neither waits on a chain of divisions by 27 nor loops.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/packed.h"
#include "codec/tryte.h"

namespace quill {

namespace detail {
// The six trit bytes of the two trytes whose base-27 digits are i / 27 and i % 27,
// in the order a little-endian store of the word puts them in memory, then two
// zero bytes.
static_assert(std::endian::native == std::endian::little, "stores write a word's low byte first");
constexpr std::array<uint64_t, 729> tryte_pair_table() {
  std::array<uint64_t, 729> t{};
  for (unsigned i = 0; i < 729; ++i) {
    for (unsigned j = 0; j < 3; ++j) {
      t[i] |= uint64_t{static_cast<uint8_t>(kTritPattern[i / 27][j])} << (8 * j);
      t[i] |= uint64_t{static_cast<uint8_t>(kTritPattern[i % 27][j])} << (8 * (3 + j));
    }
  }
  return t;
}
inline constexpr auto kTrytePair = tryte_pair_table();
// The length of the smallest value of each bit width. The starts grow 27-fold, so
// a width (values within a factor of two) holds at most one start, and a value's
// length is its width's or one more.
constexpr std::array<uint8_t, 65> packed_length_by_width() {
  std::array<uint8_t, 65> t{};
  for (int w = 1; w <= 64; ++w) {
    const uint64_t smallest = uint64_t{1} << (w - 1);
    while (t[w] < 8 && smallest >= kPackedStart[t[w] + 1]) ++t[w];
  }
  return t;
}
inline constexpr auto kLengthByWidth = packed_length_by_width();

inline void put_bytes(uint8_t* at, uint64_t bits, unsigned n) { std::memcpy(at, &bits, n); }

// The writes go from the first tryte to the last, each one store wide enough to
// cover its trytes; the bytes a store writes past its trytes belong to the next
// tryte, whose write comes later and replaces them. The last write covers exactly
// its trytes, with two stores that overlap.
inline void put_pair(uint8_t* at, uint32_t pair) { put_bytes(at, kTrytePair[pair], 8); }
inline void put_lower(uint8_t* at, uint32_t pair) { put_bytes(at, kTrytePair[pair] >> 24, 4); }
inline void put_last_pair(uint8_t* at, uint32_t pair) {
  const uint64_t bits = kTrytePair[pair];
  put_bytes(at, bits, 4);
  put_bytes(at + 2, bits >> 16, 4);
}
inline void put_last_lower(uint8_t* at, uint32_t pair) {
  const uint64_t bits = kTrytePair[pair];
  put_bytes(at, bits >> 24, 2);
  put_bytes(at + 1, bits >> 32, 2);
}

// Copies n (0..32) bytes with two fixed-size moves that overlap as needed, so no
// length calls memcpy.
inline void copy_short(uint8_t* out, const uint8_t* from, unsigned n) {
  if (n >= 16) {
    std::memcpy(out, from, 16);
    std::memcpy(out + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(out, from, 8);
    std::memcpy(out + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(out, from, 4);
    std::memcpy(out + n - 4, from + n - 4, 4);
  } else if (n >= 2) {
    std::memcpy(out, from, 2);
    std::memcpy(out + n - 2, from + n - 2, 2);
  } else if (n == 1) {
    *out = *from;
  }
}
}  // namespace detail

// write_packed(memory, size, address, value): K, or kPackedTooLarge writing nothing.
[[nodiscard]] inline int store_packed(uint8_t* memory, uint64_t size, uint64_t address, int64_t value) {
  using detail::put_last_lower;
  using detail::put_last_pair;
  using detail::put_lower;
  using detail::put_pair;
  if (value < 0 || static_cast<uint64_t>(value) > kPackedMax) return kPackedTooLarge;
  const auto v = static_cast<uint64_t>(value);
  const unsigned guess = detail::kLengthByWidth[std::bit_width(v)];
  const unsigned k = guess + (v >= kPackedStart[guess + 1]);
  if (size < address || size - address < k) return kPackedTooLarge;
  // V - base(K) in base 729, two trytes per digit p0 (last two trytes) .. p3; an
  // odd K starts with the lower tryte of one more digit (its upper tryte is 0).
  const uint64_t rest = v - kPackedStart[k];
  const auto high = static_cast<uint32_t>(rest / 531'441);  // 27^4
  const auto low = static_cast<uint32_t>(rest % 531'441);
  const uint32_t p0 = low % 729, p1 = low / 729, p2 = high % 729, p3 = high / 729;
  uint8_t* out = memory + 3 * address;
  // clang-format off
  switch (k) {
    case 1: put_last_lower(out, p0); break;
    case 2: put_last_pair(out, p0); break;
    case 3: put_lower(out, p1); put_last_pair(out + 3, p0); break;
    case 4: put_pair(out, p1); put_last_pair(out + 6, p0); break;
    case 5: put_lower(out, p2); put_pair(out + 3, p1); put_last_pair(out + 9, p0); break;
    case 6: put_pair(out, p2); put_pair(out + 6, p1); put_last_pair(out + 12, p0); break;
    case 7: put_lower(out, p3); put_pair(out + 3, p2); put_pair(out + 9, p1); put_last_pair(out + 15, p0); break;
    case 8: put_pair(out, p3); put_pair(out + 6, p2); put_pair(out + 12, p1); put_last_pair(out + 18, p0); break;
    default: break;  // 0: nothing to write
  }
  // clang-format on
  return static_cast<int>(k);
}

// The value a run of the engine stored last and, once a value has been stored
// twice in a row, its packed trytes: programs fill memory with one value again
// and again, and a repeat then costs a copy. A value stored once is packed
// straight into memory, so stores of changing values pay only the comparisons.
struct PackedStoreMemo {
  int64_t last = -1;   // the value stored last (a negative value is never stored)
  int64_t value = -1;  // the value whose trytes are kept; -1 while there is none
  int k = 0;
  uint8_t bytes[3 * 8] = {};
};

// store_packed through `memo`: the same results and the same bytes written.
[[nodiscard]] inline int store_packed_memo(PackedStoreMemo& memo, uint8_t* memory, uint64_t size, uint64_t address,
                                           int64_t value) {
  if (value < 0) return kPackedTooLarge;  // also never matches the empty memo
  if (value != memo.value) {
    if (value != memo.last) {
      memo.last = value;
      return store_packed(memory, size, address, value);
    }
    const int k = store_packed(memo.bytes, 8, 0, value);
    if (k == kPackedTooLarge) return kPackedTooLarge;
    memo.value = value;
    memo.k = k;
  }
  const int k = memo.k;
  if (size < address || size - address < static_cast<uint64_t>(k)) return kPackedTooLarge;
  detail::copy_short(memory + 3 * address, memo.bytes, 3 * static_cast<unsigned>(k));
  return k;
}

}  // namespace quill
