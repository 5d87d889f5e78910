// The showcase programs of programs/examples/, driven by scripted keys with a
// fixed step budget and compared with their pictures in tests/tools/golden/
// (example_*.png). After a deliberate change to an example, rewrite them with
// `make golden` (the tests run with QUILL_UPDATE_GOLDEN=1), look at them, and
// copy them over the screenshots in docs/images/.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/golden_picture.h"
#include "support/temp_folder.h"
#include "support/test_http_server.h"
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

constexpr Region kUrlLine = {34, 46, 466, 10};  // the network page's first URL

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
    // a page of ten lines (eight shown) with CR LF, bytes without a character
    // and a long line; then a status without a body and a refused connection.
    // The URL's port varies: its line is skipped.
    {"netpage", "example_netpage", "SERVER/page{enter}", "", kUrlLine},
    {"netpage", "example_netpage_missing", "SERVER/missing{enter}", "", kUrlLine},
    {"netpage", "example_netpage_refused", "CLOSED/{enter}", "", kUrlLine},
};

// The keys with SERVER/ and CLOSED/ replaced by the URLs of the test server and
// of a port where nothing listens.
std::string with_urls(std::string keys, const TestHttpServer& server) {
  const std::pair<std::string, std::string> tokens[] = {
      {"SERVER/", server.url("/")}, {"CLOSED/", "http://127.0.0.1:" + std::to_string(closed_port()) + "/"}};
  for (const auto& [token, url] : tokens) {
    const size_t at = keys.find(token);
    if (at != std::string::npos) keys.replace(at, token.size(), url);
  }
  return keys;
}

TEST(Examples, AnswerScriptedKeysWithTheExpectedPictures) {
  TempFolder folder;
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  std::string page = "Quillomar test page\r\nbytes without a character: # $ % & @ \x01 \xC3\xA9\r\n\r\n";
  page += "a line longer than the screen is wide goes on on the next line: " + std::string(40, '=') + "\n";
  for (int line = 5; line <= 10; ++line) page += "line " + std::to_string(line) + "\n";
  server.route("/page", Behaviour::reply, http_reply(200, page));
  server.route("/missing", Behaviour::reply, http_reply(404, ""));
  for (const ExampleRun& run : kExampleRuns) {
    const std::string source = std::string(QUILL_SOURCE_DIR) + "/programs/examples/" + run.program + ".tasm";
    const CommandResult a = quill(folder, "asm '" + source + "' -o p.txt");
    ASSERT_EQ(a.exit_code, 0) << run.program << ": " << a.err;
    const CommandResult r = quill(folder, std::string("run --json --speed 0 ") + run.until + " --keys '" +
                                              with_urls(run.keys, server) + "' --screenshot s.png p.txt");
    EXPECT_NE(r.out.find("\"status\": 1,"), std::string::npos) << run.golden << ": " << r.out << r.err;
    EXPECT_EQ(compare_with_golden(folder.read("s.png"), run.golden, run.ignored), "");
  }
}

}  // namespace
}  // namespace quill::test
