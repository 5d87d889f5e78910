#include "tools/image/png.h"

#include <zlib.h>

#include <vector>

namespace quill {

namespace {

void put_u32(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

// Length, type, data and the CRC over type and data.
void put_chunk(std::string& out, const char type[4], const std::string& data) {
  put_u32(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  put_u32(out,
          static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

bool encode_png(const uint32_t* pixels, uint32_t width, uint32_t height, std::string& out) {
  if (width == 0 || height == 0) return false;
  // Each row: filter byte 0 (none), then R, G, B per pixel.
  const size_t row_bytes = 1 + size_t{3} * width;
  std::vector<Bytef> raw(row_bytes * height);
  for (uint32_t y = 0; y < height; ++y) {
    Bytef* row = &raw[y * row_bytes];
    row[0] = 0;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[size_t{y} * width + x];
      row[1 + 3 * x] = static_cast<Bytef>(p >> 16);
      row[2 + 3 * x] = static_cast<Bytef>(p >> 8);
      row[3 + 3 * x] = static_cast<Bytef>(p);
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size, raw.data(), static_cast<uLong>(raw.size()),
                Z_BEST_SPEED) != Z_OK) {
    return false;
  }
  packed.resize(packed_size);
  std::string header;
  put_u32(header, width);
  put_u32(header, height);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive filters, no interlace
  std::string png("\x89PNG\r\n\x1a\n", 8);
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", packed);
  put_chunk(png, "IEND", "");
  out = std::move(png);
  return true;
}

}  // namespace quill
