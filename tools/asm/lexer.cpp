#include "tools/asm/lexer.h"

#include <cctype>

#include "codec/charset.h"

namespace quill::as {

namespace {

bool identifier_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool identifier_part(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

// The character in single quotes, for messages.
std::string quoted(char c) {
  std::string s(3, '\'');
  s[1] = c;
  return s;
}

struct Lexer {
  const std::string& line;
  size_t i = 0;
  LexResult result;

  bool fail(size_t at, std::string message) {
    result.ok = false;
    result.error_column = static_cast<uint32_t>(at + 1);
    result.error = std::move(message);
    return false;
  }

  bool number(Token& t) {
    const size_t start = i;
    int base = 10;
    if (line[i] == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X')) {
      base = 16;
      i += 2;
    }
    uint64_t v = 0;
    size_t digits = 0;
    for (; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '_') continue;
      int d = -1;
      if (std::isdigit(static_cast<unsigned char>(c)))
        d = c - '0';
      else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
        d = std::tolower(c) - 'a' + 10;
      else if (identifier_part(c))
        return fail(i, quoted(c) + " is not a digit of this number");
      else
        break;
      if (v > (static_cast<uint64_t>(INT64_MAX) - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) {
        return fail(start, "number is too large");
      }
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      ++digits;
    }
    if (digits == 0) return fail(start, "number has no digits");
    t.kind = Token::number;
    t.value = static_cast<int64_t>(v);
    return true;
  }

  // One character of a quoted string or character literal, with \\ \" \' escapes.
  bool quoted_character(char16_t& out) {
    if (line[i] == '\\') {
      if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"' && line[i + 1] != '\'')) {
        return fail(i, "unknown escape; only \\\\, \\\" and \\' are known");
      }
      out = static_cast<char16_t>(line[i + 1]);
      i += 2;
      return true;
    }
    const size_t at = i;
    if (!decode_utf8(line, i, out)) return fail(at, "malformed UTF-8");
    return true;
  }

  bool character(Token& t) {
    const size_t start = i++;
    char16_t c = 0;
    if (i >= line.size() || line[i] == '\'') return fail(start, "empty character literal");
    if (!quoted_character(c)) return false;
    if (i >= line.size() || line[i] != '\'') return fail(start, "unterminated character literal");
    ++i;
    const int code = code_of_character(c);
    if (code == kNoCharacterCode) return fail(start + 1, "this character has no character code");
    t.kind = Token::character;
    t.value = code;
    return true;
  }

  bool string(Token& t) {
    const size_t start = i++;
    std::string text;
    while (i < line.size() && line[i] != '"') {
      if (line[i] == '\\') {
        char16_t c = 0;
        if (!quoted_character(c)) return false;
        text += static_cast<char>(c);
      } else {
        text += line[i++];
      }
    }
    if (i >= line.size()) return fail(start, "unterminated string");
    ++i;
    t.kind = Token::string;
    t.text = std::move(text);
    return true;
  }

  bool next(Token& t) {
    t.column = static_cast<uint32_t>(i + 1);
    const char c = line[i];
    if (identifier_start(c) || (c == '.' && i + 1 < line.size() && identifier_start(line[i + 1]))) {
      const size_t start = c == '.' ? i + 1 : i;
      i = start + 1;
      while (i < line.size() && identifier_part(line[i])) ++i;
      t.kind = c == '.' ? Token::directive : Token::identifier;
      t.text = line.substr(start, i - start);
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) return number(t);
    if (c == '\'') return character(t);
    if (c == '"') return string(t);
    static constexpr char kPunct[] = ":,=+-*/%()#$";
    for (const char* p = kPunct; *p != '\0'; ++p) {
      if (c == *p) {
        t.kind = Token::punctuation;
        t.punct = c;
        ++i;
        return true;
      }
    }
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      return fail(i, "unexpected character (byte " + std::to_string(static_cast<unsigned char>(c)) + ")");
    }
    return fail(i, "unexpected character " + quoted(c));
  }
};

}  // namespace

bool decode_utf8(const std::string& text, size_t& i, char16_t& out) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    out = b0;
    ++i;
    return true;
  }
  int extra = 0;
  uint32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1Fu;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0Fu;
  } else {
    return false;  // stray continuation byte, or a character beyond 16 bits
  }
  if (i + static_cast<size_t>(extra) >= text.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char b = byte(i + static_cast<size_t>(k));
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < (extra == 1 ? 0x80u : 0x800u)) return false;  // overlong form
  out = static_cast<char16_t>(cp);
  i += static_cast<size_t>(extra) + 1;
  return true;
}

LexResult lex_line(const std::string& line) {
  Lexer lexer{line, 0, {}};
  while (lexer.i < line.size()) {
    const char c = line[lexer.i];
    if (c == ';') break;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++lexer.i;
      continue;
    }
    Token t;
    if (!lexer.next(t)) return lexer.result;
    lexer.result.tokens.push_back(std::move(t));
  }
  Token end;
  end.column = static_cast<uint32_t>(line.size() + 1);
  lexer.result.tokens.push_back(end);
  return lexer.result;
}

}  // namespace quill::as
