// From keyboard input to the machine's key codes, independent of the window system.
//
// A window backend reports two kinds of input: key presses (with the modifiers
// held) and typed characters (UTF-16 code units). Special keys become key codes
// 100..113 from the press; printable characters become their character codes
// 0..93 from the typed text; F12 is the processor's stop request.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/key_codes.h"

namespace quill {

// The keys that mean something to the machine; everything else is `other`.
enum class Key : uint8_t {
  other,
  enter,  // main or keypad Enter
  backspace,
  left,
  right,
  up,
  down,
  del,
  escape,
  home,
  end,
  tab,
  letter_s,
  letter_d,
  f2,  // the person's keys (person_keys.h): never a key code
  f5,
  f10,
  f11,
  f12,
};

struct KeyModifiers {
  bool ctrl = false;
  bool shift = false;
  bool alt = false;  // Alt without AltGr: such input is a system key, not typing
};

inline constexpr int64_t kNoKeyCode = -1;

enum class KeyAction : uint8_t {
  ignored,  // not ours: the window system may handle it
  push,     // push `code` into the machine's key queue
  stop,     // F12: stop the processor
};

struct KeyPress {
  KeyAction action = KeyAction::ignored;
  int64_t code = kNoKeyCode;
};

// What a key press means. Alt combinations and F10 are system keys and ignored.
[[nodiscard]] KeyPress translate_key_press(Key key, KeyModifiers modifiers);

// The key code of one typed UTF-16 code unit, or kNoKeyCode for control characters
// (Enter, Tab, Ctrl+letter arrive as key presses instead) and characters that have
// no character code.
[[nodiscard]] int64_t translate_typed_unit(char16_t unit);

// The key codes of typed text given in UTF-8 (NUL-terminated), as the window
// system reports it: decoded into UTF-16 code units, each translated as above and
// the ones without a code dropped. Writes at most `capacity` codes into `codes` and
// returns how many it wrote. A malformed byte sequence counts as one character
// without a code.
[[nodiscard]] size_t translate_typed_text(const char* utf8, int64_t* codes, size_t capacity);

}  // namespace quill
