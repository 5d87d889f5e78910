// The character table: text in memory is one cell per character holding a
// code 0..93 into this table of UTF-16 characters.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr int kCharacterCount = 94;
inline constexpr int kNoCharacterCode = -1;

// The UTF-16 character of `code`, which must be 0..93.
[[nodiscard]] char16_t character_of_code(int code);

// The code of a UTF-16 character, or kNoCharacterCode when the table lacks it
// (for example "#", "$", "%", "&", "@" and every control character).
[[nodiscard]] int code_of_character(char16_t character);

}  // namespace quill
