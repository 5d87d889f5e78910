// Every message the assembler gives, with the line and column it points at, and
// the promise that a source with an error yields no image.
#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "tools/asm_helpers.h"

namespace quill::test {
namespace {

struct ErrorCase {
  const char* source;
  const char* expected;  // "line:column: message"
};

void expect_errors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    EXPECT_EQ(first_error(c.source), c.expected) << c.source;
    EXPECT_TRUE(assemble(c.source).image.empty()) << c.source;
  }
}

TEST(AsmErrors, BadNumbersCharactersAndStringsNameTheirPlaceAndCause) {
  expect_errors({
      {"lit 12x", "1:7: 'x' is not a digit of this number"},
      {"lit 99999999999999999999", "1:5: number is too large"},
      {"lit 0x", "1:5: number has no digits"},
      {".text \"a\\n\"", "1:9: unknown escape; only \\\\, \\\" and \\' are known"},
      {"lit '\xFF'", "1:6: malformed UTF-8"},
      {"lit ''", "1:5: empty character literal"},
      {"lit 'ab'", "1:5: unterminated character literal"},
      {"lit '#'", "1:6: this character has no character code"},
      {".text \"abc", "1:7: unterminated string"},
      {"  lit @", "1:7: unexpected character '@'"},
      {"lit \x07", "1:5: unexpected character (byte 7)"},
  });
}

TEST(AsmErrors, BadExpressionsNameTheirPlaceAndCause) {
  std::string deep = "lit ";
  for (int i = 0; i < 70; ++i) deep += "1+(";
  deep += "1" + std::string(70, ')');
  expect_errors({
      {"lit (1 + 2", "1:11: expected ')'"},
      {"lit 1 + ,", "1:9: expected a number, a symbol or '('"},
      {deep.c_str(), "1:197: expression is too deeply nested"},
      {"ret\nlit foo", "2:5: undefined symbol 'foo'"},
      {"lit nil + 1", "1:9: nil cannot take part in arithmetic"},
      {"lit 1 / 0", "1:7: division by zero"},
      {"lit 1 % (2 - 2)", "1:7: division by zero"},
      {"lit 9223372036854775807 + 1", "1:25: arithmetic overflows"},
  });
}

TEST(AsmErrors, ReservedNamesWrongOperandCountsAndStrayTextNameTheirPlace) {
  expect_errors({
      {"nil: ret", "1:1: 'nil' is a reserved word"},
      {"acc = 5", "1:1: 'acc' is a reserved word"},
      {"a: ret\n a: ret", "2:2: 'a' is already defined at test.tasm:1"},
      {"jmp", "1:4: expected an expression"},
      {"add 1,", "1:7: expected an expression after ','"},
      {"add 1 )", "1:7: expected ',' or the end of the line"},
      {"jgt loop 3", "1:10: expected ','"},
      {".org 5 6", "1:8: unexpected text after the statement"},
      {"add 1", "1:1: 'add' takes 2 operands, not 1"},
      {"pop 1 2", "1:1: 'pop' takes 1 operand, not 2"},
      {"ret 0", "1:1: 'ret' takes 0 operands, not 1"},
      {"lit", "1:1: 'lit' takes 1 operand, not 0"},
      {"lit.12 5", "1:1: a literal's digit count must be 0 to 9, as in lit.3"},
      {"foo 1", "1:1: unknown instruction 'foo'"},
      {"5", "1:1: expected a label, an instruction or a directive"},
  });
}

TEST(AsmErrors, MisusedDirectivesNameTheirPlaceAndCause) {
  expect_errors({
      {".raw 5", "1:6: expected a string in double quotes"},
      {".raw \"1a\"", "1:6: 'a' is not a tryte symbol"},
      {".text \"\xC3\"", "1:7: malformed UTF-8 in the string"},
      {".text \"a#\"", "1:7: character '#' has no character code"},
      {".text \"\xC3\xA9\"", "1:7: character U+00E9 has no character code"},
      {".scratch 1", "1:1: .scratch takes two stack numbers from 0 to 19"},
      {".scratch 20, 1", "1:10: .scratch takes two stack numbers from 0 to 19"},
      {".scratch 3, 3", "1:1: the two scratch stacks must differ"},
      {".include \"nope.tasm\"", "1:1: cannot open the include file 'nope.tasm'"},
      {".equ 5, 3", "1:6: expected a name after .equ"},
      {".cell", "1:1: .cell needs at least one value"},
      {".foo", "1:1: unknown directive '.foo'"},
  });
}

TEST(AsmErrors, ValuesOutsideTheirRangeNameTheRange) {
  expect_errors({
      {"push 20", "1:6: stack operand must be 0 to 19, not 20"},
      {"cmp 1 2 3 nil", "1:11: stack operand must be 0 to 19, not nil"},
      {"lit 512000000000", "1:5: value 512000000000 is outside the literal range -511999999999 to 511999999999"},
      {"lit.2 400", "1:7: value 400 needs 3 digits, more than lit.2 holds"},
      {".cell 1, -512000000000", "1:10: cell value -512000000000 is outside -511999999999 to 511999999999"},
      {".packed -1", "1:9: packed value -1 is outside 0 to 293292210960"},
      {".packed 293292210961", "1:9: packed value 293292210961 is outside 0 to 293292210960"},
      {"jgt x, 19\nx:", "1:8: the comparand stack cannot be the scratch stack 19 (see .scratch)"},
      {"sys 5", "1:5: a host-call number is negative, not 5"},
      {".zero 0 - 1", "1:7: the zero fill count must not be negative"},
      {".zero 64000001", "1:7: the zero fill runs past the end of memory"},
  });
}

