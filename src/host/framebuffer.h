// The 500 x 320 framebuffer inside the HostState: drawing for the host services,
// and what the window needs to paint it.
#pragma once

#include <cstdint>

#include "host/host_state.h"

namespace quill {

// Paints pixel `index` (< kPixelCount) with `color`: its code and its RGB. The
// caller holds the lock; the frame counter is not touched.
void set_pixel(HostState& state, int64_t index, TernaryColor color);

// Publishes a drawing: moves the frame counter, or marks the held frame dirty.
// The caller holds the lock.
void mark_drawn(HostState& state);

// For painting, under the lock: refreshes display_copy from the live picture
// unless a hold is open, copies display_copy into `out` (kPixelCount entries)
// and returns the frame counter. Any thread.
uint64_t framebuffer_copy_for_paint(HostState& state, uint32_t* out);

// The frame counter, read under the lock. Any thread.
[[nodiscard]] uint64_t framebuffer_frame_counter(HostState& state);

// Sets every colour code to black and the registers to white and black: the
// framebuffer as a new HostState holds it (pixels are already 0, black's RGB).
void framebuffer_init(HostState& state);

}  // namespace quill
