#include "tools/catalogue/catalogue.h"

#include <cstdio>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "cpu/opcode.h"
#include "host/color.h"
#include "host/host_calls.h"
#include "host/key_codes.h"
#include "tools/asm/keywords.h"

namespace quill::catalogue {
namespace {

constexpr char kWrittenBy[] =
    "; Written by quill_catalogue; do not edit. To change it, change the list and run\n"
    ";   cmake --build --preset release --target catalogue\n";

// "NAME = VALUE", the value in a column of its own and an optional comment after.
std::string constant(const std::string& name, long long value, const std::string& comment) {
  char line[256];
  std::snprintf(line, sizeof line, "%-24s= %-8lld", name.c_str(), value);
  std::string out(line);
  if (!comment.empty()) out += "; " + comment;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out + "\n";
}

const char* title_of(HostGroup group) {
  for (const HostGroupInfo& g : kHostGroups) {
    if (g.group == group) return g.title;
  }
  return "";
}

std::string call_comment(const HostCallInfo& call) {
  std::string arguments = call.arguments[0] != '\0' ? call.arguments : "no arguments";
  return arguments + " -> " + call.result;
}

struct Hue {
  int32_t u;
  int32_t v;
  const char* name;
};

// The red-green and yellow-blue corners and middles, in the order of their codes'
// digits (-9, 0, 9 for U, then for V).
constexpr Hue kHues[] = {
    {-9, -9, "AZURE"}, {-9, 0, "GREEN"},  {-9, 9, "LIME"}, {0, -9, "BLUE"},  {0, 0, "GRAY"},
    {0, 9, "YELLOW"},  {9, -9, "PURPLE"}, {9, 0, "RED"},   {9, 9, "ORANGE"},
};

struct Luma {
  int32_t l;
  const char* prefix;
};

constexpr Luma kLumas[] = {{-5, "DARK_"}, {0, ""}, {5, "LIGHT_"}};

std::string color_constant(const std::string& name, TernaryColor color) {
  char comment[64];
  std::snprintf(comment, sizeof comment, "(%d, %d, %d) #%06X", color.l, color.u, color.v, color_rgb(color));
  return constant("COLOR_" + name, color_code(color), comment);
}

std::string cell(const std::string& text) { return text.empty() ? " |" : " " + text + " |"; }

std::string call_table(HostGroup group) {
  std::string out = "| call | name | arguments | result | fails when |\n|---|---|---|---|---|\n";
  for (const HostCallInfo& call : kHostCalls) {
    if (call.group != group) continue;
    out += "| " + std::to_string(call.number) + " | `" + assembler_name(call.name) + "` |" + cell(call.arguments) +
           cell(call.result) + cell(call.fails) + "\n";
  }
  return out;
}

// "ctrl_s" as a person names the key: "Ctrl+S".
std::string key_label(const char* name) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '_') out[i] = '+';
    if ((i == 0 || out[i - 1] == '+') && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  }
  return out;
}

// "ctrl_s" as `quill run --keys` writes it: "{ctrl-s}".
std::string key_script(const char* name) {
  std::string out(name);
  for (char& c : out) {
    if (c == '_') c = '-';
  }
  return "{" + out + "}";
}

std::string key_table() {
  std::string out =
      "| key | code | name in keys.tasm | in `quill run --keys` |\n|---|---|---|---|\n"
      "| a character | its character code, 0 … 93 (`' '` 0, `'0'` 12, `'A'` 28, `'a'` 60) | compare with `'a'` | "
      "itself, or `{N}` |\n";
  for (const KeyCodeInfo& key : kKeyCodes) {
    out += "| " + key_label(key.name) + " | " + std::to_string(key.code) + " | `KEY_" + assembler_name(key.name) +
           "` | `" + key_script(key.name) + "` |\n";
  }
  return out;
}

bool group_named(const std::string& prefix, HostGroup& group) {
  for (const HostGroupInfo& g : kHostGroups) {
    if (prefix == g.prefix) return group = g.group, true;
  }
  return false;
}

// A word where a statement starts: at the beginning of a line or after a label's
// colon. Labels and constants may share a mnemonic's name, so a word elsewhere on
// the line is an operand.
constexpr char kStatementStart[] = "(?i)(?:^|(?<=:))\\s*(";
constexpr char kWordEnd[] = ")(?![\\w.])";

std::string alternation(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : "|") + name;
  return out;
}

std::string instruction_words() {
  std::vector<std::string> names;
  for (const Instruction& i : kInstructions) names.emplace_back(i.mnemonic);
  for (const as::WordInfo& w : as::kWords) {
    if (as::is_pseudo_instruction(w.word)) continue;
    names.push_back(w.word == as::Word::lit ? std::string(w.name) + "(?:\\.[0-9])?" : w.name);
  }
  return kStatementStart + alternation(names) + kWordEnd;
}

std::string pseudo_instruction_words() {
  std::vector<std::string> names;
  for (const as::WordInfo& w : as::kWords) {
    if (as::is_pseudo_instruction(w.word)) names.emplace_back(w.name);
  }
  return kStatementStart + alternation(names) + kWordEnd;
}

