#include "app/key_translation.h"

#include "codec/charset.h"

namespace quill {

KeyPress translate_key_press(Key key, KeyModifiers modifiers) {
  if (modifiers.alt || key == Key::f10) return {};
  if (key == Key::f12) return {KeyAction::stop, kNoKeyCode};
  auto push = [](int64_t code) { return KeyPress{KeyAction::push, code}; };
  if (modifiers.ctrl && key == Key::letter_s) return push(kKeyCtrlS);
  if (modifiers.ctrl && key == Key::letter_d) return push(kKeyCtrlD);
  switch (key) {
    case Key::enter: return push(modifiers.shift ? kKeyShiftEnter : kKeyEnter);
    case Key::backspace: return push(kKeyBackspace);
    case Key::left: return push(kKeyLeft);
    case Key::right: return push(kKeyRight);
    case Key::up: return push(kKeyUp);
    case Key::down: return push(kKeyDown);
    case Key::del: return push(kKeyDelete);
    case Key::escape: return push(kKeyEscape);
    case Key::home: return push(kKeyHome);
    case Key::end: return push(kKeyEnd);
    case Key::tab: return push(kKeyTab);
    default: return {};
  }
}

int64_t translate_typed_unit(char16_t unit) {
  if (unit < 32) return kNoKeyCode;
  const int code = code_of_character(unit);
  return code == kNoCharacterCode ? kNoKeyCode : code;
}

}  // namespace quill
