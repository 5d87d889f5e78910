// Splits one source line into tokens. Comments run from ";" to the end of the line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill::as {

struct Token {
  enum Kind : uint8_t { identifier, directive, number, character, string, punctuation, end };
  Kind kind = end;
  std::string text;   // identifier or directive name (directive without its "."), string contents
  int64_t value = 0;  // number; character: its character code
  char punct = 0;     // one of : , = + - * / % ( ) # $
  uint32_t column = 0;
};

struct LexResult {
  std::vector<Token> tokens;  // always ends with an `end` token
  bool ok = true;
  uint32_t error_column = 0;
  std::string error;
};

// Tokenises `line`. On failure `ok` is false and error/error_column say why.
[[nodiscard]] LexResult lex_line(const std::string& line);

// Decodes one UTF-8 character at `text[i]` into `out` and advances `i`; false for
// bytes that are not well-formed UTF-8 or characters beyond 16 bits.
[[nodiscard]] bool decode_utf8(const std::string& text, size_t& i, char16_t& out);

}  // namespace quill::as
