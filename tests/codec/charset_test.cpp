#include "codec/charset.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(CharacterTable, CodesMapBothWaysWithoutDuplicates) {
  for (int code = 0; code < kCharacterCount; ++code) {
    EXPECT_EQ(code_of_character(character_of_code(code)), code) << code;
  }
  EXPECT_EQ(character_of_code(0), u' ');
  EXPECT_EQ(character_of_code(2), u'"');
  EXPECT_EQ(character_of_code(3), u'\'');
  EXPECT_EQ(character_of_code(10), u'.');
  EXPECT_EQ(character_of_code(27), u'?');
  EXPECT_EQ(character_of_code(28), u'A');
  EXPECT_EQ(character_of_code(89), u'~');
  EXPECT_EQ(character_of_code(90), u'\u2018');
  EXPECT_EQ(character_of_code(93), u'\u201D');
}

TEST(CharacterTable, CharactersOutsideTheTableHaveNoCode) {
  int with_code = 0;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (code_of_character(static_cast<char16_t>(c)) != kNoCharacterCode) ++with_code;
  }
  EXPECT_EQ(with_code, kCharacterCount);
  for (char16_t c : {u'#', u'$', u'%', u'&', u'@', u'\r', u'\t', u'\x7f', u'\u00e9'}) {
    EXPECT_EQ(code_of_character(c), kNoCharacterCode) << static_cast<int>(c);
  }
}

}  // namespace
}  // namespace quill
