// The tutorial's examples (docs/examples) do what docs/tutorial.md says they do,
// and the tutorial shows them as they are.
#include <gtest/gtest.h>

#include <string>

#include "support/source_file.h"
#include "support/temp_folder.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

const std::string kDocs = std::string(QUILL_SOURCE_DIR) + "/docs/";

struct Example {
  const char* name;
  const char* run_options;
  const char* expected;  // a piece of the --json report
};

constexpr Example kExamples[] = {
    {"sum", "",
     "\"status\": 2, \"status_text\": \"halted\", \"pc\": 216732, \"acc\": 15, \"depth\": 0, "
     "\"executed\": 106, \"frame_counter\": 0}"},
    {"stripes", "--screenshot stripes.png", "\"status_text\": \"halted\""},
    {"keys", "--keys 'A{enter}'", "\"acc\": 128,"},
    {"hello", "--screenshot hello.png", "\"status_text\": \"halted\""},
};

TEST(Tutorial, ExamplesAssembleAndRunAsDescribed) {
  TempFolder folder;
  for (const Example& e : kExamples) {
    const std::string source = kDocs + "examples/" + e.name + ".tasm";
    const CommandResult a =
        quill(folder, "asm '" + source + "' -I '" + QUILL_SOURCE_DIR + "/programs/lib' -o " + e.name + ".tern");
    ASSERT_EQ(a.exit_code, 0) << e.name << ": " << a.err;
    const CommandResult r = quill(folder, std::string("run --json ") + e.run_options + " " + e.name + ".tern");
    EXPECT_EQ(r.exit_code, 0) << e.name << ": " << r.out << r.err;
    EXPECT_NE(r.out.find(e.expected), std::string::npos) << e.name << ": " << r.out;
  }
  EXPECT_TRUE(folder.exists("stripes.png"));
  EXPECT_TRUE(folder.exists("hello.png"));
}

TEST(Tutorial, ShowsEachExampleAsItIs) {
  const std::string tutorial = test::read_whole_file(kDocs + "tutorial.md");
  for (const Example& e : kExamples) {
    std::string source = test::read_whole_file(kDocs + "examples/" + e.name + ".tasm");
    // The tutorial leaves out the leading comment lines.
    while (source.rfind(";", 0) == 0) source.erase(0, source.find('\n') + 1);
    EXPECT_NE(tutorial.find("```\n" + source + "```\n"), std::string::npos) << e.name;
  }
}

}  // namespace
}  // namespace quill::test
