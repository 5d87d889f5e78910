#include "platform/memory_block.h"

#include <windows.h>

namespace quill {

// Committed pages are zero and become real on first touch. Large pages would need
// the "lock pages in memory" privilege, which ordinary accounts lack, so the block
// uses ordinary 4 KB pages.
void* memory_block_allocate(size_t bytes) {
  if (bytes == 0) return nullptr;
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void memory_block_free(void* block, size_t /*bytes*/) {
  if (block != nullptr) (void)VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace quill
