#include "support/golden_picture.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quill::test {

namespace {

uint32_t be32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8 | static_cast<uint8_t>(s[at + 3]);
}

int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the row filters in place; `rows` holds a filter byte before each row.
bool unfilter(std::string& rows, uint32_t width, uint32_t height) {
  const size_t stride = size_t{3} * width;
  for (uint32_t y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint8_t*>(rows.data()) + y * (stride + 1);
    const uint8_t* up = y == 0 ? nullptr : row - (stride + 1);
    const uint8_t filter = row[0];
    if (filter > 4) return false;
    for (size_t i = 1; i <= stride; ++i) {
      const int a = i > 3 ? row[i - 3] : 0, b = up ? up[i] : 0, c = up && i > 3 ? up[i - 3] : 0;
      const int predicted = filter == 1   ? a
                            : filter == 2 ? b
                            : filter == 3 ? (a + b) / 2
                            : filter == 4 ? paeth(a, b, c)
                                          : 0;
      row[i] = static_cast<uint8_t>(row[i] + predicted);
    }
  }
  return true;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

std::string hex_colour(uint32_t p) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", p & 0xFFFFFFu);
  return text;
}

}  // namespace

bool decode_png(const std::string& png, Picture& out) {
  if (png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return false;
  std::string idat;
  uint32_t width = 0, height = 0;
  bool header_ok = false;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = be32(png, at);
    if (length > png.size() - at - 12) return false;
    const std::string type = png.substr(at + 4, 4);
    const auto* body = reinterpret_cast<const Bytef*>(png.data() + at + 4);
    if (crc32(0, body, length + 4) != be32(png, at + 8 + length)) return false;
    if (type == "IHDR" && length == 13) {
      width = be32(png, at + 8), height = be32(png, at + 12);
      header_ok = png.compare(at + 16, 5, std::string("\x08\x02\x00\x00\x00", 5)) == 0;
    }
    if (type == "IDAT") idat += png.substr(at + 8, length);
    at += 12 + length;
  }
  if (!header_ok || width == 0 || height == 0 || width > 8192 || height > 8192) return false;
  std::string rows(size_t{height} * (1 + size_t{3} * width) + 1, '\0');  // a spare byte shows a longer stream
  uLongf size = static_cast<uLongf>(rows.size());
  if (uncompress(reinterpret_cast<Bytef*>(rows.data()), &size, reinterpret_cast<const Bytef*>(idat.data()),
                 static_cast<uLong>(idat.size())) != Z_OK ||
      size != rows.size() - 1 || !unfilter(rows, width, height)) {
    return false;
  }
  Picture picture{width, height, std::vector<uint32_t>(size_t{width} * height)};
  for (uint32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(rows.data()) + y * (1 + size_t{3} * width) + 1;
    for (uint32_t x = 0; x < width; ++x) {
      picture.pixels[size_t{y} * width + x] =
          uint32_t{row[3 * x]} << 16 | uint32_t{row[3 * x + 1]} << 8 | row[3 * x + 2];
    }
  }
  out = std::move(picture);
  return true;
}

std::string compare_with_golden(const std::string& actual, const std::string& name, Region ignored) {
  const std::filesystem::path golden_path = std::filesystem::path(QUILL_GOLDEN_DIR) / (name + ".png");
  const std::filesystem::path actual_path = std::filesystem::path(QUILL_GOLDEN_ACTUAL_DIR) / (name + ".png");
  Picture have;
  if (!decode_png(actual, have)) return name + ": the actual picture is not a PNG this harness reads";
  const char* update = std::getenv("QUILL_UPDATE_GOLDEN");
  if (update != nullptr && *update != '\0' && *update != '0') {
    return write_file(golden_path, actual) ? "" : name + ": cannot write " + golden_path.string();
  }
  Picture want;
  std::string difference;
  if (!decode_png(read_file(golden_path), want)) {
    difference = "no readable golden picture " + golden_path.string() + " (QUILL_UPDATE_GOLDEN=1 writes it)";
  } else if (want.width != have.width || want.height != have.height) {
    difference = "size " + std::to_string(have.width) + "x" + std::to_string(have.height) + ", expected " +
                 std::to_string(want.width) + "x" + std::to_string(want.height);
  } else {
    size_t count = 0, first = 0;
    for (size_t i = 0; i < have.pixels.size(); ++i) {
      const size_t x = i % have.width, y = i / have.width;
      const bool skipped =
          x >= ignored.x && x - ignored.x < ignored.width && y >= ignored.y && y - ignored.y < ignored.height;
      if (!skipped && have.pixels[i] != want.pixels[i] && count++ == 0) first = i;
    }
    if (count == 0) return "";
    difference = std::to_string(count) + " pixels differ; the first at x " + std::to_string(first % have.width) +
                 ", y " + std::to_string(first / have.width) + " is " + hex_colour(have.pixels[first]) + ", expected " +
                 hex_colour(want.pixels[first]);
  }
  const std::string where = write_file(actual_path, actual) ? "; actual picture: " + actual_path.string()
                                                            : "; cannot write the actual picture";
  return name + ": " + difference + where;
}

}  // namespace quill::test
