// Fuzz target: every reader of memory images against a plain model of the two
// formats. The input's first byte sets the memory size, the second where the text
// is cut in two for the piecewise reader; the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/image_files.h"
#include "codec/text_image.h"
#include "codec/tryte.h"
#include "support/temp_folder.h"
#include "tools/image/image_file.h"

namespace {

using namespace quill;

struct Expected {
  bool ok = false;
  std::vector<uint8_t> memory;
};

Expected model_trits(const uint8_t* bytes, size_t length, uint64_t size) {
  Expected e{length > 0 && length % 3 == 0 && length <= 3 * size, std::vector<uint8_t>(3 * size, '.')};
  if (e.ok) std::memcpy(e.memory.data(), bytes, length);
  return e;
}

Expected model_text(const uint8_t* bytes, size_t length, uint64_t size) {
  Expected e{false, std::vector<uint8_t>(3 * size, '.')};
  uint64_t next = 0;
  for (size_t i = 0; i < length; ++i) {
    if (std::strchr(" \t\n\v\f\r", bytes[i]) != nullptr && bytes[i] != 0) continue;
    const uint8_t value = symbol_value(bytes[i]);
    if (value == kNoTryte || next == size) return e;
    put_tryte(e.memory.data(), next++, value);
  }
  e.ok = next > 0;
  return e;
}

void check(bool ok, const std::vector<uint8_t>& memory, const Expected& e, const char* reader) {
  if (ok == e.ok && (!ok || memory == e.memory)) return;
  std::fprintf(stderr, "%s: %s, expected %s\n", reader, ok ? "read" : "refused", e.ok ? "read" : "refused");
  std::abort();
}

void check_codec(const test::TempFolder& folder, const std::string& bytes, const char* name, const Expected& e) {
  const uint64_t size = e.memory.size() / 3;
  std::remove(folder.file(kTritFileName).c_str());
  folder.write(name, bytes);
  std::vector<uint8_t> memory(3 * size, '.');
  check(load_memory_files(memory.data(), size, folder.path.c_str()), memory, e, name);
  std::remove(folder.file(name).c_str());
}

void check_tools(const test::TempFolder& folder, const std::string& bytes, const char* name, const Expected& e) {
  const uint64_t size = e.memory.size() / 3;
  folder.write(name, bytes);
  std::vector<uint8_t> memory(3 * size, '.');
  uint64_t trytes = 0;
  std::string error;
  check(read_image_into(folder.file(name), memory.data(), size, trytes, error), memory, e, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  static const test::TempFolder folder;
  if (length < 2) return 0;
  const uint64_t size = 1 + data[0] % 64;
  const uint8_t* file = data + 2;
  const size_t file_length = length - 2;
  const std::string bytes(reinterpret_cast<const char*>(file), file_length);
  const Expected trits = model_trits(file, file_length, size), text = model_text(file, file_length, size);

  std::vector<uint8_t> memory(3 * size, '.');
  TextImageReader reader;
  const size_t cut = file_length == 0 ? 0 : data[1] % (file_length + 1);
  const bool fed = text_image_feed(reader, memory.data(), size, file, cut) &&
                   text_image_feed(reader, memory.data(), size, file + cut, file_length - cut);
  check(fed && reader.stored > 0, memory, text, "text_image_feed in two pieces");

  check_codec(folder, bytes, kTritFileName, trits);
  check_codec(folder, bytes, kTextFileName, text);
  check_tools(folder, bytes, "image.trits", trits);
  check_tools(folder, bytes, "image.tern", text);
  bool all_trits = true;
  for (size_t i = 0; i < file_length; ++i) all_trits = all_trits && trit_of_byte(file[i]) != kNoTrit;
  check_tools(folder, bytes, "image", all_trits && file_length > 0 && file_length % 3 == 0 ? trits : text);
  return 0;
}
