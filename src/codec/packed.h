// The packed form: a value 0..293,292,210,960 as K (0..8) trytes with no length
// marker. K trytes cover base(K) .. base(K+1)-1 where base(K) = (27^K - 1) / 26;
// they hold V - base(K) in base 27, most significant tryte first.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr int kPackedTooLarge = -1;
inline constexpr uint64_t kPackedMax = 293'292'210'960;

// kPackedStart[K] = base(K), the smallest value written in K trytes (K = 0..8);
// kPackedStart[9] is the first value that cannot be packed.
inline constexpr uint64_t kPackedStart[10] = {
    0, 1, 28, 757, 20'440, 551'881, 14'900'788, 402'321'277, 10'862'674'480, kPackedMax + 1,
};

// Number of trytes (0..8) that `value`, read as unsigned, packs into; kPackedTooLarge
// when it exceeds kPackedMax (so every negative value and NIL is too large).
[[nodiscard]] int packed_length(uint64_t value);

// Writes `value` in packed form at `address` and returns K, or kPackedTooLarge
// (writing nothing) when the value is negative, NIL, too large, or does not fit
// before the end of memory. A value of 0 writes nothing and needs address <= size.
[[nodiscard]] int write_packed(uint8_t* memory, uint64_t size, uint64_t address, int64_t value);

}  // namespace quill
