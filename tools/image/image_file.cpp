#include "tools/image/image_file.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "codec/text_image.h"
#include "codec/tryte.h"
#include "tools/image/output_file.h"

namespace quill {

namespace {

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string image_bytes(const std::vector<uint8_t>& trytes, ImageFormat format) {
  std::string out;
  if (format == ImageFormat::trits) {
    out.reserve(3 * trytes.size());
    for (const uint8_t tv : trytes) out.append(detail::kTritPattern[tv].data(), 3);
    return out;
  }
  out.reserve(trytes.size() + trytes.size() / kImageLineSymbols + 1);
  for (size_t i = 0; i < trytes.size(); ++i) {
    out += kSymbolAlphabet[trytes[i]];
    if ((i + 1) % kImageLineSymbols == 0 || i + 1 == trytes.size()) out += '\n';
  }
  return out;
}

bool looks_like_trits(const std::string& bytes) {
  if (bytes.empty() || bytes.size() % 3 != 0) return false;
  for (const char c : bytes) {
    if (trit_of_byte(static_cast<uint8_t>(c)) == kNoTrit) return false;
  }
  return true;
}

bool decode(const std::string& path, const std::string& bytes, ImageFormat format, std::vector<uint8_t>& memory,
            std::string& error) {
  if (format == ImageFormat::trits) {
    if (bytes.empty() || bytes.size() % 3 != 0) {
      error = path + ": a trit image holds three bytes per tryte, and this one holds " +
              std::to_string(bytes.size()) + " bytes";
      return false;
    }
    memory.assign(bytes.begin(), bytes.end());
    return true;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<uint8_t>(bytes[i]);
    if (symbol_value(byte) == kNoTryte && !std::isspace(byte)) {
      error = path + ": byte " + std::to_string(i) + " is neither a tryte symbol nor whitespace";
      return false;
    }
  }
  std::vector<uint8_t> trits(3 * bytes.size(), '.');
  TextImageReader reader;
  if (!text_image_feed(reader, trits.data(), bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()),
                       bytes.size()) ||
      reader.stored == 0) {
    error = path + ": the image holds no symbols";
    return false;
  }
  trits.resize(3 * reader.stored);
  memory = std::move(trits);
  return true;
}

bool read_bytes(const std::string& path, std::string& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open '" + path + "'";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) {
    error = "cannot read '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace

bool parse_image_format(const std::string& name, ImageFormat& out) {
  if (name == "text") out = ImageFormat::text;
  else if (name == "trits") out = ImageFormat::trits;
  else return false;
  return true;
}

ImageFormat image_format_for_path(const std::string& path) {
  return ends_with(path, "memory_trits.txt") || ends_with(path, ".trits") ? ImageFormat::trits : ImageFormat::text;
}

bool write_image_file(const std::string& path, const std::vector<uint8_t>& trytes, ImageFormat format,
                      std::string& error) {
  return write_output_file(path, image_bytes(trytes, format), error);
}

bool read_image_file_as(const std::string& path, ImageFormat format, std::vector<uint8_t>& memory,
                        std::string& error) {
  std::string bytes;
  return read_bytes(path, bytes, error) && decode(path, bytes, format, memory, error);
}

bool read_image_file(const std::string& path, std::vector<uint8_t>& memory, std::string& error) {
  std::string bytes;
  if (!read_bytes(path, bytes, error)) return false;
  const bool trits = image_format_for_path(path) == ImageFormat::trits ||
                     (!ends_with(path, ".tern") && !ends_with(path, "memory_tambrisk.txt") && looks_like_trits(bytes));
  return decode(path, bytes, trits ? ImageFormat::trits : ImageFormat::text, memory, error);
}

}  // namespace quill
