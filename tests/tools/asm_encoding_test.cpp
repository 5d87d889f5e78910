// What the assembler writes: instructions, literals at their thresholds, data
// directives, labels and expressions, .org and .include.
#include <gtest/gtest.h>

#include "codec/literal.h"
#include "support/temp_folder.h"
#include "tools/asm/literal_form.h"
#include "tools/asm_helpers.h"

namespace quill::test {
namespace {

TEST(AsmInstructions, EveryInstructionHasItsSymbolAndStackDigits) {
  EXPECT_EQ(symbols_of("pop 0\npush 19\nadd 1, 2\nsub 3 4\ncall 10 11\ncmp 12 13 14 15\nret\nhalt\n"),
            "<0>J+12-34=AB~CDEF..");
  EXPECT_EQ(symbols_of("PUSH 7 ; case does not matter for mnemonics\n"), ">7");
}

TEST(AsmLiterals, UseTheShortestFormAtEveryThreshold) {
  struct Case {
    const char* value;
    const char* symbols;
  } cases[] = {
      {"0", "0"},        {"nil", "A"},
      {"1", "11"},       {"19", "1J"},
      {"20", "210"},     {"399", "2JJ"},
      {"400", "3100"},   {"7999", "3JJJ"},
      {"8000", "41000"}, {"511999999999", "9JJJJJJJJJ"},
      {"-1", "B1"},      {"-19", "BJ"},
      {"-20", "C10"},    {"-399", "CJJ"},
      {"-400", "D100"},  {"-511999999999", "JJJJJJJJJJ"},
  };
  for (const Case& c : cases) EXPECT_EQ(symbols_of(std::string("lit ") + c.value), c.symbols) << c.value;
  EXPECT_EQ(symbols_of("nil"), "A");
}

TEST(AsmLiterals, EveryWidthReadsBackAsItsValue) {
  for (int64_t v : {int64_t{0}, int64_t{5}, int64_t{-5}, int64_t{160'000}, NIL}) {
    for (int digits = as::literal_digits(v); digits <= 9; ++digits) {
      std::vector<uint8_t> trytes;
      as::append_literal(trytes, v, digits);
      TestMemory memory(trytes.size());
      for (size_t i = 0; i < trytes.size(); ++i) put_tryte(memory.data(), i, trytes[i]);
      uint64_t position = 0;
      int64_t read = 1;
      ASSERT_EQ(read_literal(memory.data(), memory.size, position, read), literal_ok);
      EXPECT_EQ(read, v);
      EXPECT_EQ(position, 1u + static_cast<uint64_t>(digits));
    }
  }
}

TEST(AsmLiterals, ExplicitWidthPadsWithLeadingZeros) {
  EXPECT_EQ(symbols_of("lit.3 5"), "3005");
  EXPECT_EQ(symbols_of("lit.1 0"), "10");
  EXPECT_EQ(symbols_of("lit.0 nil"), "A");
  EXPECT_EQ(symbols_of("lit.2 nil"), "C00");
  EXPECT_EQ(symbols_of("lit.2 -1"), "C01");
}

TEST(AsmData, CellsPackedRawTextAndZeroFill) {
  EXPECT_EQ(symbols_of(".cell 0, -1, nil, 511999999999"), "9000000000J000000001J0000000009JJJJJJJJJ");
  EXPECT_EQ(symbols_of(".packed 1, 27, 28, 756"), "-+--++");
  EXPECT_EQ(symbols_of(".packed 123456789"), "4B43HD");
  EXPECT_EQ(symbols_of(".packed 0\n.raw \"1\""), "1");  // zero packs into no trytes
  EXPECT_EQ(symbols_of(".raw \"=< >~\" \"+\""), "=<>~+");
  EXPECT_EQ(symbols_of(".text \"A a\""), "900000001890000000009000000030");
  EXPECT_EQ(symbols_of(".text \"\xE2\x80\x9C!\xE2\x80\x9D\""), "900000004C9000000001900000004D");
  EXPECT_EQ(symbols_of(".zero 3\n.raw \"1\""), "...1");
  EXPECT_EQ(symbols_of("lit ' '\nlit '~'\nlit '\\''"), "024913");
}

TEST(AsmLabels, ResolveForwardAndBackwardWithExpressions) {
  const AsmResult r = assemble("start: lit end\nmiddle: lit start + 2 * 3 - 1\nend: lit (end - start) % 4\n", 100);
  ASSERT_TRUE(r.errors.empty()) << format_error(r.errors[0]);
  ASSERT_EQ(r.labels.size(), 3u);
  EXPECT_EQ(r.labels[0].name, "start");
  EXPECT_EQ(r.labels[0].address, 100u);
  const uint64_t end = r.labels[2].address;
  TestMemory memory(r.image.size());
  for (size_t i = 0; i < r.image.size(); ++i) put_tryte(memory.data(), i, r.image[i]);
  uint64_t position = 100;
  int64_t v = 0;
  ASSERT_EQ(read_literal(memory.data(), memory.size, position, v), literal_ok);
  EXPECT_EQ(v, static_cast<int64_t>(end));
  EXPECT_EQ(position, r.labels[1].address);
  ASSERT_EQ(read_literal(memory.data(), memory.size, position, v), literal_ok);
  EXPECT_EQ(v, 105);
  ASSERT_EQ(read_literal(memory.data(), memory.size, position, v), literal_ok);
  EXPECT_EQ(v, static_cast<int64_t>(end - 100) % 4);
}

TEST(AsmLabels, AForwardLabelThatGrowsALiteralMovesEverythingAfterIt) {
  // With "far" at 19 the first literal needs 1 digit; one more tryte of code pushes it
  // to 20, which needs 2 digits, which moves "far" to 21.
  EXPECT_EQ(symbols_of("lit far\n.zero 17\nfar: ret"), "1J" + std::string(17, '.') + ".");
  EXPECT_EQ(symbols_of("lit far\n.zero 18\nfar: ret"), "211" + std::string(18, '.') + ".");
  const AsmResult r = assemble("lit far\n.zero 18\nfar: ret");
  EXPECT_EQ(r.labels[0].address, 21u);
}

TEST(AsmLabels, ALiteralThatCannotBeMinimalSettlesPadded) {
  // 403 - end is 400 (3 digits) while the literal has 2 digits, but 399 once it has
  // 3: no minimal form is stable, so widths only grow and the literal keeps 3.
  EXPECT_EQ(symbols_of("lit 403 - end\nend:"), "30JJ");
}

TEST(AsmDirectives, OrgPlacesCodeAndGapsHoldZeroTrytes) {
  const AsmResult r = assemble("lit 1\n.org 10\nhere: lit $\n.org 4\nret", 2);
  ASSERT_TRUE(r.errors.empty()) << format_error(r.errors[0]);
  std::string all;
  for (const uint8_t tv : r.image) all += kSymbolAlphabet[tv];
  EXPECT_EQ(all, "..11......1A");
  EXPECT_EQ(r.first_address, 2u);
}

TEST(AsmDirectives, DefaultOriginIsTheBootAddress) {
  AsmResult r;
  ASSERT_TRUE(assemble_text("t.tasm", "ret", AsmOptions{}, r));
  ASSERT_EQ(r.image.size(), kBootAddress + 1);
  EXPECT_EQ(r.first_address, kBootAddress);
  EXPECT_EQ(r.image[0], symbol_value('.'));
}

TEST(AsmDirectives, ConstantsEquAndCommandLineDefines) {
  AsmOptions options;
  options.origin = 0;
  options.defines = {{"WIDTH", 500}};
  AsmResult r;
  ASSERT_TRUE(assemble_text("t.tasm", "AREA = WIDTH * HEIGHT\n.equ HEIGHT, 320\nlit AREA / 1000", options, r));
  EXPECT_EQ(r.image.size(), 3u);  // 160 = "28 0": 2 digits
  EXPECT_EQ(kSymbolAlphabet[r.image[1]], '8');
}

TEST(AsmDirectives, IncludeFindsFilesBesideTheSourceAndInIncludeDirs) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("lib"));
  folder.write("lib/consts.tasm", "SEVEN = 7\n.include \"more.tasm\"\n");
  folder.write("lib/more.tasm", "EIGHT = 8\n");
  folder.write("main.tasm", ".include \"lib/consts.tasm\"\nlit SEVEN + EIGHT\n");
  folder.write("other.tasm", ".include \"consts.tasm\"\nlit SEVEN\n");
  AsmOptions options;
  options.origin = 0;
  AsmResult r;
  ASSERT_TRUE(assemble_file(folder.file("main.tasm"), options, r));
  EXPECT_EQ(r.image.size(), 2u);
  EXPECT_FALSE(assemble_file(folder.file("other.tasm"), options, r));
  options.include_dirs = {folder.file("lib")};
  EXPECT_TRUE(assemble_file(folder.file("other.tasm"), options, r));
}

TEST(AsmOutputs, ListingAndSymbolFile) {
  const AsmResult r = assemble("start: lit 5 ; five\nloop: push 0\n", 7);
  const std::string listing = format_listing(r);
  EXPECT_NE(listing.find("        7  15"), std::string::npos) << listing;
  EXPECT_NE(listing.find("test.tasm:1  start: lit 5 ; five"), std::string::npos) << listing;
  EXPECT_NE(listing.find("        9  >0"), std::string::npos) << listing;
  EXPECT_EQ(format_symbols(r.labels), "7 start\n9 loop\n");
  std::vector<AsmLabel> read;
  std::string error;
  ASSERT_TRUE(parse_symbols("; comment\n7 start\n\n9 loop\n", read, error));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].name, "loop");
  EXPECT_FALSE(parse_symbols("7\n", read, error));
  EXPECT_EQ(error, "line 1: expected an address below 64000000 and a name");
}

}  // namespace
}  // namespace quill::test
