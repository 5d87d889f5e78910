// SDL's key presses in the window-system-independent terms of key_translation.h.
#pragma once

#include <cstdint>

#include "app/key_translation.h"

namespace quill {

// The key of an SDL key code (SDL_Keycode, the layout's key: letters are lower
// case). Main and keypad Enter are both Enter.
[[nodiscard]] Key key_from_sdl(int32_t keycode);

// The modifiers of an SDL modifier state (SDL_Keymod). Only the left Alt counts as
// Alt: on many layouts the right one is AltGr, which types printable characters.
[[nodiscard]] KeyModifiers modifiers_from_sdl(uint32_t modifiers);

// True when typed text arriving under this modifier state comes from an Alt
// combination, which is a system key and types nothing.
[[nodiscard]] bool typing_with_alt(uint32_t modifiers);

}  // namespace quill
