#include "app/sdl_keys.h"

#include <SDL_keyboard.h>

namespace quill {

Key key_from_sdl(int32_t keycode) {
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
  return KeyModifiers{(modifiers & KMOD_CTRL) != 0, (modifiers & KMOD_SHIFT) != 0, typing_with_alt(modifiers)};
}

bool typing_with_alt(uint32_t modifiers) { return (modifiers & KMOD_LALT) != 0; }

}  // namespace quill
