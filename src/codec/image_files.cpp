#include "codec/image_files.h"

#include <cstdio>
#include <cstring>

#include "codec/text_image.h"
#include "codec/tryte.h"
#include "platform/file_open.h"
#include "platform/file_replace.h"
#include "platform/thread.h"

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

// The trit file's length is checked before reading, and again after: a file rewritten
// in place while it is read must not pass for a shorter image. At most one byte more
// than a full image is ever read. `covered` is set to the trytes read.
bool load_trits_covering(const OpenedFile& trits, uint8_t* memory, uint64_t size, uint64_t& covered) {
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
  covered = expected / 3;
  return ok;
}

bool load_text_covering(const OpenedFile& text, uint8_t* memory, uint64_t size, uint64_t& covered) {
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
  covered = reader.next;
  return at_end && !read_error && unchanged && reader.stored > 0;
}

// Both files fill memory from tryte 0 onwards; `covered` is how far.
bool load_files_covering(uint8_t* memory, uint64_t size, const char* folder, uint64_t& covered) {
  char path[kPathCapacity];
  if (!join_image_path(path, folder, kTritFileName)) return false;
  OpenedFile image;
  // Only a trit file that is not there lets the text file decide: one that is there
  // but unreadable would otherwise be overwritten by the next save.
  const FileOpenOutcome trits = platform_open_for_reading(path, FileKinds::regular_only, image);
  if (trits == FileOpenOutcome::opened) return load_trits_covering(image, memory, size, covered);
  if (trits != FileOpenOutcome::not_found || !join_image_path(path, folder, kTextFileName)) return false;
  return platform_open_for_reading(path, FileKinds::regular_only, image) == FileOpenOutcome::opened &&
         load_text_covering(image, memory, size, covered);
}

void fill_zero_trytes_after(uint8_t* memory, uint64_t size, uint64_t covered) {
  if (covered < size) fill_zero_trytes(memory + 3 * covered, size - covered);
}

// Writes the text image's temporary and forces it to disk, without renaming it.
bool write_text_temporary(FileReplacement& text, const uint8_t* memory, uint64_t size, const char* path,
                          uint64_t count) {
  if (count > size || !open_image_replacement(text, path)) return false;
  char chunk[kTextChunkTrytes];
  for (uint64_t position = 0; position < count;) {
    const size_t length =
        static_cast<size_t>(count - position < kTextChunkTrytes ? count - position : kTextChunkTrytes);
    if (!text_image_encode(memory, position, length, chunk) || std::fwrite(chunk, 1, length, text.file) != length) {
      replacement_abandon(text);
      return false;
    }
    position += length;
  }
  return replacement_finish(text);
}

// One file of a save: written and forced to disk, not yet renamed. The two files
// are written at once, each on its own thread, so that their conversions and their
// waits for the disk overlap.
struct ImageWrite {
  const uint8_t* memory;
  uint64_t size;
  const char* folder;
  FileReplacement file{};
  bool written = false;
};

void write_trit_part(void* argument) {
  auto& w = *static_cast<ImageWrite*>(argument);
  char path[kPathCapacity];
  if (!join_image_path(path, w.folder, kTritFileName) || !open_image_replacement(w.file, path)) return;
  if (std::fwrite(w.memory, 1, 3 * w.size, w.file.file) != 3 * w.size) {
    replacement_abandon(w.file);
    return;
  }
  w.written = replacement_finish(w.file);
}

void write_text_part(void* argument) {
  auto& w = *static_cast<ImageWrite*>(argument);
  char path[kPathCapacity];
  w.written =
      join_image_path(path, w.folder, kTextFileName) && write_text_temporary(w.file, w.memory, w.size, path, w.size);
}

}  // namespace

bool join_image_path(char* out, const char* folder, const char* name) {
  const int n = std::snprintf(out, kPathCapacity, "%s%s", folder, name);
  return n >= 0 && static_cast<size_t>(n) < kPathCapacity;
}

bool load_trit_image(const OpenedFile& trits, uint8_t* memory, uint64_t size) {
  uint64_t covered = 0;
  return load_trits_covering(trits, memory, size, covered);
}

bool load_text_image(const OpenedFile& text, uint8_t* memory, uint64_t size) {
  uint64_t covered = 0;
  return load_text_covering(text, memory, size, covered);
}

bool load_memory_files(uint8_t* memory, uint64_t size, const char* folder) {
  uint64_t covered = 0;
  return load_files_covering(memory, size, folder, covered);
}

bool load_memory_image(uint8_t* memory, uint64_t size, const char* folder) {
  uint64_t covered = 0;
  if (!load_files_covering(memory, size, folder, covered)) return false;
  fill_zero_trytes_after(memory, size, covered);
  return true;
}

bool save_memory_files(const uint8_t* memory, uint64_t size, const char* folder) {
  ImageWrite text{memory, size, folder};
  PlatformThread writer;
  const bool beside = thread_start(writer, write_text_part, &text);
  ImageWrite trits{memory, size, folder};
  write_trit_part(&trits);
  if (beside) {
    thread_join(writer);
  } else {
    write_text_part(&text);
  }
  // The trit file is the one the next start reads, so it goes in place first, and
  // the text file only after it.
  if (!trits.written || !replacement_install(trits.file)) {
    if (text.written) replacement_abandon(text.file);
    return false;
  }
  return text.written && replacement_install(text.file);
}

bool write_text_image(const uint8_t* memory, uint64_t size, const char* path, uint64_t count) {
  FileReplacement text;
  return write_text_temporary(text, memory, size, path, count) && replacement_install(text);
}

void remove_stale_image_temporaries(const char* folder) {
  char path[kPathCapacity];
  for (const char* name : kImageFileNames) {
    if (join_image_path(path, folder, name)) replacement_remove_stale(path, TemporaryName::txt_to_new);
  }
}

}  // namespace quill
