// The words of the assembly language beyond the machine's own mnemonics
// (kInstructions in cpu/opcode.h): the other instruction names, the
// pseudo-instructions, the directives and the reserved names. The parser
// dispatches on these lists and the editor grammar is generated from them, so a
// new word is one line here and one case in the parser.
#pragma once

#include <cstdint>

#include "tools/asm/source_model.h"

namespace quill::as {

enum class Word : uint8_t {
  halt,        // ret under its other name
  lit,         // lit V, and lit.N V with N digits
  nil,         // lit nil
  jump,        // jmp L
  branch,      // jCC L, S or jCC L, #V
  subroutine,  // jsr L [, V]
  host_call,   // sys N [, acc | V | X, Y]
};

struct WordInfo {
  const char* name;
  Word word;
  Condition condition = Condition::gt;  // branch
};

inline constexpr WordInfo kWords[] = {
    {"halt", Word::halt},
    {"lit", Word::lit},
    {"nil", Word::nil},
    {"jmp", Word::jump},
    {"jgt", Word::branch, Condition::gt},
    {"jlt", Word::branch, Condition::lt},
    {"jeq", Word::branch, Condition::eq},
    {"jne", Word::branch, Condition::ne},
    {"jge", Word::branch, Condition::ge},
    {"jle", Word::branch, Condition::le},
    {"jsr", Word::subroutine},
    {"sys", Word::host_call},
};

// Pseudo-instructions expand to several machine instructions; the others are one.
[[nodiscard]] constexpr bool is_pseudo_instruction(Word word) {
  return word != Word::halt && word != Word::lit && word != Word::nil;
}

enum class Directive : uint8_t { org, zero, equ, cell, packed, raw, text, pool, include, scratch };

struct DirectiveInfo {
  const char* name;  // without its "."
  Directive directive;
};

inline constexpr DirectiveInfo kDirectives[] = {
    {"org", Directive::org},         {"zero", Directive::zero},     {"equ", Directive::equ},
    {"cell", Directive::cell},       {"packed", Directive::packed}, {"raw", Directive::raw},
    {"text", Directive::text},       {"pool", Directive::pool},     {"include", Directive::include},
    {"scratch", Directive::scratch},
};

// Names no label or constant may take: NIL, and the accumulator of `sys N, acc`.
inline constexpr const char* kReservedNames[] = {"nil", "acc"};

}  // namespace quill::as
