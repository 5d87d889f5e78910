#include "app/sdl_keys.h"

#include <SDL_keyboard.h>
#include <gtest/gtest.h>

#include "app/person_keys.h"

namespace quill {
namespace {

// The SDL events measured under X for each key, through to what reaches the machine.
TEST(SdlKeys, EventsMeasuredUnderXBecomeTheirKeyCodes) {
  struct Case {
    int32_t sym;
    uint32_t mod;
    KeyAction action;
    int64_t code;
  } cases[] = {
      {SDLK_RETURN, KMOD_NONE, KeyAction::push, 100},
      {SDLK_RETURN, KMOD_LSHIFT, KeyAction::push, 113},
      {SDLK_KP_ENTER, KMOD_RSHIFT, KeyAction::push, 113},
      {SDLK_s, KMOD_LCTRL, KeyAction::push, 110},
      {SDLK_d, KMOD_RCTRL | KMOD_SHIFT, KeyAction::push, 111},
      {SDLK_s, KMOD_NONE, KeyAction::ignored, kNoKeyCode},  // typed text instead
      {SDLK_LEFT, KMOD_LCTRL, KeyAction::push, 102},
      {SDLK_TAB, KMOD_LSHIFT, KeyAction::push, 112},
      {SDLK_DELETE, KMOD_NONE, KeyAction::push, 106},
      {SDLK_BACKSPACE, KMOD_NONE, KeyAction::push, 101},
      {SDLK_ESCAPE, KMOD_NUM, KeyAction::push, 107},
      {SDLK_HOME, KMOD_CAPS, KeyAction::push, 108},
      {SDLK_END, KMOD_NONE, KeyAction::push, 109},
      {SDLK_UP, KMOD_NONE, KeyAction::push, 104},
      {SDLK_DOWN, KMOD_NONE, KeyAction::push, 105},
      {SDLK_RIGHT, KMOD_NONE, KeyAction::push, 103},
      {SDLK_F12, KMOD_LCTRL | KMOD_LSHIFT, KeyAction::stop, kNoKeyCode},
      {SDLK_F10, KMOD_NONE, KeyAction::ignored, kNoKeyCode},
      {SDLK_RETURN, KMOD_LALT, KeyAction::ignored, kNoKeyCode},
      {SDLK_RETURN, KMOD_RALT, KeyAction::push, 100},  // AltGr on many layouts
      {SDLK_F1, KMOD_NONE, KeyAction::ignored, kNoKeyCode},
      {SDLK_a, KMOD_LCTRL, KeyAction::ignored, kNoKeyCode},
      // The keypad: with NumLock off its navigation keys are the main ones; with it
      // on, and for the keys without a code, the digits arrive as text.
      {SDLK_KP_7, KMOD_NONE, KeyAction::push, 108},
      {SDLK_KP_1, KMOD_CAPS, KeyAction::push, 109},
      {SDLK_KP_4, KMOD_NONE, KeyAction::push, 102},
      {SDLK_KP_6, KMOD_LCTRL, KeyAction::push, 103},
      {SDLK_KP_8, KMOD_NONE, KeyAction::push, 104},
      {SDLK_KP_2, KMOD_NONE, KeyAction::push, 105},
      {SDLK_KP_PERIOD, KMOD_NONE, KeyAction::push, 106},
      {SDLK_KP_7, KMOD_NUM, KeyAction::ignored, kNoKeyCode},
      {SDLK_KP_PERIOD, KMOD_NUM | KMOD_SHIFT, KeyAction::ignored, kNoKeyCode},
      {SDLK_KP_9, KMOD_NONE, KeyAction::ignored, kNoKeyCode},
      {SDLK_KP_0, KMOD_NONE, KeyAction::ignored, kNoKeyCode},
      {SDLK_KP_5, KMOD_NONE, KeyAction::ignored, kNoKeyCode},
      {SDLK_KP_ENTER, KMOD_NUM, KeyAction::push, 100},
      {SDLK_KP_8, KMOD_LALT, KeyAction::ignored, kNoKeyCode},
  };
  for (const Case& c : cases) {
    const KeyPress press = translate_key_press(key_from_sdl(c.sym, c.mod), modifiers_from_sdl(c.mod));
    EXPECT_EQ(press.action, c.action) << std::hex << c.sym << " mod " << c.mod;
    EXPECT_EQ(press.code, c.code) << std::hex << c.sym << " mod " << c.mod;
  }
}

// The left Alt, and Ctrl without AltGr, make typed text a key combination.
TEST(SdlKeys, TypingSilencedByTheLeftAltAndByCtrl) {
  const struct {
    uint32_t mod;
    bool silenced;
  } cases[] = {
      {KMOD_LALT, true},
      {KMOD_LALT | KMOD_LSHIFT, true},
      {KMOD_RALT, false},
      {KMOD_MODE, false},
      {KMOD_SHIFT | KMOD_CAPS, false},
      {KMOD_NONE, false},
      {KMOD_LCTRL, true},
      {KMOD_RCTRL | KMOD_SHIFT, true},
      {KMOD_LCTRL | KMOD_RALT, false},  // AltGr with Ctrl, as Windows reports AltGr
      {KMOD_RCTRL | KMOD_MODE, false},
      {KMOD_LCTRL | KMOD_LALT, true},
  };
  for (const auto& c : cases) EXPECT_EQ(typing_silenced(c.mod), c.silenced) << std::hex << c.mod;
}

TEST(SdlKeys, FunctionKeysForThePerson) {
  EXPECT_EQ(person_key(key_from_sdl(SDLK_F2, KMOD_NONE), modifiers_from_sdl(KMOD_NONE)), PersonKey::screenshot);
  EXPECT_EQ(person_key(key_from_sdl(SDLK_F5, KMOD_NONE), modifiers_from_sdl(KMOD_LCTRL)), PersonKey::restart);
  EXPECT_EQ(person_key(key_from_sdl(SDLK_F11, KMOD_NONE), modifiers_from_sdl(KMOD_RALT)), PersonKey::fullscreen);
  EXPECT_EQ(person_key(key_from_sdl(SDLK_F5, KMOD_NONE), modifiers_from_sdl(KMOD_LALT)), PersonKey::none);
  EXPECT_EQ(person_key(key_from_sdl(SDLK_F1, KMOD_NONE), modifiers_from_sdl(KMOD_NONE)), PersonKey::none);
}

}  // namespace
}  // namespace quill
