#include "app/sdl_keys.h"

#include <SDL_keyboard.h>

namespace quill {

namespace {

// The keypad's navigation keys, which SDL reports by their digit whatever NumLock says.
Key keypad_navigation(int32_t keycode) {
  switch (keycode) {
    case SDLK_KP_4:
      return Key::left;
    case SDLK_KP_6:
      return Key::right;
    case SDLK_KP_8:
      return Key::up;
    case SDLK_KP_2:
      return Key::down;
    case SDLK_KP_7:
      return Key::home;
    case SDLK_KP_1:
      return Key::end;
    case SDLK_KP_PERIOD:
    case SDLK_KP_DECIMAL:
      return Key::del;
    default:
      return Key::other;  // PgUp, PgDn, Insert and the centre key have no code
  }
}

}  // namespace

Key key_from_sdl(int32_t keycode, uint32_t modifiers) {
  if ((modifiers & KMOD_NUM) == 0) {
    const Key navigation = keypad_navigation(keycode);
    if (navigation != Key::other) return navigation;
  }
  switch (keycode) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return Key::enter;
    case SDLK_BACKSPACE:
      return Key::backspace;
    case SDLK_LEFT:
      return Key::left;
    case SDLK_RIGHT:
      return Key::right;
    case SDLK_UP:
      return Key::up;
    case SDLK_DOWN:
      return Key::down;
    case SDLK_DELETE:
      return Key::del;
    case SDLK_ESCAPE:
      return Key::escape;
    case SDLK_HOME:
      return Key::home;
    case SDLK_END:
      return Key::end;
    case SDLK_TAB:
      return Key::tab;
    case SDLK_s:
      return Key::letter_s;
    case SDLK_d:
      return Key::letter_d;
    case SDLK_F2:
      return Key::f2;
    case SDLK_F5:
      return Key::f5;
    case SDLK_F10:
      return Key::f10;
    case SDLK_F11:
      return Key::f11;
    case SDLK_F12:
      return Key::f12;
    default:
      return Key::other;
  }
}

KeyModifiers modifiers_from_sdl(uint32_t modifiers) {
  return KeyModifiers{(modifiers & KMOD_CTRL) != 0, (modifiers & KMOD_SHIFT) != 0, (modifiers & KMOD_LALT) != 0};
}

bool typing_silenced(uint32_t modifiers) {
  const bool alt_gr = (modifiers & (KMOD_RALT | KMOD_MODE)) != 0;  // the right Alt is AltGr on many layouts
  return (modifiers & KMOD_LALT) != 0 || ((modifiers & KMOD_CTRL) != 0 && !alt_gr);
}

}  // namespace quill
