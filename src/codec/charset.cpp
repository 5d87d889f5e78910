#include "codec/charset.h"

#include <array>
#include <cstddef>

namespace quill {

namespace {
constexpr std::array<char16_t, kCharacterCount> character_table() {
  std::array<char16_t, kCharacterCount> t{};
  int code = 0;
  t[code++] = u' ';
  t[code++] = u'!';
  t[code++] = u'"';
  for (char16_t c = u'\''; c <= u'?'; ++c) t[code++] = c;
  for (char16_t c = u'A'; c <= u'~'; ++c) t[code++] = c;
  t[code++] = u'\u2018';
  t[code++] = u'\u2019';
  t[code++] = u'\u201C';
  t[code++] = u'\u201D';
  return t;
}
constexpr auto kCharacterTable = character_table();
static_assert(kCharacterTable[10] == u'.' && kCharacterTable[28] == u'A' && kCharacterTable[89] == u'~');
}  // namespace

char16_t character_of_code(int code) { return kCharacterTable[static_cast<size_t>(code)]; }

int code_of_character(char16_t character) {
  if (character >= u' ' && character <= u'~') {
    // Printable ASCII: the table is in order apart from the five characters it skips.
    if (character == u'"') return 2;
    if (character < u'\'') return character == u' ' ? 0 : character == u'!' ? 1 : kNoCharacterCode;
    if (character <= u'?') return 3 + (character - u'\'');
    if (character == u'@') return kNoCharacterCode;
    return 28 + (character - u'A');
  }
  switch (character) {
    case u'\u2018':
      return 90;
    case u'\u2019':
      return 91;
    case u'\u201C':
      return 92;
    case u'\u201D':
      return 93;
    default:
      return kNoCharacterCode;
  }
}

}  // namespace quill
