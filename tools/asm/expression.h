// Expressions over numbers, character codes, symbols and the current address ($):
// + and - , * / and % (truncating), unary minus, parentheses, and `nil`, which
// stands only on its own.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tools/asm/lexer.h"
#include "tools/asm/source_model.h"

namespace quill::as {

struct Diagnostic {
  SourceLocation where;
  std::string message;
};

// Tokens of one line being parsed, and where the line is.
struct TokenCursor {
  const std::vector<Token>& tokens;
  size_t at = 0;
  uint32_t file = 0;
  uint32_t line = 0;

  [[nodiscard]] const Token& peek() const { return tokens[at]; }
  [[nodiscard]] bool at_punct(char c) const { return tokens[at].kind == Token::punctuation && tokens[at].punct == c; }
  [[nodiscard]] bool at_end() const { return tokens[at].kind == Token::end; }
  [[nodiscard]] SourceLocation location() const { return {file, line, tokens[at].column}; }
};

// How deep parentheses and unary signs may nest in one expression.
inline constexpr int kMaxExpressionNesting = 256;

// True when the token at the cursor can begin an expression.
[[nodiscard]] bool starts_expression(const TokenCursor& cursor);

// Parses one expression at the cursor into `out`; on failure writes `error`.
[[nodiscard]] bool parse_expression(TokenCursor& cursor, Expr& out, Diagnostic& error);

using SymbolValues = std::unordered_map<std::string, int64_t>;
using NameSet = std::unordered_set<std::string>;

enum class EvalStatus : uint8_t { ok, undefined, failed };

// Evaluates `expr` with `here` as the value of "$". ok writes `value`; undefined
// and failed write `error` (undefined names the first unknown symbol).
[[nodiscard]] EvalStatus evaluate(const Expr& expr, const SymbolValues& symbols, int64_t here, int64_t& value,
                                  Diagnostic& error);

// evaluate(), appending the problem to `errors` (unless null) when it is this
// expression's own: a failure, or a symbol defined nowhere. A symbol among
// `constants` that has no value yet is not; its own definition reports why.
[[nodiscard]] EvalStatus evaluate_reporting(const Expr& expr, const SymbolValues& symbols, const NameSet& constants,
                                            int64_t here, int64_t& value, std::vector<Diagnostic>* errors);

// True when `expr` is `nil` on its own.
[[nodiscard]] bool expression_is_nil(const Expr& expr);

}  // namespace quill::as
