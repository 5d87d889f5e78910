#include "app/person_keys.h"

#include <gtest/gtest.h>

#include <string>

#include "app/screenshot_name.h"

namespace quill {
namespace {

// The person's keys act whatever Ctrl and Shift, never with Alt, and give the
// machine nothing; every other key is left to the machine's translation.
TEST(PersonKeys, F2F5AndF11AreThePersonsAndReachNoProgram) {
  const struct {
    Key key;
    PersonKey expected;
  } cases[] = {
      {Key::f2, PersonKey::screenshot}, {Key::f5, PersonKey::restart}, {Key::f11, PersonKey::fullscreen},
      {Key::f12, PersonKey::none},      {Key::f10, PersonKey::none},   {Key::enter, PersonKey::none},
      {Key::letter_s, PersonKey::none}, {Key::other, PersonKey::none},
  };
  for (const auto& c : cases) {
    for (const KeyModifiers modifiers : {KeyModifiers{}, KeyModifiers{true, false, false},
                                         KeyModifiers{false, true, false}, KeyModifiers{true, true, false}}) {
      EXPECT_EQ(person_key(c.key, modifiers), c.expected) << static_cast<int>(c.key);
      if (c.expected != PersonKey::none) {
        EXPECT_EQ(translate_key_press(c.key, modifiers).action, KeyAction::ignored) << static_cast<int>(c.key);
      }
    }
    EXPECT_EQ(person_key(c.key, KeyModifiers{false, false, true}), PersonKey::none) << static_cast<int>(c.key);
  }
}

TEST(ScreenshotName, DateAndTimeThenANumberWhenTaken) {
  const CalendarTime december{2026, 12, 7, 16, 45, 12};
  const struct {
    CalendarTime time;
    uint32_t attempt;
    const char* name;  // null: refused
  } cases[] = {
      {december, 0, "quillomar-20261207-164512.png"},
      {december, 1, "quillomar-20261207-164512-2.png"},
      {december, kScreenshotAttempts - 1, "quillomar-20261207-164512-100.png"},
      {{2027, 1, 1, 0, 0, 0}, 0, "quillomar-20270101-000000.png"},
      {{9999, 12, 31, 23, 59, 60}, 0, "quillomar-99991231-235960.png"},  // a leap second
      {{10000, 1, 1, 0, 0, 0}, 0, nullptr},
      {{2026, 13, 1, 0, 0, 0}, 0, nullptr},
      {{2026, 1, 0, 0, 0, 0}, 0, nullptr},
      {{2026, 1, 1, 24, 0, 0}, 0, nullptr},
      {{2026, 1, 1, 0, -1, 0}, 0, nullptr},
  };
  for (const auto& c : cases) {
    char name[kScreenshotNameCapacity] = "untouched";
    EXPECT_EQ(screenshot_name(c.time, c.attempt, name), c.name != nullptr);
    EXPECT_EQ(std::string(name), c.name != nullptr ? c.name : "untouched");
  }
}

}  // namespace
}  // namespace quill
