#include "app/win32_keys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/person_keys.h"

namespace quill {
namespace {

constexpr int16_t kUp = 0;
constexpr int16_t kDown = static_cast<int16_t>(0x8000);  // GetKeyState's high bit
constexpr int16_t kToggled = 1;                          // low bit only: a toggle, not held

// WM_KEYDOWN virtual keys with the Ctrl and Shift states, through to what reaches
// the machine.
TEST(Win32Keys, VirtualKeysBecomeTheirKeyCodes) {
  struct Case {
    uint64_t virtual_key;
    int16_t control;
    int16_t shift;
    KeyAction action;
    int64_t code;
  } cases[] = {
      {VK_RETURN, kUp, kUp, KeyAction::push, 100},
      {VK_RETURN, kUp, kDown, KeyAction::push, 113},
      {VK_RETURN, kDown, kDown, KeyAction::push, 113},  // Ctrl+Shift+Enter
      {VK_RETURN, kUp, kToggled, KeyAction::push, 100},
      {'S', kDown, kUp, KeyAction::push, 110},
      {'D', kDown | kToggled, kDown, KeyAction::push, 111},
      {'S', kUp, kUp, KeyAction::ignored, kNoKeyCode},  // typed through WM_CHAR instead
      {'S', kToggled, kUp, KeyAction::ignored, kNoKeyCode},
      {'A', kDown, kUp, KeyAction::ignored, kNoKeyCode},
      {VK_LEFT, kDown, kUp, KeyAction::push, 102},
      {VK_TAB, kUp, kDown, KeyAction::push, 112},
      {VK_BACK, kUp, kUp, KeyAction::push, 101},
      {VK_RIGHT, kUp, kUp, KeyAction::push, 103},
      {VK_UP, kUp, kUp, KeyAction::push, 104},
      {VK_DOWN, kUp, kUp, KeyAction::push, 105},
      {VK_DELETE, kUp, kUp, KeyAction::push, 106},
      {VK_ESCAPE, kUp, kUp, KeyAction::push, 107},
      {VK_HOME, kUp, kUp, KeyAction::push, 108},
      {VK_END, kUp, kUp, KeyAction::push, 109},
      {VK_F12, kDown, kDown, KeyAction::stop, kNoKeyCode},
      {VK_F1, kUp, kUp, KeyAction::ignored, kNoKeyCode},
      {VK_INSERT, kUp, kUp, KeyAction::ignored, kNoKeyCode},
      {VK_NUMPAD1, kUp, kUp, KeyAction::ignored, kNoKeyCode},
      {VK_SHIFT, kUp, kDown, KeyAction::ignored, kNoKeyCode},
  };
  for (const Case& c : cases) {
    const KeyPress press =
        translate_key_press(key_from_virtual_key(c.virtual_key), modifiers_from_key_state(c.control, c.shift));
    EXPECT_EQ(press.action, c.action) << std::hex << c.virtual_key << " ctrl " << c.control << " shift " << c.shift;
    EXPECT_EQ(press.code, c.code) << std::hex << c.virtual_key << " ctrl " << c.control << " shift " << c.shift;
  }
}

// Keypad keys with NumLock off arrive as the main keys' virtual keys already.
TEST(Win32Keys, CtrlWithoutAltSilencesTyping) {
  const struct {
    int16_t control;
    int16_t menu;
    bool silenced;
  } cases[] = {
      {kUp, kUp, false},     {kDown, kUp, true},     {kDown | kToggled, kToggled, true},
      {kDown, kDown, false}, {kToggled, kUp, false}, {kUp, kDown, false},
  };
  for (const auto& c : cases) EXPECT_EQ(typing_with_ctrl(c.control, c.menu), c.silenced) << c.control << " " << c.menu;
}

TEST(Win32Keys, FunctionKeysForThePerson) {
  EXPECT_EQ(person_key(key_from_virtual_key(VK_F2), modifiers_from_key_state(kUp, kUp)), PersonKey::screenshot);
  EXPECT_EQ(person_key(key_from_virtual_key(VK_F5), modifiers_from_key_state(kDown, kUp)), PersonKey::restart);
  EXPECT_EQ(person_key(key_from_virtual_key(VK_F11), modifiers_from_key_state(kUp, kDown)), PersonKey::fullscreen);
  EXPECT_EQ(person_key(key_from_virtual_key(VK_F1), modifiers_from_key_state(kUp, kUp)), PersonKey::none);
}

}  // namespace
}  // namespace quill
