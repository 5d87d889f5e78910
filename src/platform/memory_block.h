// Large blocks straight from the system, for the main memory: they start zeroed
// and their pages are only made real when first written, so whatever the image load
// overwrites is never filled twice. On Linux the block asks for transparent huge
// pages, so that filling 192 MB takes hundreds of page faults instead of tens of
// thousands.
#pragma once

#include <cstddef>

namespace quill {

// A block of `bytes` zero bytes, or null when the system has no room. Any thread.
[[nodiscard]] void* memory_block_allocate(size_t bytes);

// Returns a block from memory_block_allocate (null does nothing); `bytes` as allocated.
void memory_block_free(void* block, size_t bytes);

}  // namespace quill
