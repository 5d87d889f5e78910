#include "codec/text_image.h"

#include <array>

#include "codec/tryte.h"

namespace quill {

namespace {
constexpr uint8_t kSpace = 0xFE;  // byte class: whitespace, skipped

// Byte -> TryteValue of the symbol, kSpace for whitespace, kNoTryte otherwise.
constexpr std::array<uint8_t, 256> byte_class_table() {
  std::array<uint8_t, 256> t = detail::kTryteOfSymbol;
  for (uint8_t c : {' ', '\t', '\n', '\v', '\f', '\r'}) t[c] = kSpace;
  return t;
}
constexpr auto kByteClass = byte_class_table();
}  // namespace

bool text_image_feed(TextImageReader& reader, uint8_t* memory, uint64_t size, const uint8_t* bytes,
                     size_t length) {
  if (reader.failed) return false;
  uint64_t next = reader.next;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t c = kByteClass[bytes[i]];
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
  for (size_t i = 0; i < count; ++i) {
    const uint8_t tv = tryte_value_at(memory, first + i);
    if (tv == kNoTryte) return false;
    out[i] = kSymbolAlphabet[tv];
  }
  return true;
}

}  // namespace quill
