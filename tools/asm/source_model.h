// The assembler's picture of a source program: expressions, statements and where
// each came from. Built by the parser, read by the layout and the emitter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cpu/opcode.h"

namespace quill::as {

// A place in the source: an index into SourceProgram::files, a line and a column
// (both counted from 1, columns in bytes).
struct SourceLocation {
  uint32_t file = 0;
  uint32_t line = 0;
  uint32_t column = 0;
};

// One step of an expression in postfix order.
struct ExprNode {
  enum Kind : uint8_t { number, symbol, here, nil, negate, add, subtract, multiply, divide, remainder };
  Kind kind = number;
  int64_t value = 0;  // number
  std::string name;   // symbol
  SourceLocation where;
};

struct Expr {
  std::vector<ExprNode> nodes;  // postfix; empty means "absent"
  SourceLocation where;
  [[nodiscard]] bool present() const { return !nodes.empty(); }
};

// Conditions of the conditional jump pseudo-instructions: which of the three
// offsets of "~" (acc greater, acc less, equal or NIL) lead to the label.
enum class Condition : uint8_t { gt, lt, eq, ne, ge, le };

enum class StatementKind : uint8_t {
  label,        // name: defines name as the current address
  constant,     // name = expr
  org,          // .org expr
  instruction,  // op with stack operands
  literal,      // lit expr / lit.N expr / nil
  jump,         // jmp target
  branch,       // jgt/jlt/... target, comparand (stack or #immediate)
  subroutine,   // jsr target [, argument]
  host_call,    // sys number [, acc | argument | x, y]
  cells,        // .cell expr, ...
  packed,       // .packed expr, ...
  raw,          // .raw "symbols"
  text,         // .text "string"
  zero,         // .zero count
  pool,         // .pool: the argument blocks of earlier host calls
};

// A host call's argument, as written after its number.
enum class ArgumentKind : uint8_t { none, acc, value, block };

struct PoolBlock {
  std::string name;  // internal label of the block, never a valid source name
  Expr x;
  Expr y;
};

struct Statement {
  StatementKind kind = StatementKind::label;
  SourceLocation where;
  std::string name;       // label, constant
  OpKind op = op_return;  // instruction
  Condition condition = Condition::gt;
  std::vector<Expr> operands;        // stack operands, values, cells...
  Expr target;                       // jump, branch, subroutine target; host call number; org; zero; literal
  Expr argument;                     // subroutine argument, host-call argument, branch comparand
  bool comparand_immediate = false;  // branch: "#expr" rather than a stack
  ArgumentKind argument_kind = ArgumentKind::none;
  int literal_digits = -1;        // lit.N: the digit count asked for; -1 for minimal
  uint8_t scratch = 19;           // stack that carries jump offsets and call targets
  uint8_t saved = 18;             // stack that keeps acc or carries the argument
  std::vector<uint8_t> symbols;   // raw: TryteValues; text: character codes
  std::vector<PoolBlock> blocks;  // pool
};

struct SourceProgram {
  std::vector<std::string> files;  // paths as given or found
  std::vector<Statement> statements;
  std::vector<std::vector<std::string>> file_lines;  // each file's lines, for the listing
};

}  // namespace quill::as
