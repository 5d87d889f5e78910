// The store instruction's packed write for the fast engine: the results of
// write_packed (codec/packed.h), with two trytes per table lookup and one 64-bit
// division, so a store does not wait on a chain of divisions by 27.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "codec/packed.h"
#include "codec/tryte.h"

namespace quill {

namespace detail {
// The six trit bytes of the two trytes whose base-27 digits are i / 27 and i % 27.
constexpr std::array<std::array<uint8_t, 8>, 729> tryte_pair_table() {
  std::array<std::array<uint8_t, 8>, 729> t{};
  for (int i = 0; i < 729; ++i) {
    for (int j = 0; j < 3; ++j) {
      t[i][j] = static_cast<uint8_t>(kTritPattern[i / 27][j]);
      t[i][3 + j] = static_cast<uint8_t>(kTritPattern[i % 27][j]);
    }
  }
  return t;
}
inline constexpr auto kTrytePair = tryte_pair_table();
inline constexpr uint64_t kPackedStart[9] = {
    0, 1, 28, 757, 20'440, 551'881, 14'900'788, 402'321'277, 10'862'674'480,
};
}  // namespace detail

// write_packed(memory, size, address, value): K, or kPackedTooLarge writing nothing.
[[nodiscard]] inline int store_packed(uint8_t* memory, uint64_t size, uint64_t address, int64_t value) {
  if (value < 0 || static_cast<uint64_t>(value) > kPackedMax) return kPackedTooLarge;
  const auto v = static_cast<uint64_t>(value);
  int k = 0;
  for (int i = 1; i < 9; ++i) k += v >= detail::kPackedStart[i];
  if (size < address || size - address < static_cast<uint64_t>(k)) return kPackedTooLarge;
  if (k == 0) return 0;
  // V - base(K) in base 729, two trytes per digit, written from the last tryte
  // back; an odd K takes the lower tryte of one more pair (its upper digit is 0).
  const uint64_t rest = v - detail::kPackedStart[k];
  const auto high = static_cast<uint32_t>(rest / 531'441);  // 27^4
  const auto low = static_cast<uint32_t>(rest % 531'441);
  const uint32_t pairs[4] = {low % 729, low / 729, high % 729, high / 729};
  uint8_t* end = memory + 3 * (address + static_cast<uint64_t>(k));
  for (int i = 0; i < k / 2; ++i) std::memcpy(end - 6 * (i + 1), detail::kTrytePair[pairs[i]].data(), 6);
  if (k & 1) std::memcpy(memory + 3 * address, detail::kTrytePair[pairs[k / 2]].data() + 3, 3);
  return k;
}

}  // namespace quill
