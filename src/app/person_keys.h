// The keys that belong to the person at the window rather than to the program:
// they act on the window or the emulator and never reach the key queue. F12, the
// stop, stays with the machine's key translation (key_translation.h).
#pragma once

#include <cstdint>

#include "app/key_translation.h"

namespace quill {

enum class PersonKey : uint8_t {
  none,        // the key goes on to the machine's translation
  restart,     // F5: a fresh machine from the image as it is on disk now
  screenshot,  // F2: the picture as a PNG in the current directory
  fullscreen,  // F11: full screen on or off
};

// What a key press means to the emulator itself. Alt combinations are the
// system's, as they are for the machine's keys.
[[nodiscard]] PersonKey person_key(Key key, KeyModifiers modifiers);

}  // namespace quill
