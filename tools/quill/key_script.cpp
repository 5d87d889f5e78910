#include "tools/quill/key_script.h"

#include "codec/charset.h"
#include "host/key_codes.h"

namespace quill::cli {

namespace {

// A key's name in braces: its name in the key-code list with "-" for "_".
bool key_named(const std::string& name, const char* listed) {
  size_t i = 0;
  for (; listed[i] != '\0'; ++i) {
    if (i >= name.size() || name[i] != (listed[i] == '_' ? '-' : listed[i])) return false;
  }
  return i == name.size();
}

bool key_in_braces(const std::string& name, int64_t& code) {
  if (name == "esc") return code = kKeyEscape, true;
  for (const KeyCodeInfo& k : kKeyCodes) {
    if (key_named(name, k.name)) return code = k.code, true;
  }
  if (name.empty() || name.size() > 3) return false;
  int64_t v = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > kLastKeyCode || (v >= kCharacterCount && v < kFirstSpecialKey)) return false;
  code = v;
  return true;
}

// One UTF-8 character starting at `i` (up to three bytes, enough for the table)
// into `unit`; advances `i`. False for a malformed sequence.
bool next_utf16(const std::string& s, size_t& i, char16_t& unit) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  size_t n = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : 0;
  if (n == 0 || i + n > s.size()) return false;
  uint32_t v = n == 1 ? b0 : n == 2 ? (b0 & 0x1Fu) : (b0 & 0x0Fu);
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    v = (v << 6) | (b & 0x3Fu);
  }
  i += n;
  unit = static_cast<char16_t>(v);
  return true;
}

}  // namespace

bool fail(std::string& error, const std::string& what, size_t offset) {
  error = what;
  error += " at offset ";
  error += std::to_string(offset);
  return false;
}

bool parse_key_script(const std::string& script, std::vector<int64_t>& codes, std::string& error) {
  std::vector<int64_t> out;
  size_t i = 0;
  while (i < script.size()) {
    const size_t at = i;
    const char c = script[i];
    if (c == '\r') {
      ++i;
    } else if (c == '\n' || c == '\t') {
      out.push_back(c == '\n' ? kKeyEnter : kKeyTab);
      ++i;
    } else if (c == '{' && i + 1 < script.size() && script[i + 1] == '{') {
      out.push_back(code_of_character(u'{'));
      i += 2;
    } else if (c == '{') {
      const size_t close = script.find('}', i);
      int64_t code = 0;
      if (close == std::string::npos) return fail(error, "unclosed '{'", at);
      if (!key_in_braces(script.substr(i + 1, close - i - 1), code)) {
        return fail(error, "unknown key '" + script.substr(i, close - i + 1) + "'", at);
      }
      out.push_back(code);
      i = close + 1;
    } else {
      char16_t unit = 0;
      if (!next_utf16(script, i, unit)) return fail(error, "malformed UTF-8", at);
      const int code = code_of_character(unit);
      if (code == kNoCharacterCode) return fail(error, "no key code for '" + script.substr(at, i - at) + "'", at);
      out.push_back(code);
    }
  }
  codes = std::move(out);
  return true;
}

}  // namespace quill::cli
