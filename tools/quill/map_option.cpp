#include "tools/quill/map_option.h"

#include "codec/machine_memory.h"
#include "tools/asm/lexer.h"
#include "tools/quill/cli.h"

namespace quill::cli {

namespace {

// A number token alone on the line, as the assembler lexes it.
bool assembler_number(const std::string& text, uint64_t& out) {
  const as::LexResult lexed = as::lex_line(text);
  if (!lexed.ok || lexed.tokens.size() != 2 || lexed.tokens[0].kind != as::Token::number) return false;
  out = static_cast<uint64_t>(lexed.tokens[0].value);
  return true;
}

}  // namespace

bool read_map_file(const std::string& path, SourceMap& map, std::string& error) {
  std::string text;
  if (!read_text_file(path, text, error)) return false;
  if (source_map_from_json(text, map, error)) return true;
  error = path + ": " + error;
  return false;
}

bool parse_code_address(const std::string& text, const SourceMap* map, uint64_t& address, std::string& error) {
  uint64_t value = 0;
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
    if (assembler_number(text, value) && value < kMemoryTrytes) {
      address = value;
      return true;
    }
    error = "'" + text + "' is not an address from 0 to 63999999";
    return false;
  }
  if (map == nullptr) {
    error = "'" + text + "' is not a number; labels and FILE:LINE need --map";
    return false;
  }
  for (const AsmLabel& label : map->labels) {
    if (label.name == text) {
      address = label.address;
      return true;
    }
  }
  const size_t colon = text.rfind(':');
  uint64_t line = 0;
  if (colon != std::string::npos && parse_count(text.substr(colon + 1), UINT32_MAX, line)) {
    if (source_map_line_address(*map, text.substr(0, colon), static_cast<uint32_t>(line), value)) {
      address = value;
      return true;
    }
    error = "no instruction comes from " + text;
    return false;
  }
  error = "no label '" + text + "' in the map";
  return false;
}

std::string map_name_suffix(const SourceMap* map, uint64_t address) {
  if (map == nullptr) return "";
  std::string name = source_map_name(*map, address);
  return name.empty() ? name : " " + name;
}

}  // namespace quill::cli
