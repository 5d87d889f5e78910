#include "codec/image_files.h"

#include <cstdio>
#include <cstring>

#include "codec/text_image.h"
#include "platform/file_sync.h"

namespace quill {

namespace {

constexpr size_t kReadChunk = 1 << 16;
constexpr size_t kWriteBuffer = 1 << 20;

// A file being written under a temporary name beside its final path.
struct Replacement {
  std::FILE* file = nullptr;
  char temporary_path[kPathCapacity] = {};
};

// The temporary name swaps a ".txt" ending for ".new", so it is exactly as long as
// the final name and fits wherever that fits; other names get ".new" appended.
bool temporary_path_for(char* out, const char* path) {
  const size_t length = std::strlen(path);
  const bool has_txt = length >= 4 && std::strcmp(path + length - 4, ".txt") == 0;
  const size_t base = has_txt ? length - 4 : length;
  if (base + 4 >= kPathCapacity) return false;
  std::memcpy(out, path, base);
  std::memcpy(out + base, ".new", 5);
  return true;
}

bool replacement_open(Replacement& r, const char* path) {
  if (!temporary_path_for(r.temporary_path, path)) return false;
  r.file = std::fopen(r.temporary_path, "wb");
  // A large stream buffer turns the text writer's 4096-byte chunks into few system calls.
  if (r.file != nullptr) std::setvbuf(r.file, nullptr, _IOFBF, kWriteBuffer);
  return r.file != nullptr;
}

void replacement_abandon(Replacement& r) {
  if (r.file != nullptr) std::fclose(r.file);
  r.file = nullptr;
  std::remove(r.temporary_path);
}

// Forces the temporary file to disk, closes it and renames it over `path`.
bool replacement_commit(Replacement& r, const char* path) {
  const bool synced = platform_sync_file(r.file);
  const bool closed = std::fclose(r.file) == 0;
  r.file = nullptr;
  if (synced && closed && platform_replace_file(r.temporary_path, path)) return true;
  std::remove(r.temporary_path);
  return false;
}

bool load_trit_file(std::FILE* file, uint8_t* memory, uint64_t size) {
  const size_t delivered = std::fread(memory, 1, 3 * size, file);
  const bool at_end = std::fgetc(file) == EOF && std::feof(file);
  const bool read_error = std::ferror(file) != 0;
  std::fclose(file);
  return delivered > 0 && !read_error && delivered % 3 == 0 && at_end;
}

bool load_text_file(std::FILE* file, uint8_t* memory, uint64_t size) {
  static_assert(kReadChunk <= 1 << 20, "the read buffer lives on the stack");
  uint8_t buffer[kReadChunk];
  TextImageReader reader;
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (!text_image_feed(reader, memory, size, buffer, got)) break;
  }
  const bool at_end = std::feof(file) != 0 && !reader.failed;
  const bool read_error = std::ferror(file) != 0;
  std::fclose(file);
  return at_end && !read_error && reader.stored > 0;
}

}  // namespace

bool join_image_path(char* out, const char* folder, const char* name) {
  const int n = std::snprintf(out, kPathCapacity, "%s%s", folder, name);
  return n >= 0 && static_cast<size_t>(n) < kPathCapacity;
}

bool load_memory_files(uint8_t* memory, uint64_t size, const char* folder) {
  char path[kPathCapacity];
  if (!join_image_path(path, folder, kTritFileName)) return false;
  if (std::FILE* trits = std::fopen(path, "rb")) return load_trit_file(trits, memory, size);
  if (!join_image_path(path, folder, kTextFileName)) return false;
  std::FILE* text = std::fopen(path, "rb");
  return text != nullptr && load_text_file(text, memory, size);
}

bool save_memory_files(const uint8_t* memory, uint64_t size, const char* folder) {
  char path[kPathCapacity];
  if (!join_image_path(path, folder, kTritFileName)) return false;
  Replacement trits;
  if (!replacement_open(trits, path)) return false;
  if (std::fwrite(memory, 1, 3 * size, trits.file) != 3 * size) {
    replacement_abandon(trits);
    return false;
  }
  if (!replacement_commit(trits, path)) return false;
  if (!join_image_path(path, folder, kTextFileName)) return false;
  return write_text_image(memory, size, path, size);
}

bool write_text_image(const uint8_t* memory, uint64_t size, const char* path, uint64_t count) {
  if (count > size) return false;
  Replacement text;
  if (!replacement_open(text, path)) return false;
  char chunk[kTextChunkTrytes];
  for (uint64_t position = 0; position < count;) {
    const size_t length = static_cast<size_t>(count - position < kTextChunkTrytes ? count - position : kTextChunkTrytes);
    if (!text_image_encode(memory, position, length, chunk) || std::fwrite(chunk, 1, length, text.file) != length) {
      replacement_abandon(text);
      return false;
    }
    position += length;
  }
  return replacement_commit(text, path);
}

}  // namespace quill