std::string directive_words() {
  std::vector<std::string> names;
  for (const as::DirectiveInfo& d : as::kDirectives) names.emplace_back(d.name);
  return std::string(kStatementStart) + "\\.(?:" + alternation(names) + ")" + kWordEnd;
}

// Reserved names are case-sensitive, like every name.
std::string reserved_words() {
  const std::vector<std::string> names(std::begin(as::kReservedNames), std::end(as::kReservedNames));
  return "(?<![\\w.$])(?:" + alternation(names) + ")(?![\\w.])";
}

}  // namespace

std::string assembler_name(const char* name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string host_include() {
  std::string out =
      "; Host-call numbers by name, for `sys NAME, X, Y`: the group's prefix and the\n"
      "; call's name. docs/host-calls.md describes them; x and y are the two cells of\n"
      "; the argument block. Include this file once, from the main file.\n";
  out += kWrittenBy;
  for (size_t i = 0; i < std::size(kHostCalls); ++i) {
    const HostCallInfo& call = kHostCalls[i];
    if (i == 0 || kHostCalls[i - 1].group != call.group) out += std::string("\n; ") + title_of(call.group) + "\n";
    out += constant(assembler_name(call.name), call.number, call_comment(call));
  }
  return out;
}

std::string keys_include() {
  std::string out =
      "; Key codes by name, as KBD_TAKE gives them. A typed character comes as its\n"
      "; character code (0 .. 93): compare it with a character literal such as 'a'.\n"
      "; Include this file once, from the main file.\n";
  out += kWrittenBy;
  out += "\n";
  for (const KeyCodeInfo& key : kKeyCodes) out += constant("KEY_" + assembler_name(key.name), key.code, "");
  return out;
}

std::string colors_include() {
  std::string out =
      "; Colour values by name, for FB_SET_COLOR1, FB_SET_COLOR0 and FB_RECOLOR_PIXEL.\n"
      "; A colour has three components from -9 to 9: L luma (-9 black .. 9 white), U\n"
      "; red (+) or green (-), V yellow (+) or blue (-). Its code is\n"
      ";   COLOR_L * dL + COLOR_U * dU + dV\n"
      "; where a component c >= 0 has the digit c and a negative one the digit 10 - c.\n"
      "; In a colour value the digit COLOR_KEEP leaves its component as it was, and a\n"
      "; negative value negates the components it sets. The comments give each colour's\n"
      "; (L, U, V) and the RGB the window shows. The 27 base colours: luma -5 (DARK_),\n"
      "; 0 and 5 (LIGHT_), each with red-green and yellow-blue -9, 0 or 9.\n"
      "; Include this file once, from the main file.\n";
  out += kWrittenBy;
  out += "\n";
  out += constant("COLOR_L", 400, "");
  out += constant("COLOR_U", 20, "");
  out += constant("COLOR_KEEP", 10, "");
  out += "\n";
  out += color_constant("BLACK", kBlack);
  out += color_constant("WHITE", kWhite);
  for (const Luma& luma : kLumas) {
    out += "\n";
    for (const Hue& hue : kHues) out += color_constant(std::string(luma.prefix) + hue.name, {luma.l, hue.u, hue.v});
  }
  return out;
}

bool with_call_tables(const std::string& doc, std::string& out) {
  const std::string open = "<!-- calls: ";
  const std::string close = "<!-- end calls -->\n";
  std::string text;
  size_t at = 0;
  size_t groups = 0;
  for (size_t start = doc.find(open); start != std::string::npos; start = doc.find(open, at)) {
    const size_t line_end = doc.find(" -->\n", start);
    const size_t end = doc.find(close, start);
    HostGroup group = HostGroup::sys;
    if (line_end == std::string::npos || end == std::string::npos || line_end > end) return false;
    if (!group_named(doc.substr(start + open.size(), line_end - start - open.size()), group)) return false;
    text += doc.substr(at, line_end + 5 - at) + "\n" + call_table(group) + "\n" + close;
    at = end + close.size();
    groups += 1;
  }
  if (groups != std::size(kHostGroups)) return false;
  out = text + doc.substr(at);
  return true;
}

bool with_key_table(const std::string& doc, std::string& out) {
  const std::string open = "<!-- keys -->\n";
  const std::string close = "<!-- end keys -->\n";
  const size_t start = doc.find(open);
  const size_t end = start == std::string::npos ? start : doc.find(close, start);
  if (end == std::string::npos) return false;
  out = doc.substr(0, start + open.size()) + "\n" + key_table() + "\n" + doc.substr(end);
  return true;
}

bool with_grammar_words(const std::string& grammar, std::string& out) {
  using Json = nlohmann::ordered_json;
  Json root = Json::parse(grammar, nullptr, false);
  if (root.is_discarded() || !root.is_object() || !root.contains("repository")) return false;
  Json& repository = root["repository"];
  const std::pair<const char*, std::string> entries[] = {
      {"instructions", instruction_words()},
      {"pseudo-instructions", pseudo_instruction_words()},
      {"directives", directive_words()},
      {"reserved", reserved_words()},
  };
  for (const auto& [name, match] : entries) {
    if (!repository.is_object() || !repository.contains(name) || !repository[name].is_object()) return false;
  }
  for (const auto& [name, match] : entries) repository[name]["match"] = match;
  out = root.dump(2) + "\n";
  return true;
}

}  // namespace quill::catalogue
