#include "app/failure_report.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(FailureReport, SymbolFileBesideTheImage) {
  const struct {
    const char* image;
    const char* symbols;
  } cases[] = {
      {"prog.tern", "prog.sym"},
      {"/home/me/prog.tern", "/home/me/prog.sym"},
      {"dir/memory_trits.txt", "dir/memory_trits.sym"},
      {"archive.tar.tern", "archive.tar.sym"},  // only the last extension
      {"prog", "prog.sym"},
      {"v1.2/prog", "v1.2/prog.sym"},  // a dot in a folder is no extension
      {"C:\\v1.2\\prog", "C:\\v1.2\\prog.sym"},
      {"dir/.tern", "dir/.tern.sym"},  // a name that starts with its dot
  };
  for (const auto& c : cases) EXPECT_EQ(path_beside(c.image, ".sym"), c.symbols) << c.image;
}

TEST(FailureReport, NearestLabelAtOrBelow) {
  // Out of order on purpose, with two labels at one address.
  const std::vector<AsmLabel> labels = {{"loop", 120}, {"start", 100}, {"again", 120}, {"end", 64000000 - 1}};
  const struct {
    uint64_t address;
    const char* name;
  } cases[] = {
      {99, ""},
      {100, "start"},
      {101, "start+1"},
      {119, "start+19"},
      {120, "loop"},
      {121, "loop+1"},
      {64000000 - 2, "loop+63999878"},
      {64000000 - 1, "end"},
      {UINT64_MAX, "end+18446744073645551616"},
  };
  for (const auto& c : cases) EXPECT_EQ(name_address(labels, c.address), c.name) << c.address;
  EXPECT_EQ(name_address({}, 0), "");
}

TEST(FailureReport, TheLine) {
  EXPECT_EQ(failure_line(7, 216690, 12, "wrong+2"),
            "quillomar: stopped: invalid destination at pc 216690 in wrong+2 (after 12 instructions)");
  EXPECT_EQ(failure_line(5, 0, 1, ""), "quillomar: stopped: stack overflow at pc 0 (after 1 instruction)");
}

}  // namespace
}  // namespace quill
