// The showcase programs of programs/examples/, driven by scripted keys with a
// fixed step budget and compared with their pictures in tests/tools/golden/
// (example_*.png). After a deliberate change to an example, rewrite them with
// `make golden` (the tests run with QUILL_UPDATE_GOLDEN=1), look at them, and
// copy them over the screenshots in docs/images/.
#include <gtest/gtest.h>

#include <string>

#include "support/golden_picture.h"
#include "support/temp_folder.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

struct ExampleRun {
  const char* program;  // in programs/examples, without ".tasm"
  const char* golden;
  const char* keys;
  const char* until = "--steps 200000000";  // or "": until it waits for a key and none is left
  Region ignored = {};                      // what differs from run to run
};

constexpr ExampleRun kExampleRuns[] = {
    // every row of the answer, a negative number, one without a packed form
    // or a character, the refusals, and Backspace
    {"ternary", "example_ternary", "42{enter}-1000{enter}7{backspace}-{enter}123456789012{enter}-x{enter}"},
    {"ternary", "example_ternary_limits", "99999999999{enter}-99999999999{enter}0{enter}93{enter}"},
    // one key a step: eats four times, turns, hits the bottom wall and waits for Enter
    {"snake", "example_snake", "    {up}    {right}      {down}"},
    // up into the wall on the seventh step, Enter, a new game down into the wall
    {"snake", "example_snake_restart", "{up}      {enter}{down}"},
    // both computations, then the wait for a key; the times in the title vary
    {"mandelbrot", "example_mandelbrot", "", "", {240, 0, 260, 20}},
};

TEST(Examples, AnswerScriptedKeysWithTheExpectedPictures) {
  TempFolder folder;
  for (const ExampleRun& run : kExampleRuns) {
    const std::string source = std::string(QUILL_SOURCE_DIR) + "/programs/examples/" + run.program + ".tasm";
    const CommandResult a = quill(folder, "asm '" + source + "' -o p.txt");
    ASSERT_EQ(a.exit_code, 0) << run.program << ": " << a.err;
    const CommandResult r = quill(folder, std::string("run --json --speed 0 ") + run.until + " --keys '" + run.keys +
                                              "' --screenshot s.png p.txt");
    EXPECT_NE(r.out.find("\"status\": 1,"), std::string::npos) << run.golden << ": " << r.out << r.err;
    EXPECT_EQ(compare_with_golden(folder.read("s.png"), run.golden, run.ignored), "");
  }
}

}  // namespace
}  // namespace quill::test
