// The source map: the spans the assembler records (through .include, pseudo-
// instructions and data), its JSON form and what reading refuses, the lookups, and
// the map as quill asm, dis and run use it.
#include "tools/map/source_map.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "tools/quill/map_option.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

TEST(SourceMap, SpansFollowIncludesPseudoInstructionsAndData) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("lib"));
  folder.write("lib/f.tasm", "f:  push 0\n    ret\n");
  folder.write("main.tasm",
               "start: lit 5\n  jmp done\n  .cell 7, -1\n  .text \"ab\"\n.include \"lib/f.tasm\"\ndone: halt\n");
  AsmOptions options;
  options.origin = 100;
  AsmResult result;
  ASSERT_TRUE(assemble_file(folder.file("main.tasm"), options, result));
  SourceMap map;
  ASSERT_TRUE(source_map_from_result(result, map));
  ASSERT_EQ(map.files.size(), 2u);
  EXPECT_EQ(map.files[1], folder.file("lib/f.tasm"));
  struct Expected {
    uint32_t file, line, column, length;  // length 0: not checked (a literal's width)
    bool data;
  };
  const Expected expected[] = {{0, 1, 8, 2, false},                                             // lit 5
                               {0, 2, 3, 0, false}, {0, 2, 3, 2, false},  {0, 2, 3, 2, false},  // jmp: the offset, then
                               {0, 2, 3, 2, false}, {0, 2, 3, 2, false},  {0, 2, 3, 5, false},  // four pushes and "~"
                               {0, 3, 9, 10, true}, {0, 3, 12, 10, true},                       // .cell 7, -1
                               {0, 4, 3, 10, true}, {0, 4, 3, 10, true},                        // .text "ab"
                               {1, 1, 5, 2, false}, {1, 2, 5, 1, false},  {0, 6, 7, 1, false}};  // include, halt
  ASSERT_EQ(map.spans.size(), std::size(expected));
  uint64_t at = 100;
  for (size_t i = 0; i < map.spans.size(); ++i) {
    const SourceSpan& s = map.spans[i];
    const Expected& e = expected[i];
    EXPECT_EQ(s.address, at) << i;
    EXPECT_EQ(std::vector<uint32_t>({s.file, s.line, s.column, e.length == 0 ? 0 : s.length, s.data}),
              std::vector<uint32_t>({e.file, e.line, e.column, e.length, e.data}))
        << "span " << i;
    at += s.length;
  }
  EXPECT_EQ(at, result.image.size());
  EXPECT_EQ(map.labels.size(), 3u);
  uint64_t address = 0;
  ASSERT_TRUE(source_map_line_address(map, "lib/f.tasm", 2, address));
  EXPECT_EQ(source_map_name(map, address), "f+2 (" + folder.file("lib/f.tasm") + ":2)");
}

SourceMap sample_map() {
  SourceMap map;
  map.files = {"/src/main.tasm", "/src/lib/we\"ird\\ \xC3\xBC.tasm"};
  map.labels = {{"a", 10}, {"b", 20}, {"b2", 20}};
  map.spans = {{10, 2, 0, 1, 3, false}, {12, 5, 0, 2, 1, false}, {20, 1, 1, 7, 9, false}, {21, 10, 1, 8, 2, true}};
  return map;
}

TEST(SourceMap, NamesAddressesAndFindsLines) {
  const SourceMap map = sample_map();
  const std::string lib = "(" + map.files[1];
  const std::pair<uint64_t, std::string> names[] = {
      {9, ""},      {10, "a (/src/main.tasm:1)"}, {13, "a+3 (/src/main.tasm:2)"},
      {17, "a+7"},  {20, "b2 " + lib + ":7)"},    {30, "b2+10 " + lib + ":8)"},
      {31, "b2+11"}};
  for (const auto& [address, name] : names) EXPECT_EQ(source_map_name(map, address), name) << address;
  SourceMap unlabelled = map;
  unlabelled.labels.clear();
  EXPECT_EQ(source_map_name(unlabelled, 12), "(/src/main.tasm:2)");

  struct Line {
    const char* file;
    uint32_t line;
    uint64_t address;  // 0: no instruction there
  };
  const Line lines[] = {{"/src/main.tasm", 2, 12},
                        {"main.tasm", 1, 10},
                        {"src/main.tasm", 2, 12},
                        {"ain.tasm", 1, 0},
                        {"main.tasm", 3, 0},
                        {"we\"ird\\ \xC3\xBC.tasm", 7, 20},
                        {"we\"ird\\ \xC3\xBC.tasm", 8, 0}};  // line 8 placed only data
  for (const Line& l : lines) {
    uint64_t address = 0;
    EXPECT_EQ(source_map_line_address(map, l.file, l.line, address), l.address != 0) << l.file << ":" << l.line;
    EXPECT_EQ(address, l.address) << l.file << ":" << l.line;
  }
}

TEST(SourceMap, JsonRoundTripsAndCodeAddressesParse) {
  const SourceMap map = sample_map();
  const std::string text = source_map_to_json(map);
  SourceMap back;
  std::string error;
  ASSERT_TRUE(source_map_from_json(text, back, error)) << error;
  EXPECT_EQ(back.files, map.files);
  ASSERT_EQ(back.labels.size(), map.labels.size());
  for (size_t i = 0; i < map.labels.size(); ++i) EXPECT_EQ(back.labels[i].name, map.labels[i].name);
  EXPECT_EQ(source_map_to_json(back), text);

  const std::pair<const char*, uint64_t> addresses[] = {{"216679", 216679}, {"216_679", 216679}, {"0x34E67", 216679},
                                                        {"b", 20},          {"main.tasm:2", 12}, {"0", 0}};
  for (const auto& [written, expected] : addresses) {
    uint64_t address = 0;
    EXPECT_TRUE(cli::parse_code_address(written, &map, address, error)) << written << ": " << error;
    EXPECT_EQ(address, expected) << written;
  }
  for (const char* bad : {"64000000", "0x", "12abc", "nowhere", "main.tasm:3", "-1", ""}) {
    uint64_t address = 7;
    EXPECT_FALSE(cli::parse_code_address(bad, &map, address, error)) << bad;
    EXPECT_EQ(address, 7u);
  }
  uint64_t address = 0;
  EXPECT_FALSE(cli::parse_code_address("b", nullptr, address, error));
}

