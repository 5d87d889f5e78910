#include "tools/image/image_file.h"

#include <cstdio>

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

}  // namespace

bool parse_image_format(const std::string& name, ImageFormat& out) {
  if (name == "text")
    out = ImageFormat::text;
  else if (name == "trits")
    out = ImageFormat::trits;
  else
    return false;
  return true;
}

ImageFormat image_format_for_path(const std::string& path) {
  return ends_with(path, "memory_trits.txt") || ends_with(path, ".trits") ? ImageFormat::trits : ImageFormat::text;
}

bool write_image_file(const std::string& path, const std::vector<uint8_t>& trytes, ImageFormat format,
                      std::string& error) {
  return write_output_file(path, image_bytes(trytes, format), error);
}

}  // namespace quill
