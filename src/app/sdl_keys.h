// SDL's key presses in the window-system-independent terms of key_translation.h.
#pragma once

#include <cstdint>

#include "app/key_translation.h"

namespace quill {

// The key of an SDL key code (SDL_Keycode, the layout's key: letters are lower
// case) under the modifier state (SDL_Keymod). Main and keypad Enter are both
// Enter; with NumLock off the keypad's navigation keys are the main ones, as on
// Windows (with it on they type digits, which arrive as text).
[[nodiscard]] Key key_from_sdl(int32_t keycode, uint32_t modifiers);

// The modifiers of an SDL modifier state (SDL_Keymod). Only the left Alt counts as
// Alt: on many layouts the right one is AltGr, which types printable characters.
[[nodiscard]] KeyModifiers modifiers_from_sdl(uint32_t modifiers);

// True when typed text arriving under this modifier state is a key combination
// rather than typing, and types nothing: Alt (a system key), or Ctrl without AltGr
// (Ctrl+1 is no "1", as on Windows).
[[nodiscard]] bool typing_silenced(uint32_t modifiers);

}  // namespace quill
