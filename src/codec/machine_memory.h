// The main machine's memory as every part sees it: the emulator and `quill run`
// allocate it, the image files fill it, the assembler lays programs out in it.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr uint64_t kMemoryTrytes = 64'000'000;  // the main memory's size
inline constexpr uint64_t kBootAddress = 216'679;      // where the boot program starts

}  // namespace quill
