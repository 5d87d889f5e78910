#include "codec/tryte.h"

#include <cstring>

namespace quill {

void fill_zero_trytes(uint8_t* memory, uint64_t size) { std::memset(memory, '.', 3 * size); }

}  // namespace quill
