// The files that repeat the catalogues (the assembler includes, the call tables of
// docs/host-calls.md, the editor grammar's keywords) are current, and the includes give each name its number.
#include "tools/catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host_calls.h"
#include "host/key_codes.h"
#include "support/source_file.h"
#include "tools/asm/assembler.h"

namespace quill {
namespace {

const std::string kSource = std::string(QUILL_SOURCE_DIR) + "/";

TEST(Catalogue, CommittedFilesAreCurrent) {
  const char* const kHint = " is out of date: cmake --build --preset release --target catalogue";
  EXPECT_EQ(test::read_whole_file(kSource + catalogue::kHostInclude), catalogue::host_include())
      << catalogue::kHostInclude << kHint;
  EXPECT_EQ(test::read_whole_file(kSource + catalogue::kKeysInclude), catalogue::keys_include())
      << catalogue::kKeysInclude << kHint;
  EXPECT_EQ(test::read_whole_file(kSource + catalogue::kColorsInclude), catalogue::colors_include())
      << catalogue::kColorsInclude << kHint;
  const std::string doc = test::read_whole_file(kSource + catalogue::kHostCallsDoc);
  std::string with_calls, updated;
  ASSERT_TRUE(catalogue::with_call_tables(doc, with_calls)) << catalogue::kHostCallsDoc << " lacks a group's table";
  ASSERT_TRUE(catalogue::with_key_table(with_calls, updated)) << catalogue::kHostCallsDoc << " lacks the key table";
  EXPECT_EQ(doc, updated) << catalogue::kHostCallsDoc << kHint;
  const std::string grammar = test::read_whole_file(kSource + catalogue::kGrammar);
  std::string grammar_updated;
  ASSERT_TRUE(catalogue::with_grammar_words(grammar, grammar_updated))
      << catalogue::kGrammar << " lacks a keyword entry";
  EXPECT_EQ(grammar, grammar_updated) << catalogue::kGrammar << kHint;
}

TEST(Catalogue, DocumentWithoutAPlaceForEveryGroupIsRefused) {
  std::string out = "unchanged";
  EXPECT_FALSE(catalogue::with_call_tables("# Host calls\n", out));
  EXPECT_FALSE(catalogue::with_call_tables("<!-- calls: sys -->\n<!-- end calls -->\n<!-- calls: nope -->\n", out));
  EXPECT_FALSE(catalogue::with_key_table("<!-- keys -->\n| old |\n", out));
  EXPECT_FALSE(catalogue::with_grammar_words("{\"repository\": {\"instructions\": {}}}", out));
  EXPECT_FALSE(catalogue::with_grammar_words("{\"repository\": ", out));
  EXPECT_EQ(out, "unchanged");
}

// The same program written with names and with numbers assembles to the same trytes.
TEST(Catalogue, IncludesDefineEveryNameAsItsNumber) {
  std::string named = ".include \"host.tasm\"\n.include \"keys.tasm\"\n.include \"colors.tasm\"\n";
  std::string numbered;
  for (const HostCallInfo& call : kHostCalls) {
    named += "sys " + catalogue::assembler_name(call.name) + ", acc\n";
    numbered += "sys " + std::to_string(call.number) + ", acc\n";
  }
  for (const KeyCodeInfo& key : kKeyCodes) {
    named += "lit KEY_" + catalogue::assembler_name(key.name) + "\n";
    numbered += "lit " + std::to_string(key.code) + "\n";
  }
  AsmOptions options;
  options.include_dirs.push_back(kSource + "programs/lib");
  AsmResult by_name, by_number;
  ASSERT_TRUE(assemble_text("named.tasm", named, options, by_name)) << format_error(by_name.errors.front());
  ASSERT_TRUE(assemble_text("numbered.tasm", numbered, options, by_number));
  EXPECT_EQ(by_name.image, by_number.image);
}

}  // namespace
}  // namespace quill
