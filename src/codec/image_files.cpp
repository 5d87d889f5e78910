#include "codec/image_files.h"

#include <cstdio>
#include <cstring>

#include "codec/text_image.h"
#include "platform/file_replace.h"

namespace quill {

namespace {

constexpr size_t kReadChunk = 1 << 16;
constexpr size_t kWriteBuffer = 1 << 20;
constexpr const char* kImageFileNames[] = {kTritFileName, kTextFileName};

// Opens the replacement of an image file. A large stream buffer turns the text
// writer's 4096-byte chunks into few system calls.
bool open_image_replacement(FileReplacement& r, const char* path) {
  if (!replacement_open(r, path, TemporaryName::txt_to_new)) return false;
  std::setvbuf(r.file, nullptr, _IOFBF, kWriteBuffer);
  return true;
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
  FileReplacement trits;
  if (!open_image_replacement(trits, path)) return false;
  if (std::fwrite(memory, 1, 3 * size, trits.file) != 3 * size) {
    replacement_abandon(trits);
    return false;
  }
  if (!replacement_commit(trits)) return false;
  if (!join_image_path(path, folder, kTextFileName)) return false;
  return write_text_image(memory, size, path, size);
}

bool write_text_image(const uint8_t* memory, uint64_t size, const char* path, uint64_t count) {
  if (count > size) return false;
  FileReplacement text;
  if (!open_image_replacement(text, path)) return false;
  char chunk[kTextChunkTrytes];
  for (uint64_t position = 0; position < count;) {
    const size_t length = static_cast<size_t>(count - position < kTextChunkTrytes ? count - position : kTextChunkTrytes);
    if (!text_image_encode(memory, position, length, chunk) || std::fwrite(chunk, 1, length, text.file) != length) {
      replacement_abandon(text);
      return false;
    }
    position += length;
  }
  return replacement_commit(text);
}

void remove_stale_image_temporaries(const char* folder) {
  char path[kPathCapacity];
  for (const char* name : kImageFileNames) {
    if (join_image_path(path, folder, name)) replacement_remove_stale(path, TemporaryName::txt_to_new);
  }
}

}  // namespace quill
