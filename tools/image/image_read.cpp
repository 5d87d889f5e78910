// Reading images for the tools, a chunk at a time straight into the memory that
// receives them: nothing is read past the largest image, and text images may hold
// any amount of whitespace without being held in full.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "codec/image_files.h"
#include "codec/text_image.h"
#include "codec/tryte.h"
#include "tools/image/image_file.h"
#include "tools/io/input_file.h"

namespace quill {

namespace {

constexpr size_t kChunkBytes = size_t{1} << 16;

enum class Reading : uint8_t { text, trits, undecided };

// An image being read. While undecided it is held as trit bytes, as a trit image
// would be, until a byte shows that it can only be text.
struct ImageDecoder {
  const std::string& path;
  std::string& error;
  uint8_t* memory;
  uint64_t size;  // trytes that `memory` holds
  Reading reading;
  uint64_t raw_bytes = 0;  // bytes held as they are (trits, undecided)
  uint64_t offset = 0;     // bytes of the file consumed, for messages
  TextImageReader text{};
};

bool fail(ImageDecoder& d, const std::string& why) {
  d.error = d.path + ": " + why;
  return false;
}

bool too_long(ImageDecoder& d) { return fail(d, "larger than a memory of " + std::to_string(d.size) + " trytes"); }

bool keep_raw(ImageDecoder& d, const uint8_t* bytes, size_t count) {
  if (count > 3 * d.size - d.raw_bytes) return too_long(d);
  std::memcpy(d.memory + d.raw_bytes, bytes, count);
  d.raw_bytes += count;
  return true;
}

// The bytes held so far are all trit characters, which are symbols too: spreads
// them into trytes in place, from the last, since each grows to three bytes.
bool raw_to_text(ImageDecoder& d) {
  if (d.raw_bytes > d.size) return too_long(d);
  for (uint64_t i = d.raw_bytes; i-- > 0;) put_tryte(d.memory, i, symbol_value(d.memory[i]));
  d.text = {d.raw_bytes, d.raw_bytes, false};
  d.raw_bytes = 0;
  d.reading = Reading::text;
  return true;
}

bool feed_text(ImageDecoder& d, const uint8_t* bytes, size_t count, uint64_t offset) {
  for (size_t i = 0; i < count; ++i) {
    if (symbol_value(bytes[i]) == kNoTryte && !std::isspace(bytes[i])) {
      return fail(d, "byte " + std::to_string(offset + i) + " is neither a tryte symbol nor whitespace");
    }
  }
  return text_image_feed(d.text, d.memory, d.size, bytes, count) || too_long(d);
}

bool feed(ImageDecoder& d, const uint8_t* bytes, size_t count) {
  size_t raw = d.reading == Reading::text ? 0 : count;
  if (d.reading == Reading::undecided) {
    raw = 0;
    while (raw < count && trit_of_byte(bytes[raw]) != kNoTrit) ++raw;
  }
  bool ok = keep_raw(d, bytes, raw);
  if (ok && raw < count) {
    ok = (d.reading == Reading::text || raw_to_text(d)) && feed_text(d, bytes + raw, count - raw, d.offset + raw);
  }
  d.offset += count;
  return ok;
}

bool finish(ImageDecoder& d, uint64_t& trytes) {
  const bool whole_trytes = d.raw_bytes > 0 && d.raw_bytes % 3 == 0;
  if (d.reading == Reading::undecided && !whole_trytes && !raw_to_text(d)) return false;
  if (d.reading != Reading::text) {
    if (!whole_trytes) {
      return fail(
          d, "a trit image holds three bytes per tryte, and this one holds " + std::to_string(d.raw_bytes) + " bytes");
    }
    trytes = d.raw_bytes / 3;
    return true;
  }
  if (d.text.stored == 0) return fail(d, "the image holds no symbols");
  trytes = d.text.stored;
  return true;
}

bool decode(InputFile& in, Reading reading, uint8_t* memory, uint64_t size, uint64_t& trytes, std::string& error) {
  ImageDecoder d{in.path, error, memory, size, reading};
  if (reading == Reading::trits && in.opened.size_bytes > 3 * size) return too_long(d);
  uint8_t chunk[kChunkBytes];
  size_t got = 0;
  do {
    if (!input_read(in, chunk, sizeof chunk, got, error) || !feed(d, chunk, got)) return false;
  } while (got > 0);
  return finish(d, trytes);
}

// A name that asks for neither format is read as trits only when every byte is a
// trit character and they make whole trytes.
Reading reading_for(const std::string& path) {
  if (image_format_for_path(path) == ImageFormat::trits) return Reading::trits;
  return path.ends_with(".tern") || path.ends_with(kTextFileName) ? Reading::text : Reading::undecided;
}

// Into a block just large enough for what the file can hold: a regular file cannot
// hold more trytes than bytes, a pipe up to a whole memory.
bool read_to_vector(const std::string& path, Reading reading, std::vector<uint8_t>& memory, std::string& error) {
  InputFile in;
  if (!input_open(path, in, error)) return false;
  const uint64_t bytes = in.opened.size_bytes;
  const uint64_t room = !in.opened.regular || bytes > kMemoryTrytes ? kMemoryTrytes : bytes > 0 ? bytes : 1;
  auto* block = static_cast<uint8_t*>(std::malloc(3 * room));
  if (block == nullptr) {
    error = path + ": not enough memory to read it";
    return false;
  }
  uint64_t trytes = 0;
  const bool read = decode(in, reading, block, room, trytes, error);
  if (read) memory.assign(block, block + 3 * trytes);
  std::free(block);
  return read;
}

}  // namespace

bool read_image_into(const std::string& path, uint8_t* memory, uint64_t size, uint64_t& trytes, std::string& error) {
  InputFile in;
  return input_open(path, in, error) && decode(in, reading_for(path), memory, size, trytes, error);
}

bool read_image_file_as(const std::string& path, ImageFormat format, std::vector<uint8_t>& memory, std::string& error) {
  return read_to_vector(path, format == ImageFormat::trits ? Reading::trits : Reading::text, memory, error);
}

bool read_image_file(const std::string& path, std::vector<uint8_t>& memory, std::string& error) {
  return read_to_vector(path, reading_for(path), memory, error);
}

}  // namespace quill