std::string map_text(const std::string& files, const std::string& labels, const std::string& spans) {
  return R"({"format": "quill-source-map", "version": 1, "files": )" + files + R"(, "labels": )" + labels +
         R"(, "spans": )" + spans + "}";
}

TEST(SourceMap, ReadingRefusesDamagedMaps) {
  const std::string files = R"(["a.tasm"])", labels = R"([{"name": "a", "address": 5}])",
                    spans = R"([[5, 2, 0, 1, 1, false], [7, 1, 0, 2, 1, true]])";
  SourceMap map = sample_map();
  std::string error;
  ASSERT_TRUE(source_map_from_json(map_text(files, labels, spans), map, error)) << error;
  const std::string bad[] = {
      "",
      "{\"format\": ",
      "[]",
      R"({"format": "other", "version": 1, "files": [], "labels": [], "spans": []})",
      R"({"format": "quill-source-map", "version": 2, "files": [], "labels": [], "spans": []})",
      R"({"format": "quill-source-map", "version": 1, "files": [], "labels": []})",
      map_text(R"("a.tasm")", labels, spans),
      map_text(R"(["a.tasm", 3])", labels, spans),
      map_text(files, R"({"a": 5})", spans),
      map_text(files, R"([{"address": 5}])", spans),
      map_text(files, R"([{"name": "", "address": 5}])", spans),
      map_text(files, R"([{"name": "a", "address": -5}])", spans),
      map_text(files, R"([{"name": "a", "address": 64000000}])", spans),
      map_text(files, R"([{"name": "a", "address": 1.5}])", spans),
      map_text(files, R"([{"name": "a", "address": 9}, {"name": "b", "address": 8}])", spans),
      map_text(files, labels, R"([[5, 2, 0, 1, 1]])"),
      map_text(files, labels, R"([[5, 0, 0, 1, 1, false]])"),
      map_text(files, labels, R"([[5, 2, 1, 1, 1, false]])"),
      map_text(files, labels, R"([[5, 2, 0, 0, 1, false]])"),
      map_text(files, labels, R"([[5, 2, 0, 1, 0, false]])"),
      map_text(files, labels, R"([[5, 2, 0, 1, 1, 0]])"),
      map_text(files, labels, R"([[5, 2, 0, 4294967296, 1, false]])"),
      map_text(files, labels, R"([[63999999, 2, 0, 1, 1, false]])"),
      map_text(files, labels, R"([[5, 2, 0, 1, 1, false], [6, 1, 0, 2, 1, false]])"),
      map_text(files, labels, R"([[7, 2, 0, 1, 1, false], [5, 1, 0, 2, 1, false]])"),
      map_text(files, labels, R"({"5": [2, 0, 1, 1, false]})"),
  };
  for (const std::string& text : bad) {
    SourceMap untouched = sample_map();
    error.clear();
    EXPECT_FALSE(source_map_from_json(text, untouched, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(untouched.spans.size(), sample_map().spans.size()) << text;
  }
}

TEST(SourceMap, AsmWritesItAndDisAndRunNameAddressesWithIt) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("lib"));
  folder.write("lib/f.tasm", "f: push 0\nadd 0 0\nret\n");
  folder.write("p.tasm", "start: lit 5\npush 1\njsr f, 7\nhalt\n.include \"lib/f.tasm\"\n");
  CommandResult r = quill(folder, "asm p.tasm -o p.tern --map p.map");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = quill(folder, "dis p.tern --map p.map");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("start:\n    lit 5                       ; 216679  p.tasm:1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("f:\n    push 0                      ; 216699  lib/f.tasm:1\n"), std::string::npos) << r.out;

  const std::pair<const char*, const char*> breaks[] = {
      {"f", "pc 216699 f (lib/f.tasm:1),"},
      {"lib/f.tasm:2", "pc 216701 f+2 (lib/f.tasm:2),"},
      {"0x34E7B", "pc 216699 f (lib/f.tasm:1),"},
      {"216_681", "pc 216681 start+2 (p.tasm:2),"},
  };
  for (const auto& [where, expected] : breaks) {
    r = quill(folder, std::string("run --map p.map --break ") + where + " p.tern");
    EXPECT_EQ(r.exit_code, 1) << where;
    EXPECT_NE(r.out.find(expected), std::string::npos) << where << ": " << r.out << r.err;
  }
  r = quill(folder, "run --json --map p.map --trace t.txt p.tern");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("\"pc\": 216699, \"pc_name\": \"f (lib/f.tasm:1)\""), std::string::npos) << r.out;
  EXPECT_NE(lines_of(folder.read("t.txt")).find("depth=1 ; f+2 (lib/f.tasm:2)\n"), std::string::npos);
  for (const char* bad : {"--map p.map --break nowhere", "--break f", "--map missing.map", "--map p.tasm"}) {
    r = quill(folder, std::string("run ") + bad + " p.tern");
    EXPECT_EQ(r.exit_code, 2) << bad;
  }
}

}  // namespace
}  // namespace quill::test
