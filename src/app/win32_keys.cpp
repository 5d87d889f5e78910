#include "app/win32_keys.h"

#include <windows.h>

namespace quill {

Key key_from_virtual_key(uint64_t virtual_key) {
  switch (virtual_key) {
    case VK_RETURN:
      return Key::enter;
    case VK_BACK:
      return Key::backspace;
    case VK_LEFT:
      return Key::left;
    case VK_RIGHT:
      return Key::right;
    case VK_UP:
      return Key::up;
    case VK_DOWN:
      return Key::down;
    case VK_DELETE:
      return Key::del;
    case VK_ESCAPE:
      return Key::escape;
    case VK_HOME:
      return Key::home;
    case VK_END:
      return Key::end;
    case VK_TAB:
      return Key::tab;
    case 'S':
      return Key::letter_s;
    case 'D':
      return Key::letter_d;
    case VK_F2:
      return Key::f2;
    case VK_F5:
      return Key::f5;
    case VK_F11:
      return Key::f11;
    case VK_F12:
      return Key::f12;
    default:
      return Key::other;
  }
}

KeyModifiers modifiers_from_key_state(int16_t control_state, int16_t shift_state) {
  KeyModifiers modifiers;
  modifiers.ctrl = control_state < 0;
  modifiers.shift = shift_state < 0;
  return modifiers;
}

bool typing_with_ctrl(int16_t control_state, int16_t menu_state) { return control_state < 0 && menu_state >= 0; }

}  // namespace quill
