#include "tools/asm/parser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "codec/charset.h"
#include "codec/tryte.h"
#include "tools/asm/keywords.h"
#include "tools/io/input_file.h"

namespace quill::as {

namespace {

// Bounds on what .include can pull in: a file that includes itself, or a tree of
// files that each include several others, would otherwise grow without end.
constexpr int kMaxIncludeDepth = 16;
constexpr size_t kMaxSourceLines = 250'000;   // every file, counted once per inclusion
constexpr size_t kMaxSourceBytes = 4u << 20;  // the same for their bytes
constexpr int kStackLimit = 19;

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool read_file(const std::string& path, std::string& out) {
  std::string ignored;  // the include search only needs to know that it failed
  return read_input_file(path, kTextInputLimitBytes, out, ignored);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

struct Parser {
  SourceProgram& program;
  std::vector<Diagnostic>& errors;
  const ParseOptions& options;
  std::unordered_map<std::string, SourceLocation> defined;
  std::vector<PoolBlock> pending_pool;
  uint8_t scratch = 19;
  uint8_t saved = 18;
  int depth = 0;
  size_t total_lines = 0;
  size_t total_bytes = 0;
  bool abandoned = false;  // a limit was hit: nothing more is read

  bool fail(SourceLocation where, std::string message) {
    errors.push_back({where, std::move(message)});
    return false;
  }

  bool define(const std::string& name, SourceLocation where) {
    for (const char* reserved : kReservedNames) {
      if (name == reserved) return fail(where, "'" + name + "' is a reserved word");
    }
    const auto [it, inserted] = defined.emplace(name, where);
    if (inserted) return true;
    const SourceLocation& first = it->second;
    std::string origin =
        first.line == 0 ? "on the command line" : "at " + program.files[first.file] + ":" + std::to_string(first.line);
    return fail(where, "'" + name + "' is already defined " + origin);
  }

  bool expression(TokenCursor& c, Expr& out) {
    Diagnostic error;
    if (!starts_expression(c)) return fail(c.location(), "expected an expression");
    if (parse_expression(c, out, error)) return true;
    return fail(error.where, error.message);
  }

  // Expressions separated by commas or spaces, up to the end of the line.
  bool expression_list(TokenCursor& c, std::vector<Expr>& out) {
    while (!c.at_end()) {
      Expr e;
      if (!expression(c, e)) return false;
      out.push_back(std::move(e));
      if (c.at_punct(',')) {
        ++c.at;
        if (c.at_end()) return fail(c.location(), "expected an expression after ','");
      } else if (!c.at_end() && !starts_expression(c)) {
        return fail(c.location(), "expected ',' or the end of the line");
      }
    }
    return true;
  }

  bool comma(TokenCursor& c) {
    if (!c.at_punct(',')) return fail(c.location(), "expected ','");
    ++c.at;
    return true;
  }

  bool line_end(TokenCursor& c) {
    if (c.at_end()) return true;
    return fail(c.location(), "unexpected text after the statement");
  }

  bool operand_count(const Statement& s, const std::string& mnemonic, size_t low, size_t high) {
    const size_t n = s.operands.size();
    if (n >= low && n <= high) return true;
    std::string wanted = low == high ? std::to_string(low) : std::to_string(low) + " to " + std::to_string(high);
    return fail(s.where, "'" + mnemonic + "' takes " + wanted + " operand" + (high == 1 ? "" : "s") + ", not " +
                             std::to_string(n));
  }

  bool string_operands(TokenCursor& c, std::string& out) {
    if (c.peek().kind != Token::string) return fail(c.location(), "expected a string in double quotes");
    while (c.peek().kind == Token::string) {
      out += c.peek().text;
      ++c.at;
      if (c.at_punct(',')) ++c.at;
    }
    return line_end(c);
  }

  bool raw_symbols(TokenCursor& c, Statement& s) {
    const SourceLocation where = c.location();
    std::string text;
    if (!string_operands(c, text)) return false;
    for (const char ch : text) {
      if (ch == ' ' || ch == '\t') continue;
      const uint8_t tv = symbol_value(static_cast<uint8_t>(ch));
      if (tv == kNoTryte) return fail(where, "'" + std::string(1, ch) + "' is not a tryte symbol");
      s.symbols.push_back(tv);
    }
    return true;
  }

  bool text_codes(TokenCursor& c, Statement& s) {
    const SourceLocation where = c.location();
    std::string text;
    if (!string_operands(c, text)) return false;
    for (size_t i = 0; i < text.size();) {
      char16_t ch = 0;
      if (!decode_utf8(text, i, ch)) return fail(where, "malformed UTF-8 in the string");
      const int code = code_of_character(ch);
      if (code == kNoCharacterCode) {
        char unicode[8];
        std::snprintf(unicode, sizeof unicode, "U+%04X", static_cast<unsigned>(ch));
        const std::string shown = ch < 0x80 && ch >= 0x20 ? "'" + std::string(1, static_cast<char>(ch)) + "'" : unicode;
        return fail(where, "character " + shown + " has no character code");
      }
      s.symbols.push_back(static_cast<uint8_t>(code));
    }
    return true;
  }

  bool small_number(const Expr& e, uint8_t& out) {
    if (e.nodes.size() != 1 || e.nodes[0].kind != ExprNode::number || e.nodes[0].value > kStackLimit) {
      return fail(e.where, ".scratch takes two stack numbers from 0 to 19");
    }
    out = static_cast<uint8_t>(e.nodes[0].value);
    return true;
  }

  bool scratch_directive(TokenCursor& c, const Statement& s) {
    std::vector<Expr> operands;
    if (!expression_list(c, operands)) return false;
    if (operands.size() != 2) return fail(s.where, ".scratch takes two stack numbers from 0 to 19");
    uint8_t t = 0, a = 0;
    if (!small_number(operands[0], t) || !small_number(operands[1], a)) return false;
    if (t == a) return fail(s.where, "the two scratch stacks must differ");
    scratch = t;
    saved = a;
    return true;
  }

  bool include_directive(TokenCursor& c, const Statement& s) {
    std::string name;
    if (!string_operands(c, name)) return false;
    std::vector<std::string> candidates{folder_of(program.files[s.where.file]) + name};
    if (!name.empty() && name[0] == '/')
      candidates = {name};
    else
      for (const std::string& dir : options.include_dirs) candidates.push_back(dir + "/" + name);
    for (const std::string& path : candidates) {
      std::string text;
      if (read_file(path, text)) {
        if (depth >= kMaxIncludeDepth) {
          abandoned = true;
          return fail(s.where, "includes nest too deeply (does a file include itself?)");
        }
        return parse_text(path, text, s.where);
      }
    }
    return fail(s.where, "cannot open the include file '" + name + "'");
  }

  bool directive(TokenCursor& c, Statement& s) {
    const std::string name = lower(c.peek().text);
    ++c.at;
    const DirectiveInfo* found = nullptr;
    for (const DirectiveInfo& d : kDirectives) {
      if (name == d.name) found = &d;
    }
    if (found == nullptr) return fail(s.where, "unknown directive '." + name + "'");
    switch (found->directive) {
      case Directive::org:
      case Directive::zero:
        s.kind = found->directive == Directive::org ? StatementKind::org : StatementKind::zero;
        return expression(c, s.target) && line_end(c);
      case Directive::equ:
        if (c.peek().kind != Token::identifier) return fail(c.location(), "expected a name after .equ");
        s.kind = StatementKind::constant;
        s.name = c.peek().text;
        ++c.at;
        return comma(c) && expression(c, s.target) && line_end(c) && define(s.name, s.where);
      case Directive::cell:
      case Directive::packed:
        s.kind = found->directive == Directive::cell ? StatementKind::cells : StatementKind::packed;
        if (!expression_list(c, s.operands)) return false;
        return !s.operands.empty() || fail(s.where, "." + name + " needs at least one value");
      case Directive::raw:
        return s.kind = StatementKind::raw, raw_symbols(c, s);
      case Directive::text:
        return s.kind = StatementKind::text, text_codes(c, s);
      case Directive::pool:
        s.kind = StatementKind::pool;
        s.blocks = std::move(pending_pool);
        pending_pool.clear();
        return line_end(c);
      // .include and .scratch leave no statement of their own (the kind stays `label`).
      case Directive::include:
        return include_directive(c, s);
      case Directive::scratch:
        return scratch_directive(c, s);
    }
    return false;
  }

  bool stack_instruction(TokenCursor& c, Statement& s, const std::string& m, OpKind op) {
    s.kind = StatementKind::instruction;
    s.op = op;
    const auto count = static_cast<size_t>(op_info(op).operands);
    return expression_list(c, s.operands) && operand_count(s, m, count, count);
  }

  bool literal(TokenCursor& c, Statement& s, const std::string& m) {
    s.kind = StatementKind::literal;
    if (m.size() > 4) {
      const std::string width = m.substr(4);
      if (width.size() != 1 || !std::isdigit(static_cast<unsigned char>(width[0]))) {
        return fail(s.where, "a literal's digit count must be 0 to 9, as in lit.3");
      }
      s.literal_digits = width[0] - '0';
    }
    if (!expression_list(c, s.operands) || !operand_count(s, "lit", 1, 1)) return false;
    s.target = std::move(s.operands[0]);
    s.operands.clear();
    return true;
  }

  bool branch(TokenCursor& c, Statement& s, Condition condition) {
    s.kind = StatementKind::branch;
    s.condition = condition;
    if (!expression(c, s.target) || !comma(c)) return false;
    if (c.at_punct('#')) {
      ++c.at;
      s.comparand_immediate = true;
    }
    return expression(c, s.argument) && line_end(c);
  }

  bool subroutine(TokenCursor& c, Statement& s) {
    s.kind = StatementKind::subroutine;
    if (!expression(c, s.target)) return false;
    s.argument_kind = ArgumentKind::acc;
    if (c.at_end()) return true;
    s.argument_kind = ArgumentKind::value;
    return comma(c) && expression(c, s.argument) && line_end(c);
  }

  bool host_call(TokenCursor& c, Statement& s) {
    s.kind = StatementKind::host_call;
    if (!expression(c, s.target)) return false;
    if (c.at_end()) return true;
    if (!comma(c)) return false;
    if (c.peek().kind == Token::identifier && c.peek().text == "acc") {
      ++c.at;
      s.argument_kind = ArgumentKind::acc;
      return line_end(c);
    }
    s.argument_kind = ArgumentKind::value;
    if (!expression(c, s.argument)) return false;
    if (c.at_end()) return true;
    PoolBlock block;
    block.name = "pool#" + std::to_string(program.statements.size());
    block.x = std::move(s.argument);
    if (!comma(c) || !expression(c, block.y) || !line_end(c)) return false;
    s.argument_kind = ArgumentKind::block;
    s.argument = Expr{{ExprNode{ExprNode::symbol, 0, block.name, s.where}}, s.where};
    pending_pool.push_back(std::move(block));
    return true;
  }

  bool instruction(TokenCursor& c, Statement& s) {
    const std::string m = lower(c.peek().text);
    ++c.at;
    s.scratch = scratch;
    s.saved = saved;
    for (const Instruction& i : kInstructions) {
      if (m == i.mnemonic) return stack_instruction(c, s, m, i.kind);
    }
    const bool sized_literal = m.rfind("lit.", 0) == 0;
    for (const WordInfo& w : kWords) {
      if (m != w.name && !(sized_literal && w.word == Word::lit)) continue;
      switch (w.word) {
        case Word::halt:
          return stack_instruction(c, s, m, op_return);
        case Word::lit:
          return literal(c, s, m);
        case Word::nil:
          s.kind = StatementKind::literal;
          s.target = Expr{{ExprNode{ExprNode::nil, 0, "", s.where}}, s.where};
          return line_end(c);
        case Word::jump:
          return s.kind = StatementKind::jump, expression(c, s.target) && line_end(c);
        case Word::branch:
          return branch(c, s, w.condition);
        case Word::subroutine:
          return subroutine(c, s);
        case Word::host_call:
          return host_call(c, s);
      }
    }
    return fail(s.where, "unknown instruction '" + m + "'");
  }

  // Labels, then at most one statement.
  void parse_line(uint32_t file, uint32_t line_number, const std::string& line) {
    const LexResult lexed = lex_line(line);
    if (!lexed.ok) {
      fail({file, line_number, lexed.error_column}, lexed.error);
      return;
    }
    TokenCursor c{lexed.tokens, 0, file, line_number};
    while (c.peek().kind == Token::identifier && c.tokens[c.at + 1].kind == Token::punctuation &&
           c.tokens[c.at + 1].punct == ':') {
      Statement label;
      label.kind = StatementKind::label;
      label.where = c.location();
      label.name = c.peek().text;
      c.at += 2;
      if (define(label.name, label.where)) program.statements.push_back(std::move(label));
    }
    if (c.at_end()) return;
    Statement s;
    s.where = c.location();
    bool ok = false;
    if (c.peek().kind == Token::directive) {
      ok = directive(c, s);
    } else if (c.peek().kind == Token::identifier && c.tokens[c.at + 1].kind == Token::punctuation &&
               c.tokens[c.at + 1].punct == '=') {
      s.kind = StatementKind::constant;
      s.name = c.peek().text;
      c.at += 2;
      ok = expression(c, s.target) && line_end(c) && define(s.name, s.where);
    } else if (c.peek().kind == Token::identifier) {
      ok = instruction(c, s);
    } else {
      ok = fail(s.where, "expected a label, an instruction or a directive");
    }
    if (ok && s.kind != StatementKind::label) program.statements.push_back(std::move(s));
  }

  // False (reported at `where`, the .include or nowhere for the main file) when
  // `text` would take the source past its limits.
  bool within_limits(const std::string& text, SourceLocation where) {
    total_lines += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.back() != '\n') ++total_lines;
    total_bytes += text.size();
    if (total_lines <= kMaxSourceLines && total_bytes <= kMaxSourceBytes) return true;
    abandoned = true;
    const std::string limit = total_lines > kMaxSourceLines ? std::to_string(kMaxSourceLines) + " lines"
                                                            : std::to_string(kMaxSourceBytes >> 20) + " MiB";
    return fail(where, "the source with its includes runs past " + limit);
  }

  bool parse_text(const std::string& path, const std::string& text, SourceLocation where) {
    if (!within_limits(text, where)) return false;
    const auto file = static_cast<uint32_t>(program.files.size());
    program.files.push_back(path);
    program.file_lines.push_back(split_lines(text));
    ++depth;
    const size_t errors_before = errors.size();
    // An .include appends to file_lines, so each line is copied out by index.
    for (size_t i = 0; i < program.file_lines[file].size() && !abandoned; ++i) {
      const std::string line = program.file_lines[file][i];
      parse_line(file, static_cast<uint32_t>(i + 1), line);
    }
    --depth;
    return errors.size() == errors_before;
  }
};

}  // namespace

bool parse_program(const std::string& path, const std::string* text, const ParseOptions& options,
                   SourceProgram& program, std::vector<Diagnostic>& errors) {
  Parser parser{program, errors, options, {}, {}, 19, 18, 0, 0, 0, false};
  for (const std::string& name : options.predefined) (void)parser.define(name, {});
  std::string contents;
  if (text == nullptr && !read_file(path, contents)) {
    errors.push_back({{}, "cannot read the source file '" + path + "'"});
    return false;
  }
  const size_t before = errors.size();
  (void)parser.parse_text(path, text != nullptr ? *text : contents, {});
  if (!parser.pending_pool.empty()) {
    Statement pool;
    pool.kind = StatementKind::pool;
    pool.where = {0, static_cast<uint32_t>(program.file_lines[0].size() + 1), 1};
    pool.blocks = std::move(parser.pending_pool);
    program.statements.push_back(std::move(pool));
  }
  return errors.size() == before;
}

}  // namespace quill::as
