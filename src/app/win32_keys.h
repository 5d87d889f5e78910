// Windows' key messages in the window-system-independent terms of key_translation.h.
#pragma once

#include <cstdint>

#include "app/key_translation.h"

namespace quill {

// The key of a WM_KEYDOWN virtual-key code. VK_RETURN is both the main and the
// keypad Enter; 'S' and 'D' are the letter keys whatever the layout types with them.
[[nodiscard]] Key key_from_virtual_key(uint64_t virtual_key);

// The modifiers of a WM_KEYDOWN from GetKeyState's results for VK_CONTROL and
// VK_SHIFT (down when the high bit is set). Alt is never held here: Alt
// combinations arrive as WM_SYSKEYDOWN, which is left to the system.
[[nodiscard]] KeyModifiers modifiers_from_key_state(int16_t control_state, int16_t shift_state);

// True when a WM_CHAR arriving with these GetKeyState results for VK_CONTROL and
// VK_MENU comes from a Ctrl combination, which types nothing (Ctrl+Space is no
// space). Ctrl with Alt is AltGr, which types.
[[nodiscard]] bool typing_with_ctrl(int16_t control_state, int16_t menu_state);

}  // namespace quill
