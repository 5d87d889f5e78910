#include "platform/memory_block.h"

#include <sys/mman.h>

namespace quill {

void* memory_block_allocate(size_t bytes) {
  if (bytes == 0) return nullptr;
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  // Only advice: where huge pages are off or lacking, ordinary pages serve.
  (void)madvise(block, bytes, MADV_HUGEPAGE);
#endif
  return block;
}

void memory_block_free(void* block, size_t bytes) {
  if (block != nullptr) (void)munmap(block, bytes);
}

}  // namespace quill
