// The framebuffer services (group fb in host_calls.h). All but the two size constants run
// entirely under the lock, and test every bound before they draw.
#include "host/framebuffer.h"

#include <cstring>

#include "host/dispatch.h"

namespace quill {
namespace {

constexpr uint64_t kPixels = static_cast<uint64_t>(kPixelCount);
constexpr uint64_t kWidth = static_cast<uint64_t>(kFrameWidth);

// Selectors are exactly 0 or 1.
bool register_of(const HostState& state, int64_t selector, TernaryColor& color) {
  if (selector != 0 && selector != 1) return false;
  color = selector == 1 ? state.color1 : state.color0;
  return true;
}

void fill(HostState& state, uint64_t first, uint64_t count, TernaryColor color) {
  const uint32_t rgb = color_rgb(color);
  const uint16_t code = color_code(color);
  for (uint64_t i = first; i < first + count; ++i) {
    state.pixels[i] = rgb;
    state.color_codes[i] = code;
  }
}

// Each drawing service returns its result and publishes the drawing.
bool drawn(HostState& state, int64_t value, int64_t& result) {
  mark_drawn(state);
  result = value;
  return true;
}

bool bit_pattern(HostState& state, int64_t x, int64_t y, int64_t& result) {
  if (static_cast<uint64_t>(x) >= kPixels || y < 2) return false;
  const auto bits = static_cast<uint64_t>(y);
  const int n = 63 - __builtin_clzll(bits);
  if (static_cast<uint64_t>(x) % kWidth + static_cast<uint64_t>(n) > kWidth) return false;
  for (int i = 0; i < n; ++i) {
    const bool one = (bits >> (n - 1 - i)) & 1u;
    set_pixel(state, x + i, one ? state.color1 : state.color0);
  }
  return drawn(state, x + n, result);
}

bool scroll_up(HostState& state, int64_t rows, int64_t selector, int64_t& result) {
  TernaryColor color;
  if (static_cast<uint64_t>(rows) > static_cast<uint64_t>(kFrameHeight) || !register_of(state, selector, color)) {
    return false;
  }
  const uint64_t moved = kWidth * static_cast<uint64_t>(rows);
  const uint64_t kept = kPixels - moved;
  std::memmove(state.pixels, state.pixels + moved, kept * sizeof state.pixels[0]);
  std::memmove(state.color_codes, state.color_codes + moved, kept * sizeof state.color_codes[0]);
  fill(state, kept, moved, color);
  return drawn(state, rows, result);
}

bool invert_run(HostState& state, int64_t x, int64_t count, int64_t& result) {
  if (static_cast<uint64_t>(x) >= kPixels || count < 0) return false;
  if (static_cast<uint64_t>(count) > kWidth - static_cast<uint64_t>(x) % kWidth) return false;
  for (int64_t i = x; i < x + count; ++i) {
    const TernaryColor c = decode_color_code(state.color_codes[i]);
    set_pixel(state, i, TernaryColor{-c.l, -c.u, -c.v});
  }
  return drawn(state, x + count, result);
}

bool fill_run(HostState& state, int64_t x, int64_t count, int64_t& result) {
  if (static_cast<uint64_t>(x) > kPixels || count < 0) return false;
  if (static_cast<uint64_t>(count) > kPixels - static_cast<uint64_t>(x)) return false;
  fill(state, static_cast<uint64_t>(x), static_cast<uint64_t>(count), state.color0);
  return drawn(state, x + count, result);
}

bool hold(HostState& state, int64_t& result) {
  if (state.hold_depth == UINT32_MAX) return false;
  if (state.hold_depth == 0) std::memcpy(state.display_copy, state.pixels, sizeof state.pixels);
  state.hold_depth += 1;
  result = state.hold_depth;
  return true;
}

bool release(HostState& state, int64_t& result) {
  if (state.hold_depth == 0) return false;
  state.hold_depth -= 1;
  if (state.hold_depth == 0 && state.frame_dirty) {
    state.frame_counter += 1;
    state.frame_dirty = false;
  }
  result = state.hold_depth;
  return true;
}

bool recolor_pixel(HostState& state, int64_t x, int64_t value, int64_t& result) {
  if (static_cast<uint64_t>(x) >= kPixels) return false;
  TernaryColor color = decode_color_code(state.color_codes[x]);
  if (!apply_color_value(color, value)) return false;
  set_pixel(state, x, color);
  return drawn(state, x, result);
}

bool set_register(TernaryColor& color, int64_t value, int64_t& result) {
  if (!apply_color_value(color, value)) return false;
  result = color_code(color);
  return true;
}

bool run_at_cursor(HostState& state, int64_t count, int64_t& result) {
  if (count < 0 || static_cast<uint64_t>(count) > kPixels - state.fb_cursor) return false;
  fill(state, state.fb_cursor, static_cast<uint64_t>(count), state.color0);
  state.fb_cursor += static_cast<uint64_t>(count);
  return drawn(state, static_cast<int64_t>(state.fb_cursor), result);
}

bool locked_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result) {
  TernaryColor color;
  switch (type) {
    case host_call::fb_set_pixel:
      if (static_cast<uint64_t>(x) >= kPixels || !register_of(state, y, color)) return false;
      set_pixel(state, x, color);
      return drawn(state, x, result);
    case host_call::fb_pixel_lit:
      if (static_cast<uint64_t>(x) >= kPixels) return false;
      result = state.pixels[x] != 0 ? 1 : 0;
      return true;
    case host_call::fb_clear:
      if (!register_of(state, x, color)) return false;
      fill(state, 0, kPixels, color);
      return drawn(state, kPixelCount, result);
    case host_call::fb_bit_pattern:
      return bit_pattern(state, x, y, result);
    case host_call::fb_scroll_up:
      return scroll_up(state, x, y, result);
    case host_call::fb_invert_run:
      return invert_run(state, x, y, result);
    case host_call::fb_fill_run:
      return fill_run(state, x, y, result);
    case host_call::fb_hold:
      return hold(state, result);
    case host_call::fb_release:
      return release(state, result);
    case host_call::fb_recolor_pixel:
      return recolor_pixel(state, x, y, result);
    case host_call::fb_pixel_code:
      if (static_cast<uint64_t>(x) >= kPixels) return false;
      result = state.color_codes[x];
      return true;
    case host_call::fb_set_color1:
      return set_register(state.color1, x, result);
    case host_call::fb_set_color0:
      return set_register(state.color0, x, result);
    case host_call::fb_get_color1:
      result = color_code(state.color1);
      return true;
    case host_call::fb_get_color0:
      result = color_code(state.color0);
      return true;
    case host_call::fb_set_cursor:
      if (static_cast<uint64_t>(x) > kPixels) return false;
      state.fb_cursor = static_cast<uint64_t>(x);
      result = x;
      return true;
    case host_call::fb_cursor_run:
      return run_at_cursor(state, x, result);
    default:
      return false;
  }
}

}  // namespace

