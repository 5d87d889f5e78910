// The text image format: one alphabet symbol per tryte. On reading, whitespace
// (as C's isspace in the "C" locale) may stand before, between and after symbols.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

// Reads a text image piece by piece into consecutive trytes from `next`.
struct TextImageReader {
  uint64_t next = 0;    // tryte that the next symbol fills
  uint64_t stored = 0;  // symbols stored so far
  bool failed = false;  // a bad byte, or a symbol past the end of memory
};

// Stores the symbols of `bytes` into memory; false (and `failed`) at the first byte
// that is neither whitespace nor a symbol, or at a symbol with no tryte left for it.
// Trytes written before the failure stay written.
[[nodiscard]] bool text_image_feed(TextImageReader& reader, uint8_t* memory, uint64_t size, const uint8_t* bytes,
                                   size_t length);

inline constexpr size_t kTextChunkTrytes = 4096;

// Converts `count` (<= kTextChunkTrytes) trytes from `first` into symbols in `out`;
// false when one of them is not a valid tryte.
[[nodiscard]] bool text_image_encode(const uint8_t* memory, uint64_t first, size_t count, char* out);

}  // namespace quill
