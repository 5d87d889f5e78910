#include "cpu/decoded_table.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace quill {

namespace {
constexpr uint64_t kPageAllocationBytes = (kPageTrytes + kPadEntries) * sizeof(DecodedEntry);
}  // namespace

DecodedTable* decoded_table_create(const uint8_t* memory, uint64_t size) {
  void* block = std::calloc(1, sizeof(DecodedTable));
  if (block == nullptr) return nullptr;
  auto* table = new (block) DecodedTable{};
  table->page_count = (size >> kPageBits) + 1;
  table->pages = static_cast<DecodedEntry**>(std::calloc(table->page_count, sizeof(DecodedEntry*)));
  if (table->pages == nullptr) {
    std::free(block);
    return nullptr;
  }
  table->memory = memory;
  table->size = size;
  table->directory_bytes = table->page_count * sizeof(DecodedEntry*);
  return table;
}

void decoded_table_free(DecodedTable* table) {
  if (table == nullptr) return;
  for (uint64_t i = 0; i < table->page_count; ++i) std::free(table->pages[i]);
  std::free(table->pages);
  std::free(table);
}

DecodedEntry* decoded_entry_slow(DecodedTable& table, uint64_t address) {
  if (address >= table.size) return &table.outside;
  DecodedEntry*& page = table.pages[address >> kPageBits];
  if (page == nullptr) {
    if (table.page_bytes + kPageAllocationBytes > kTablePageBytesLimit) return &table.outside;
    page = static_cast<DecodedEntry*>(std::calloc(1, kPageAllocationBytes));
    if (page == nullptr) return &table.outside;
    for (uint64_t i = kPageTrytes; i < kPageTrytes + kPadEntries; ++i) page[i].op = eop_cross;
    table.page_bytes += kPageAllocationBytes;
  }
  return page + (address & kPageMask);
}

void decoded_table_invalidate(DecodedTable& table, uint64_t first, uint64_t count) {
  if (count == 0 || first >= table.size) return;
  const uint64_t start = first >= kMaxSpan - 1 ? first - (kMaxSpan - 1) : 0;
  const uint64_t end = count >= table.size - first ? table.size : first + count;  // exclusive
  for (uint64_t at = start; at < end;) {
    const uint64_t page_end = (at | kPageMask) + 1;
    const uint64_t stop = page_end < end ? page_end : end;
    if (DecodedEntry* page = table.pages[at >> kPageBits]) {
      std::memset(static_cast<void*>(page + (at & kPageMask)), 0, (stop - at) * sizeof(DecodedEntry));
    }
    at = stop;
  }
}

}  // namespace quill
