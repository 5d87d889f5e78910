#include "app/key_translation.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill {
namespace {

KeyPress press(Key key, bool ctrl = false, bool shift = false, bool alt = false) {
  return translate_key_press(key, KeyModifiers{ctrl, shift, alt});
}

TEST(KeyPress, SpecialKeysGiveTheirCodesWhateverCtrlAndShift) {
  struct Case {
    Key key;
    int64_t code;
  } cases[] = {
      {Key::enter, 100}, {Key::backspace, 101}, {Key::left, 102}, {Key::right, 103}, {Key::up, 104},  {Key::down, 105},
      {Key::del, 106},   {Key::escape, 107},    {Key::home, 108}, {Key::end, 109},   {Key::tab, 112},
  };
  for (const Case& c : cases) {
    for (bool ctrl : {false, true}) {
      const KeyPress p = press(c.key, ctrl, c.key == Key::enter ? false : true);
      EXPECT_EQ(p.action, KeyAction::push);
      EXPECT_EQ(p.code, c.code) << static_cast<int>(c.key) << " ctrl " << ctrl;
    }
  }
  EXPECT_EQ(press(Key::enter, false, true).code, 113);  // Shift+Enter
  EXPECT_EQ(press(Key::enter, true, true).code, 113);   // Ctrl+Shift+Enter
  EXPECT_EQ(press(Key::tab, false, true).code, 112);    // Shift+Tab
}

TEST(KeyPress, CtrlLettersSAndDOnly) {
  EXPECT_EQ(press(Key::letter_s, true).code, 110);
  EXPECT_EQ(press(Key::letter_d, true).code, 111);
  EXPECT_EQ(press(Key::letter_s, true, true).code, 110);
  EXPECT_EQ(press(Key::letter_s).action, KeyAction::ignored);  // plain S is typed text
  EXPECT_EQ(press(Key::other, true).action, KeyAction::ignored);
}

TEST(KeyPress, F12StopsAndSystemKeysAreIgnored) {
  EXPECT_EQ(press(Key::f12).action, KeyAction::stop);
  EXPECT_EQ(press(Key::f12, true, true).action, KeyAction::stop);
  EXPECT_EQ(press(Key::f12).code, kNoKeyCode);
  EXPECT_EQ(press(Key::f10).action, KeyAction::ignored);
  EXPECT_EQ(press(Key::enter, false, false, true).action, KeyAction::ignored);  // Alt+Enter
  EXPECT_EQ(press(Key::letter_s, true, false, true).action, KeyAction::ignored);
  EXPECT_EQ(press(Key::f12, false, false, true).action, KeyAction::ignored);  // Alt+F12
}

TEST(TypedText, PrintableCharactersGiveTheirCharacterCodes) {
  EXPECT_EQ(translate_typed_unit(u'a'), 60);
  EXPECT_EQ(translate_typed_unit(u'A'), 28);
  EXPECT_EQ(translate_typed_unit(u' '), 0);
  EXPECT_EQ(translate_typed_unit(u'~'), 89);
  EXPECT_EQ(translate_typed_unit(u'\u201C'), 92);
  for (char16_t none : {u'#', u'$', u'%', u'&', u'@', u'\x7f', u'\u00e9', u'\u00c4'}) {
    EXPECT_EQ(translate_typed_unit(none), kNoKeyCode) << static_cast<int>(none);
  }
  for (char16_t control = 0; control < 32; ++control) EXPECT_EQ(translate_typed_unit(control), kNoKeyCode);
}

std::vector<int64_t> typed(const char* utf8, size_t capacity = 32) {
  std::vector<int64_t> codes(capacity, -7);
  codes.resize(translate_typed_text(utf8, codes.data(), capacity));
  return codes;
}

TEST(TypedText, Utf8IsDecodedIntoUnitsAndUnitsWithoutCodesDrop) {
  EXPECT_EQ(typed("a"), (std::vector<int64_t>{60}));
  EXPECT_EQ(typed("aA ~"), (std::vector<int64_t>{60, 28, 0, 89}));
  EXPECT_EQ(typed("\xE2\x80\x9C"), (std::vector<int64_t>{92}));  // a curly quote, three bytes
  EXPECT_EQ(typed("#@\xC3\xA9\x7F"), (std::vector<int64_t>{}));  // no codes, e acute, DEL
  EXPECT_EQ(typed("\xF0\x9F\x98\x80"
                  "a"),
            (std::vector<int64_t>{60}));  // beyond 16 bits: surrogates
  EXPECT_EQ(typed("a\tb\r"), (std::vector<int64_t>{60, 61}));
}

TEST(TypedText, MalformedUtf8CostsOneByteAndNeverReadsPastTheEnd) {
  EXPECT_EQ(typed("\x80"
                  "a"),
            (std::vector<int64_t>{60}));                   // stray continuation byte
  EXPECT_EQ(typed("\xE2\x80"), (std::vector<int64_t>{}));  // cut short by the NUL
  EXPECT_EQ(typed("\xE2\x80"
                  "a"),
            (std::vector<int64_t>{60}));
  EXPECT_EQ(typed("\xC1\xA1"
                  "a"),
            (std::vector<int64_t>{60}));  // overlong 'a' is not an 'a'
  EXPECT_EQ(typed("\xED\xA0\x80"
                  "a"),
            (std::vector<int64_t>{60}));  // an encoded surrogate
  EXPECT_EQ(typed("\xFF"
                  "a"),
            (std::vector<int64_t>{60}));
}

TEST(TypedText, StopsAtTheCapacity) {
  EXPECT_EQ(typed("abc", 2), (std::vector<int64_t>{60, 61}));
  EXPECT_EQ(typed("abc", 0), (std::vector<int64_t>{}));
}

}  // namespace
}  // namespace quill
