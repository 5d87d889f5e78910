#include "app/person_keys.h"

namespace quill {

PersonKey person_key(Key key, KeyModifiers modifiers) {
  if (modifiers.alt) return PersonKey::none;
  switch (key) {
    case Key::f2:
      return PersonKey::screenshot;
    case Key::f5:
      return PersonKey::restart;
    case Key::f11:
      return PersonKey::fullscreen;
    default:
      return PersonKey::none;
  }
}

}  // namespace quill
