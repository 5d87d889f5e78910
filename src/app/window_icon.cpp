#include "app/window_icon.h"

namespace quill {
namespace {

// Trits on a grid: '+' and '-' squares facing each other across the zero ground,
// the machine's three values at a glance.
constexpr size_t kMotifSide = 8;
constexpr char kMotif[kMotifSide][kMotifSide + 1] = {
    "00000000",  //
    "0++00--0",  //
    "0++00--0",  //
    "00000000",  //
    "00000000",  //
    "0--00++0",  //
    "0--00++0",  //
    "00000000",  //
};

constexpr uint32_t colour_of(char trit) { return trit == '+' ? 0xFFFE007Fu : trit == '-' ? 0xFF0080FEu : 0xFF202020u; }

}  // namespace

void draw_window_icon(uint32_t (&pixels)[kIconSide * kIconSide]) {
  constexpr size_t kCell = kIconSide / kMotifSide;
  for (size_t y = 0; y < kIconSide; ++y) {
    for (size_t x = 0; x < kIconSide; ++x) pixels[y * kIconSide + x] = colour_of(kMotif[y / kCell][x / kCell]);
  }
}

}  // namespace quill
