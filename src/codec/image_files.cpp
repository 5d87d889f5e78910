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

}  // namespace

bool join_image_path(char* out, const char* folder, const char* name) {
  const int n = std::snprintf(out, kPathCapacity, "%s%s", folder, name);
  return n >= 0 && static_cast<size_t>(n) < kPathCapacity;
}

// The trit file's length is checked before reading, and again after: a file rewritten
// in place while it is read must not pass for a shorter image. At most one byte more
// than a full image is ever read.
bool load_trit_image(const OpenedFile& trits, uint8_t* memory, uint64_t size) {
  const uint64_t expected = trits.size_bytes;
  bool ok = expected > 0 && expected % 3 == 0 && expected <= 3 * size;
  if (ok) {
    const size_t delivered = std::fread(memory, 1, static_cast<size_t>(expected), trits.file);
    const bool at_end = std::fgetc(trits.file) == EOF && std::feof(trits.file);
    uint64_t after = 0;
    ok = delivered == expected && at_end && std::ferror(trits.file) == 0 && platform_file_size(trits.file, after) &&
         after == expected;
  }
  std::fclose(trits.file);
  return ok;
}

bool load_text_image(const OpenedFile& text, uint8_t* memory, uint64_t size) {
  static_assert(kReadChunk <= 1 << 20, "the read buffer lives on the stack");
  uint8_t buffer[kReadChunk];
  TextImageReader reader;
  uint64_t consumed = 0;
  size_t got = 0;
  while (consumed <= text.size_bytes && (got = std::fread(buffer, 1, sizeof buffer, text.file)) > 0) {
    consumed += got;
    if (!text_image_feed(reader, memory, size, buffer, got)) break;
  }
  const bool at_end = std::feof(text.file) != 0 && !reader.failed;
  const bool read_error = std::ferror(text.file) != 0;
  uint64_t after = 0;
  const bool unchanged = platform_file_size(text.file, after) && after == text.size_bytes && consumed == after;
  std::fclose(text.file);
  return at_end && !read_error && unchanged && reader.stored > 0;
}

bool load_memory_files(uint8_t* memory, uint64_t size, const char* folder) {
  char path[kPathCapacity];
  if (!join_image_path(path, folder, kTritFileName)) return false;
  OpenedFile image;
  // Only a trit file that is not there lets the text file decide: one that is there
  // but unreadable would otherwise be overwritten by the next save.
  const FileOpenOutcome trits = platform_open_for_reading(path, FileKinds::regular_only, image);
  if (trits == FileOpenOutcome::opened) return load_trit_image(image, memory, size);
  if (trits != FileOpenOutcome::not_found || !join_image_path(path, folder, kTextFileName)) return false;
  return platform_open_for_reading(path, FileKinds::regular_only, image) == FileOpenOutcome::opened &&
         load_text_image(image, memory, size);
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
