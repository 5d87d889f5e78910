// Golden pictures: PNG files under tests/tools/golden/ that a test's screenshot
// must match pixel for pixel. A mismatch writes the actual picture into the build
// folder (golden-actual/NAME.png) and says where and how the two differ.
//
// After a deliberate change to a picture, rewrite the goldens by running the
// tests with QUILL_UPDATE_GOLDEN=1 (`make golden`), then look at the new files
// before committing them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill::test {

struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row
};

// Decodes an 8-bit RGB PNG without interlacing (any row filters), checking every
// chunk's CRC. False on anything else.
[[nodiscard]] bool decode_png(const std::string& png, Picture& out);

// A rectangle of pixels that a comparison skips, such as a measured time.
struct Region {
  uint32_t x = 0;
  uint32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// Compares the PNG bytes `actual` with the golden picture `name` (without
// ".png"), except for the pixels in `ignored`. Empty when they match (or when
// QUILL_UPDATE_GOLDEN rewrote the golden); otherwise a description of the
// difference.
[[nodiscard]] std::string compare_with_golden(const std::string& actual, const std::string& name, Region ignored = {});

}  // namespace quill::test
