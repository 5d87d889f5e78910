#include "app/key_translation.h"

#include "codec/charset.h"

namespace quill {
namespace {

constexpr char32_t kReplacement = 0xFFFD;  // has no character code

// Decodes one UTF-8 sequence at `text` (not at its NUL); returns its length in bytes
// and writes the code point, or kReplacement for a malformed, overlong or surrogate
// sequence (then consuming one byte).
size_t decode_utf8(const unsigned char* text, char32_t& out) {
  const unsigned char lead = text[0];
  out = kReplacement;
  if (lead < 0x80) {
    out = lead;
    return 1;
  }
  // The sequence length follows from the lead byte's high bits; continuation bytes
  // and bytes that no sequence starts with are malformed here.
  const size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0) return 1;
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};  // shorter forms are overlong
  char32_t point = lead & (0x7Fu >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) {  // also stops at the NUL
      return 1;
    }
    point = (point << 6) | (text[i] & 0x3F);
  }
  const bool valid = point >= kSmallest[length] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
  if (!valid) return 1;
  out = point;
  return length;
}

}  // namespace

KeyPress translate_key_press(Key key, KeyModifiers modifiers) {
  if (modifiers.alt || key == Key::f10) return {};
  if (key == Key::f12) return {KeyAction::stop, kNoKeyCode};
  auto push = [](int64_t code) { return KeyPress{KeyAction::push, code}; };
  if (modifiers.ctrl && key == Key::letter_s) return push(kKeyCtrlS);
  if (modifiers.ctrl && key == Key::letter_d) return push(kKeyCtrlD);
  switch (key) {
    case Key::enter:
      return push(modifiers.shift ? kKeyShiftEnter : kKeyEnter);
    case Key::backspace:
      return push(kKeyBackspace);
    case Key::left:
      return push(kKeyLeft);
    case Key::right:
      return push(kKeyRight);
    case Key::up:
      return push(kKeyUp);
    case Key::down:
      return push(kKeyDown);
    case Key::del:
      return push(kKeyDelete);
    case Key::escape:
      return push(kKeyEscape);
    case Key::home:
      return push(kKeyHome);
    case Key::end:
      return push(kKeyEnd);
    case Key::tab:
      return push(kKeyTab);
    default:
      return {};
  }
}

int64_t translate_typed_unit(char16_t unit) {
  if (unit < 32) return kNoKeyCode;
  const int code = code_of_character(unit);
  return code == kNoCharacterCode ? kNoKeyCode : code;
}

size_t translate_typed_text(const char* utf8, int64_t* codes, size_t capacity) {
  const auto* text = reinterpret_cast<const unsigned char*>(utf8);
  size_t count = 0;
  while (*text != 0 && count < capacity) {
    char32_t point = 0;
    text += decode_utf8(text, point);
    // A character beyond the 16-bit range arrives as two surrogate units, and no
    // surrogate has a character code: it types nothing.
    if (point > 0xFFFF) continue;
    const int64_t code = translate_typed_unit(static_cast<char16_t>(point));
    if (code != kNoKeyCode) codes[count++] = code;
  }
  return count;
}

}  // namespace quill
