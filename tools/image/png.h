// PNG pictures of the framebuffer for `quill run --screenshot`.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

// Encodes `width` x `height` pixels (0x00RRGGBB, row by row) as an 8-bit RGB PNG
// into `out`. False when the compressor fails or the size is zero.
[[nodiscard]] bool encode_png(const uint32_t* pixels, uint32_t width, uint32_t height, std::string& out);

}  // namespace quill