void set_pixel(HostState& state, int64_t index, TernaryColor color) {
  state.pixels[index] = color_rgb(color);
  state.color_codes[index] = color_code(color);
}

void mark_drawn(HostState& state) {
  if (state.hold_depth == 0) {
    state.frame_counter += 1;
  } else {
    state.frame_dirty = true;
  }
}

uint64_t framebuffer_copy_for_paint(HostState& state, uint32_t* out) {
  LockGuard guard(state.lock);
  if (state.hold_depth == 0) std::memcpy(state.display_copy, state.pixels, sizeof state.pixels);
  std::memcpy(out, state.display_copy, sizeof state.display_copy);
  return state.frame_counter;
}

uint64_t framebuffer_frame_counter(HostState& state) {
  LockGuard guard(state.lock);
  return state.frame_counter;
}

void framebuffer_init(HostState& state) {
  for (uint16_t& code : state.color_codes) code = kBlackCode;
  state.color1 = kWhite;
  state.color0 = kBlack;
}

bool framebuffer_service(HostState& state, int64_t type, int64_t x, int64_t y, int64_t& result) {
  if (type == host_call::fb_width) {
    result = kFrameWidth;
    return true;
  }
  if (type == host_call::fb_height) {
    result = kFrameHeight;
    return true;
  }
  LockGuard guard(state.lock);
  return locked_service(state, type, x, y, result);
}

}  // namespace quill
