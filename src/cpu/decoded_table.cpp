#include "cpu/decoded_table.h"

#include <algorithm>
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
  std::free(table->stops);
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

bool decoded_table_set_stop(DecodedTable& table, uint64_t address, bool on) {
  if (address >= table.size) return false;
  uint64_t* const end = table.stops + table.stop_count;
  uint64_t* at = std::lower_bound(table.stops, end, address);
  const bool present = at != end && *at == address;
  if (on == present) return true;
  if (on) {
    if (table.stop_count == table.stop_capacity) {
      const uint64_t capacity = table.stop_capacity == 0 ? 16 : 2 * table.stop_capacity;
      void* grown = std::realloc(table.stops, capacity * sizeof(uint64_t));
      if (grown == nullptr) return false;
      at = static_cast<uint64_t*>(grown) + (at - table.stops);
      table.stops = static_cast<uint64_t*>(grown);
      table.stop_capacity = capacity;
    }
    std::copy_backward(at, table.stops + table.stop_count, table.stops + table.stop_count + 1);
    *at = address;
    table.stop_count += 1;
  } else {
    std::copy(at + 1, end, at);
    table.stop_count -= 1;
  }
  // The entry there and any fused entry reaching over it are decoded again.
  decoded_table_invalidate(table, address, 1);
  return true;
}

void decoded_table_clear_stops(DecodedTable& table) {
  for (uint64_t i = 0; i < table.stop_count; ++i) decoded_table_invalidate(table, table.stops[i], 1);
  table.stop_count = 0;
}

bool decoded_table_is_stop(const DecodedTable& table, uint64_t address) {
  return std::binary_search(table.stops, table.stops + table.stop_count, address);
}

uint64_t decoded_table_next_stop(const DecodedTable& table, uint64_t address) {
  const uint64_t* const first = table.stops;
  const uint64_t* const end = first + table.stop_count;
  const uint64_t* after = std::upper_bound(first, end, address);
  return after == end ? UINT64_MAX : *after;
}

}  // namespace quill
