#include "codec/packed.h"

#include "codec/tryte.h"

namespace quill {

int packed_length(uint64_t value) {
  for (int k = 0; k < 9; ++k) {
    if (value < kPackedStart[k + 1]) return k;
  }
  return kPackedTooLarge;
}

int write_packed(uint8_t* memory, uint64_t size, uint64_t address, int64_t value) {
  if (value < 0) return kPackedTooLarge;  // NIL is negative too
  const int k = packed_length(static_cast<uint64_t>(value));
  if (k == kPackedTooLarge) return kPackedTooLarge;
  if (size < address || size - address < static_cast<uint64_t>(k)) return kPackedTooLarge;
  uint64_t rest = static_cast<uint64_t>(value) - kPackedStart[k];
  for (int j = k - 1; j >= 0; --j) {
    put_tryte(memory, address + static_cast<uint64_t>(j), static_cast<uint8_t>(rest % 27));
    rest /= 27;
  }
  return k;
}

}  // namespace quill
