// The key codes a program takes from the key queue: 0..93 are characters (their
// character code), 100..113 the special keys listed here. The window's key
// translation, `quill run --keys` and programs/lib/keys.tasm take them from this list.
#pragma once

#include <cstdint>
#include <iterator>

// K(code, CamelName, snake_name): kKeyCtrlS in C++, {ctrl-s} in key scripts,
// KEY_CTRL_S in assembly.
#define QUILL_KEY_CODES(K)     \
  K(100, Enter, enter)         \
  K(101, Backspace, backspace) \
  K(102, Left, left)           \
  K(103, Right, right)         \
  K(104, Up, up)               \
  K(105, Down, down)           \
  K(106, Delete, delete)       \
  K(107, Escape, escape)       \
  K(108, Home, home)           \
  K(109, End, end)             \
  K(110, CtrlS, ctrl_s)        \
  K(111, CtrlD, ctrl_d)        \
  K(112, Tab, tab)             \
  K(113, ShiftEnter, shift_enter)

namespace quill {

#define QUILL_KEY_CONSTANT(code, Name, name) inline constexpr int64_t kKey##Name = code;
QUILL_KEY_CODES(QUILL_KEY_CONSTANT)
#undef QUILL_KEY_CONSTANT

struct KeyCodeInfo {
  int64_t code;
  const char* name;  // "ctrl_s"
};

inline constexpr KeyCodeInfo kKeyCodes[] = {
#define QUILL_KEY_INFO(code, Name, name) {code, #name},
    QUILL_KEY_CODES(QUILL_KEY_INFO)
#undef QUILL_KEY_INFO
};

inline constexpr int64_t kFirstSpecialKey = kKeyCodes[0].code;
inline constexpr int64_t kLastKeyCode = kKeyCodes[std::size(kKeyCodes) - 1].code;

}  // namespace quill