TEST(AsmErrors, ProgramsPastMemoryOverlapsAndCirclesAreRefused) {
  expect_errors({
      {".org 63999999\nlit 5", "2:1: the program runs past the end of memory (64000000 trytes)"},
      {".org 0 - 1", "1:6: .org address must be 0 to 64000000, not -1"},
      {"lit 400\n.org 2\nret", "3:1: address 2 already holds trytes placed by test.tasm:1"},
      {".zero e % 2 + 1\ne:",
       "the layout does not settle: a .org, .zero or .packed value depends on later labels in a circle"},
  });
}

TEST(AsmErrors, SelfIncludesMissingFilesAndRedefinedDefinesAreRefused) {
  TempFolder folder;
  folder.write("self.tasm", ".include \"self.tasm\"\n");
  AsmResult r;
  EXPECT_FALSE(assemble_file(folder.file("self.tasm"), AsmOptions{}, r));
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors[0].message, "includes nest too deeply (does a file include itself?)");
  EXPECT_FALSE(assemble_file(folder.file("missing.tasm"), AsmOptions{}, r));
  EXPECT_EQ(format_error(r.errors[0]), "error: cannot read the source file '" + folder.file("missing.tasm") + "'");
  AsmOptions options;
  options.defines = {{"SIZE", 4}};
  EXPECT_FALSE(assemble_text("t.tasm", "SIZE = 5\n", options, r));
  EXPECT_EQ(format_error(r.errors[0]), "t.tasm:1:1: error: 'SIZE' is already defined on the command line");
}

// Faults found by hardening: each source used to crash, run away, or say the wrong thing.
TEST(AsmErrors, ThirtyThousandParenthesesOrAHundredThousandSignsAreRefusedNotACrash) {
  const std::string nest = "(((" + std::string(253, '(') + "5" + std::string(256, ')');
  EXPECT_EQ(symbols_of("lit " + nest + "\nlit " + std::string(256, '-') + "5"), "1515");
  const std::string parens = "lit " + std::string(30'000, '(') + "1" + std::string(30'000, ')');
  const std::string signs = "lit " + std::string(100'000, '-') + "1";
  expect_errors({
      {parens.c_str(), "1:261: expression nests more than 256 parentheses and signs deep"},
      {signs.c_str(), "1:261: expression nests more than 256 parentheses and signs deep"},
  });
}

TEST(AsmErrors, ValuesBeyondWhatALiteralHoldsAreRefusedBeforeTheyOverflow) {
  expect_errors({
      {"lit -9223372036854775807 - 1", "1:26: arithmetic overflows"},  // used to land on nil
      {"lit (0 - 4611686018427387904) * 2", "1:31: arithmetic overflows"},
      {"jmp -9223372036854775807",
       "1:5: value -9223372036854775807 is outside the literal range -511999999999 to 511999999999"},
      {"jle 9223372036854775807, #0",
       "1:5: value 9223372036854775807 is outside the literal range -511999999999 to 511999999999"},
  });
}

// c0 = c1 + 1, c1 = c2 + 1, ... c{n-1} = END, used before any of them is defined.
std::string constant_chain(int n, const std::string& end) {
  std::string text = "lit c0\n";
  for (int i = 0; i < n; ++i) {
    text.append("c").append(std::to_string(i)).append(" = ");
    text.append(i + 1 < n ? std::string("c").append(std::to_string(i + 1)).append(" + 1") : end).append("\n");
  }
  return text;
}

TEST(AsmErrors, AChainOf199ForwardConstantsSettlesOrNamesTheRealCause) {
  const struct {
    std::string source;
    const char* symbols;
  } cases[] = {
      {constant_chain(199, "5"), "2A3"},         // 5 + 198; used to be "the layout does not settle"
      {constant_chain(199, "e") + "e:", "2A1"},  // e moves as lit c0 grows: 3 + 198
      {constant_chain(199, "zz"), "ERROR: test.tasm:200:8: error: undefined symbol 'zz'"},
      {"a = b\nb = a + 1\nlit a", "ERROR: test.tasm:2:5: error: 'a' is defined in terms of itself"},
  };
  for (const auto& c : cases) EXPECT_EQ(symbols_of(c.source), c.symbols) << c.source.substr(0, 40);
  EXPECT_EQ(assemble(constant_chain(199, "zz")).errors.size(), 1u);  // not one "undefined" per link
}

TEST(AsmErrors, AnIncludeTreeOf15LevelsBy10StopsAtTheSourceLimits) {
  TempFolder folder;
  for (int level = 0; level < 15; ++level) {
    std::string text;
    for (int k = 0; k < 10; ++k) text.append(".include \"").append(std::to_string(level + 1)).append(".tasm\"\n");
    folder.write(std::to_string(level).append(".tasm"), text);
  }
  folder.write("15.tasm", std::string(20'000, '\n'));
  AsmResult r;
  EXPECT_FALSE(assemble_file(folder.file("0.tasm"), AsmOptions{}, r));
  ASSERT_EQ(r.errors.size(), 1u);  // reading stops at the limit
  EXPECT_EQ(r.errors[0].message, "the source with its includes runs past 250000 lines");
  EXPECT_FALSE(assemble_text("big.tasm", std::string((4 << 20) + 1, ';'), AsmOptions{}, r));
  EXPECT_EQ(format_error(r.errors.at(0)), "error: the source with its includes runs past 4 MiB");
}

TEST(AsmErrors, EveryProblemIsReportedNotJustTheFirst) {
  const AsmResult r = assemble("foo\nbar\nret\nbaz");
  ASSERT_EQ(r.errors.size(), 3u);
  EXPECT_EQ(r.errors[2].line, 4u);
}

}  // namespace
}  // namespace quill::test
