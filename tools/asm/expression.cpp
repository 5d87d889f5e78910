#include "tools/asm/expression.h"

#include <algorithm>

#include "codec/tryte.h"

namespace quill::as {

namespace {

// Parentheses and signs parse by recursion; bounding their depth keeps any source
// line from exhausting the assembler's own stack.
struct ExprParser {
  TokenCursor& cursor;
  Expr& out;
  Diagnostic& error;
  int nesting = 0;

  // One level deeper, at the '(' or sign just passed; false (with `error`) past the limit.
  bool enter(SourceLocation where) {
    if (nesting == kMaxExpressionNesting) {
      error = {where,
               "expression nests more than " + std::to_string(kMaxExpressionNesting) + " parentheses and signs deep"};
      return false;
    }
    ++nesting;
    return true;
  }

  bool level(int at) {
    if (at == 2) return operand();
    if (!level(at + 1)) return false;
    for (;;) {
      const Token& t = cursor.peek();
      if (t.kind != Token::punctuation) return true;
      ExprNode::Kind kind{};
      if (at == 0 && t.punct == '+')
        kind = ExprNode::add;
      else if (at == 0 && t.punct == '-')
        kind = ExprNode::subtract;
      else if (at == 1 && t.punct == '*')
        kind = ExprNode::multiply;
      else if (at == 1 && t.punct == '/')
        kind = ExprNode::divide;
      else if (at == 1 && t.punct == '%')
        kind = ExprNode::remainder;
      else
        return true;
      const SourceLocation where = cursor.location();
      ++cursor.at;
      if (!level(at + 1)) return false;
      ExprNode node;
      node.kind = kind;
      node.where = where;
      out.nodes.push_back(node);
    }
  }

  bool operand() {
    const Token& t = cursor.peek();
    ExprNode node;
    node.where = cursor.location();
    if (t.kind == Token::punctuation && (t.punct == '-' || t.punct == '+')) {
      ++cursor.at;
      if (!enter(node.where) || !operand()) return false;
      --nesting;
      if (t.punct == '-') {
        node.kind = ExprNode::negate;
        out.nodes.push_back(node);
      }
      return true;
    }
    if (t.kind == Token::punctuation && t.punct == '(') {
      ++cursor.at;
      if (!enter(node.where) || !level(0)) return false;
      --nesting;
      if (!cursor.at_punct(')')) {
        error = {cursor.location(), "expected ')'"};
        return false;
      }
      ++cursor.at;
      return true;
    }
    if (t.kind == Token::number || t.kind == Token::character) {
      node.kind = ExprNode::number;
      node.value = t.value;
    } else if (t.kind == Token::punctuation && t.punct == '$') {
      node.kind = ExprNode::here;
    } else if (t.kind == Token::identifier && t.text == "nil") {
      node.kind = ExprNode::nil;
    } else if (t.kind == Token::identifier) {
      node.kind = ExprNode::symbol;
      node.name = t.text;
    } else {
      error = {cursor.location(), "expected a number, a symbol or '('"};
      return false;
    }
    ++cursor.at;
    out.nodes.push_back(node);
    return true;
  }
};

// False when the result does not fit 64 bits or lands on the one 64-bit value
// that stands for NIL. Operands are never NIL, so -a, a / -1 and a % -1 fit.
bool apply(ExprNode::Kind kind, int64_t a, int64_t b, int64_t& out) {
  bool overflow = false;
  switch (kind) {
    case ExprNode::add:
      overflow = __builtin_add_overflow(a, b, &out);
      break;
    case ExprNode::subtract:
      overflow = __builtin_sub_overflow(a, b, &out);
      break;
    case ExprNode::multiply:
      overflow = __builtin_mul_overflow(a, b, &out);
      break;
    case ExprNode::divide:
      out = a / b;
      break;
    default:
      out = a % b;
      break;
  }
  return !overflow && out != NIL;
}

}  // namespace

bool starts_expression(const TokenCursor& cursor) {
  const Token& t = cursor.peek();
  if (t.kind == Token::number || t.kind == Token::character || t.kind == Token::identifier) return true;
  return t.kind == Token::punctuation && (t.punct == '-' || t.punct == '+' || t.punct == '(' || t.punct == '$');
}

bool parse_expression(TokenCursor& cursor, Expr& out, Diagnostic& error) {
  out.nodes.clear();
  out.where = cursor.location();
  ExprParser parser{cursor, out, error};
  return parser.level(0);
}

bool expression_is_nil(const Expr& expr) { return expr.nodes.size() == 1 && expr.nodes[0].kind == ExprNode::nil; }

EvalStatus evaluate(const Expr& expr, const SymbolValues& symbols, int64_t here, int64_t& value, Diagnostic& error) {
  int64_t stack[64];
  size_t depth = 0;
  for (const ExprNode& node : expr.nodes) {
    if (depth == sizeof stack / sizeof stack[0]) {
      error = {node.where, "expression is too deeply nested"};
      return EvalStatus::failed;
    }
    switch (node.kind) {
      case ExprNode::number:
        stack[depth++] = node.value;
        continue;
      case ExprNode::here:
        stack[depth++] = here;
        continue;
      case ExprNode::nil:
        stack[depth++] = NIL;
        continue;
      case ExprNode::symbol: {
        const auto found = symbols.find(node.name);
        if (found == symbols.end()) {
          error = {node.where, "undefined symbol '" + node.name + "'"};
          return EvalStatus::undefined;
        }
        stack[depth++] = found->second;
        continue;
      }
      default:
        break;
    }
    const bool unary = node.kind == ExprNode::negate;
    const int64_t b = stack[depth - 1];
    const int64_t a = unary ? 0 : stack[depth - 2];
    depth -= unary ? 1 : 2;
    if (a == NIL || b == NIL) {
      error = {node.where, "nil cannot take part in arithmetic"};
      return EvalStatus::failed;
    }
    if ((node.kind == ExprNode::divide || node.kind == ExprNode::remainder) && b == 0) {
      error = {node.where, "division by zero"};
      return EvalStatus::failed;
    }
    int64_t r = 0;
    if (!apply(unary ? ExprNode::subtract : node.kind, a, b, r)) {
      error = {node.where, "arithmetic overflows"};
      return EvalStatus::failed;
    }
    stack[depth++] = r;
  }
  value = stack[0];
  return EvalStatus::ok;
}

EvalStatus evaluate_reporting(const Expr& expr, const SymbolValues& symbols, const NameSet& constants, int64_t here,
                              int64_t& value, std::vector<Diagnostic>* errors) {
  Diagnostic problem;
  const EvalStatus status = evaluate(expr, symbols, here, value, problem);
  if (status == EvalStatus::ok || errors == nullptr) return status;
  if (status == EvalStatus::undefined) {
    const auto missing = std::find_if(expr.nodes.begin(), expr.nodes.end(), [&](const ExprNode& node) {
      return node.kind == ExprNode::symbol && !symbols.contains(node.name) && !constants.contains(node.name);
    });
    if (missing == expr.nodes.end()) return status;
    problem = {missing->where, "undefined symbol '" + missing->name + "'"};
  }
  errors->push_back(problem);
  return status;
}

}  // namespace quill::as
