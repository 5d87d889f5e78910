// quill run end to end: the JSON report, exit codes, keys, screenshots, saved
// images, the trace and the breakpoint; and the console driven by scripted keys.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "codec/image_files.h"
#include "codec/literal.h"
#include "support/golden_picture.h"
#include "support/source_file.h"
#include "support/temp_folder.h"
#include "support/test_memory.h"
#include "tools/quill/key_script.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

const std::string kConsole = std::string(QUILL_SOURCE_DIR) + "/programs/console/console.tasm";

// Assembles `source` into p.tern in `folder`.
void assemble(const TempFolder& folder, const std::string& source) {
  folder.write("p.tasm", source);
  const CommandResult r = quill(folder, "asm p.tasm -o p.tern");
  ASSERT_EQ(r.exit_code, 0) << r.err;
}

TEST(KeyScript, CharactersSpecialKeysAndErrors) {
  std::vector<int64_t> codes;
  std::string error;
  ASSERT_TRUE(
      cli::parse_key_script("Az 0{enter}{backspace}{left}{right}{up}{down}{delete}{escape}{esc}", codes, error));
  EXPECT_EQ(codes, (std::vector<int64_t>{28, 85, 0, 12, 100, 101, 102, 103, 104, 105, 106, 107, 107}));
  ASSERT_TRUE(cli::parse_key_script("{home}{end}{ctrl-s}{ctrl-d}{tab}{shift-enter}{93}{113}{{}\n\r\t", codes, error));
  EXPECT_EQ(codes, (std::vector<int64_t>{108, 109, 110, 111, 112, 113, 93, 113, 86, 88, 100, 112}));
  ASSERT_TRUE(cli::parse_key_script("\xE2\x80\x98\xE2\x80\x9D", codes, error));  // ‘ ”
  EXPECT_EQ(codes, (std::vector<int64_t>{90, 93}));
  for (const char* bad : {"#", "a@", "{enter", "{Enter}", "{94}", "{114}", "{}", "\xC3\xA9", "\xE2\x80"}) {
    EXPECT_FALSE(cli::parse_key_script(bad, codes, error)) << bad;
  }
  EXPECT_FALSE(cli::parse_key_script("ab%", codes, error));
  EXPECT_EQ(error, "no key code for '%' at offset 2");
}

TEST(QuillRun, JsonReportsTheFinalStateAndTheExitCodeFollowsIt) {
  TempFolder folder;
  assemble(folder, "lit 5\npush 1\nlit 10\npush 2\nadd 1 2\nhalt\n");
  CommandResult r = quill(folder, "run --json --speed 0 p.tern");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"status\": 2, \"status_text\": \"halted\", \"pc\": 216691, \"acc\": 15, \"depth\": 0, "
            "\"executed\": 6, \"frame_counter\": 0}\n");
  r = quill(folder, "run --json --steps 3 p.tern");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out,
            "{\"status\": 1, \"status_text\": \"budget reached\", \"pc\": 216685, \"acc\": 10, \"depth\": 0, "
            "\"executed\": 3, \"frame_counter\": 0}\n");
  EXPECT_EQ(r.err, "quill run: ended at the step limit\n");
  r = quill(folder, "run p.tern");
  EXPECT_EQ(r.out, "halted after 6 instructions: pc 216691, acc 15, depth 0, frame 0\n");

  assemble(folder, ".org 100\nnil\npush 0\n.raw \"=\"\n");  // "=" without its two stack digits
  r = quill(folder, "run --json --entry 100 p.tern");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("\"acc\": null"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"status_text\": \"cannot decode\""), std::string::npos) << r.out;
}

TEST(QuillRun, BadUsageAndUnreadableImagesExitWithTwo) {
  TempFolder folder;
  folder.write("garbage.txt", "this is not an image");
  assemble(folder, "halt\n");
  for (const char* args : {"run", "run missing.tern", "run garbage.txt", "run p.tern p.tern", "run --steps x p.tern",
                           "run --keys {nope} p.tern", "run --keys-file missing p.tern", "run --seconds 0 p.tern",
                           "run --entry 64000000 p.tern", "run --frobnicate p.tern"}) {
    EXPECT_EQ(quill(folder, args).exit_code, 2) << args;
  }
  EXPECT_EQ(quill(folder, "run --help").exit_code, 0);
}

// Waits for two keys and halts with the sum of their codes.
constexpr char kTwoKeys[] = R"(
        sys -320004
        sys -320002
        push 0
        sys -320004
        sys -320002
        push 1
        add 0 1
        halt
)";

TEST(QuillRun, KeysReachTheProgramAndARunEndsWhenNoneAreLeft) {
  TempFolder folder;
  assemble(folder, kTwoKeys);
  CommandResult r = quill(folder, "run --json --keys A{enter} p.tern");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("\"acc\": 128"), std::string::npos) << r.out;
  folder.write("keys.txt", "z\n");
  r = quill(folder, "run --json --keys-file keys.txt p.tern");
  EXPECT_NE(r.out.find("\"acc\": 185"), std::string::npos) << r.out;
  r = quill(folder, "run --keys A p.tern");  // the second wait never ends
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ended waiting for a key"), std::string::npos) << r.out;
  assemble(folder, "loop: jmp loop\n");
  r = quill(folder, "run --seconds 0.2 p.tern");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ended at the time limit"), std::string::npos) << r.out;
}

TEST(QuillRun, ScreenshotIsAValidPngOfTheFinalPicture) {
  TempFolder folder;
  assemble(folder, "sys -160003, 0, 1\nsys -160003, 159999, 1\nhalt\n");
  const CommandResult r = quill(folder, "run --speed 0 --screenshot shot.png p.tern");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  Picture shot;
  ASSERT_TRUE(decode_png(folder.read("shot.png"), shot));
  ASSERT_EQ(shot.width * shot.height, 160'000u);
  EXPECT_EQ(shot.pixels[0], 0xFFFFFFu);
  EXPECT_EQ(shot.pixels[1], 0u);
  EXPECT_EQ(shot.pixels[159'998], 0u);
  EXPECT_EQ(shot.pixels[159'999], 0xFFFFFFu);
  EXPECT_EQ(quill(folder, "run --screenshot no/such/folder/shot.png p.tern").exit_code, 1);
}

TEST(QuillRun, SaveWritesImagesThatTheEmulatorLoads) {
  TempFolder folder;
  assemble(folder, "sys -6, 300000, -77\nhalt\n");
  const CommandResult r = quill(folder, "run --speed 0 --save saved p.tern");
  EXPECT_EQ(r.exit_code, 1) << "no folder yet";
  std::filesystem::create_directory(folder.file("saved"));
  ASSERT_EQ(quill(folder, "run --speed 0 --save saved p.tern").exit_code, 0);
  EXPECT_TRUE(folder.exists("saved/memory_trits.txt"));
  EXPECT_TRUE(folder.exists("saved/memory_tambrisk.txt"));
  TestMemory memory(64'000'000);
  ASSERT_TRUE(load_memory_files(memory.data(), memory.size, folder.file("saved/").c_str()));
  EXPECT_EQ(memory.symbols(300000, 10), "J00000003H");
  const CommandResult again = quill(folder, "run --json --speed 0 saved");  // a folder runs as the emulator boots it
  EXPECT_EQ(again.exit_code, 0) << again.err;
}

TEST(QuillRun, FolderRunRemovesStaleTemporariesOnlyAfterASuccessfulLoad) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("run"));
  folder.write("run/memory_trits.new", "left by a killed save");
  folder.write("run/memory_tambrisk.new", "left by a killed save");
  EXPECT_EQ(quill(folder, "run --speed 0 run").exit_code, 2);  // nothing to load: the folder stays as it was
  EXPECT_TRUE(folder.exists("run/memory_trits.new") && folder.exists("run/memory_tambrisk.new"));
  folder.write("run/memory_tambrisk.txt", ".");  // halts at once
  const CommandResult r = quill(folder, "run --speed 0 --entry 0 run");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_FALSE(folder.exists("run/memory_trits.new") || folder.exists("run/memory_tambrisk.new"));
}

TEST(QuillRun, TraceHasALinePerExecutedInstructionAndBreakStopsBeforeTheAddress) {
  TempFolder folder;
  assemble(folder, "lit 5\npush 1\njsr f, 7\nhalt\nf: push 0\nadd 0 0\nret\n");
  CommandResult r = quill(folder, "run --json --trace trace.txt p.tern");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string trace = lines_of(folder.read("trace.txt"));  // a text file: CRLF on Windows
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 11);
  EXPECT_EQ(trace.substr(0, trace.find('\n')), "216679: lit 5                  ; acc=5 depth=0");
  EXPECT_NE(trace.find(": add 0 0                ; acc=14 depth=1\n"), std::string::npos) << trace;
  EXPECT_NE(r.out.find("\"executed\": 11"), std::string::npos);
  r = quill(folder, "run --json --break 216681 p.tern");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("\"pc\": 216681, \"acc\": 5, \"depth\": 0, \"executed\": 1,"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "quill run: ended at the breakpoint\n");
}

// The console as a user meets it, against the pictures in tests/tools/golden/
// (console_*.png). After a deliberate change to the console, rewrite them with
// `make golden` (these tests run with QUILL_UPDATE_GOLDEN=1) and look at them
// before committing.
struct GoldenRun {
  const char* name;
  const char* keys;
};
constexpr GoldenRun kConsolePictures[] = {
    {"console_typing", "help{enter}ab{backspace}"},  // echo, cursor, Backspace
    {"console_editing",
     "halp{enter}{up}{home}{right}{delete}e{enter}spped 7{home}{right}{right}{delete}"},  // history, mid-line
    {"console_help", "help speed{enter}HELP  Fetch  {enter}help nope{enter}"},            // one command's line
    {"console_colors", "colors{enter}"},  // the 27 swatches and their codes
    {"console_scrolling",
     "help{enter}help{enter}help{enter}help{enter}x"},  // the last help scrolls the title away and back
};

TEST(Console, AnswersWithTheExpectedPictures) {
  TempFolder folder;
  ASSERT_EQ(quill(folder, "asm '" + kConsole + "' -o console.txt").exit_code, 0);
  for (const GoldenRun& golden : kConsolePictures) {
    const CommandResult r =
        quill(folder, std::string("run --json --speed 0 --keys '") + golden.keys + "' --screenshot s.png console.txt");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.out.find("\"status\": 1,"), std::string::npos) << r.out;
    EXPECT_EQ(compare_with_golden(folder.read("s.png"), golden.name), "");
  }
}

TEST(Console, RunsItsCommandsAndHalts) {
  TempFolder folder;
  ASSERT_EQ(quill(folder, "asm '" + kConsole + "' -o console.txt").exit_code, 0);
  const CommandResult r = quill(
      folder,
      "run --json --speed 0 --keys 'colors{enter}cores{enter}speed 5000000{enter}time{enter}CLEAR{enter}Halt{enter}'"
      " console.txt");
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"status\": 2,"), std::string::npos) << r.out;
}

// Whatever is typed, the console only ever ends waiting for the next key: no
// key may leave anything behind on a stack, however many come.
// 100,000 random keys take the optimised build about 20 s; the sanitizer builds, there to
// catch memory and thread faults rather than a rare key sequence, type a fifth.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kRandomKeys = 20'000;
#else
constexpr int kRandomKeys = 100'000;
#endif

TEST(Console, SurvivesAnyKeysInAnyNumber) {
  TempFolder folder;
  ASSERT_EQ(quill(folder, "asm '" + kConsole + "' -o console.txt").exit_code, 0);
  std::string twenty_enters;
  for (int i = 0; i < 20; ++i) twenty_enters += "{enter}";
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> key(0, 93 + 14 * 6);  // special keys six times as likely as any character
  std::string random_keys;
  for (int i = 0; i < kRandomKeys; ++i) {
    const int k = key(random);
    random_keys += '{';
    random_keys += std::to_string(k <= 93 ? k : 100 + (k - 94) % 14);
    random_keys += '}';
  }
  folder.write("random.keys", random_keys);
  for (const std::string& keys : {"--keys '" + twenty_enters + "a'",
                                  "--keys '" + twenty_enters + twenty_enters + "{left}{up}{tab}{escape}{ctrl-s}a'",
                                  std::string("--keys-file random.keys")}) {
    const CommandResult r = quill(folder, "run --json --speed 0 " + keys + " console.txt");
    EXPECT_EQ(r.exit_code, 1) << keys;
    EXPECT_NE(r.out.find("\"status\": 1,"), std::string::npos) << keys << r.out;
    EXPECT_EQ(r.err, "quill run: ended waiting for a key, none left to give\n") << keys;
  }
}

// A take that finds no key (the window can wake the wait without one) must
// leave nothing behind either: the console with every take finding none runs
// to the step limit (start-up is under two million), never to a stack overflow.
TEST(Console, SurvivesATakeThatFindsNoKey) {
  TempFolder folder;
  std::string source = read_source_file("programs/console/console.tasm");
  const std::string take = "sys KBD_TAKE";
  ASSERT_NE(source.find(take), std::string::npos);
  source.replace(source.find(take), take.size(), "nil");
  folder.write("console.tasm", source);
  const std::string beside = std::string(QUILL_SOURCE_DIR) + "/programs/console";
  ASSERT_EQ(quill(folder, "asm -I '" + beside + "' console.tasm -o console.txt").exit_code, 0);
  const CommandResult r = quill(folder, "run --json --speed 0 --steps 3000000 --keys a console.txt");
  EXPECT_NE(r.out.find("\"status\": 1,"), std::string::npos) << r.out << r.err;
  EXPECT_NE(r.out.find("\"executed\": 3000000,"), std::string::npos) << r.out;
}

// Line editing and history, exactly: each line either comes out as "halt",
// which stops the machine, or as something else, which leaves the console
// waiting for the next key.
std::string repeat(const std::string& keys, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += keys;
  return out;
}

TEST(Console, EditsTheLineAndRecallsEarlierOnes) {
  TempFolder folder;
  ASSERT_EQ(quill(folder, "asm '" + kConsole + "' -o console.txt").exit_code, 0);
  const struct {
    std::string keys;
    bool halts;
  } cases[] = {
      {"hlt{left}{left}a{enter}", true},                          // typing inserts at the cursor
      {"hallt{left}{backspace}{enter}", true},                    // Backspace takes the one before it
      {"hxalt{home}{right}{delete}{enter}", true},                // Home, Right, Delete under the cursor
      {"hal{home}{end}t{enter}", true},                           // End
      {"halt" + repeat("{left}", 6) + "{delete}{enter}", false},  // Left stops at the first character
      {"hal{right}{right}t{enter}", true},                        // Right stops after the last
      {"halt{left}{delete}{delete}{delete}t{enter}", true},       // Delete at the end takes nothing
      {"halt{left}{left}{enter}", true},                          // Enter takes the whole line
      {"halt" + std::string(74, ' ') + "x{home}x{enter}", true},  // a full line takes nothing, anywhere
      {"haltx{enter}{up}{backspace}{enter}", true},
      {"haltx{enter}one{enter}{up}{up}{backspace}{enter}", true},
      {"haltx{enter}{up}{up}{up}{backspace}{enter}", true},  // Up stops at the oldest line
      {"haltx{enter}{up}{down}halt{enter}", true},           // Down past the newest: an empty line
      {"haltx{enter}{up}{up}{down}{down}{down}halt{enter}", true},
      {"{up}{down}{down}halt{enter}", true},                // no history yet
      {"haltx{enter}{enter}{up}{backspace}{enter}", true},  // an empty line is not kept
      {"haltx{enter}" + repeat("n{enter}", 15) + repeat("{up}", 16) + "{backspace}{enter}", true},  // 16 lines
      {repeat("n{enter}", 12) + "haltx{enter}" + repeat("n{enter}", 7) + repeat("{up}", 8) + "{backspace}{enter}",
       true},  // round the ring
  };
  for (const auto& c : cases) {
    const CommandResult r = quill(folder, "run --json --speed 0 --keys '" + c.keys + "' console.txt");
    EXPECT_EQ(r.exit_code, c.halts ? 0 : 1) << c.keys << r.out << r.err;
  }
}

// A command's argument is what follows its word on this line, never what an
// earlier, longer line left in the buffer, in this run or a saved one. A stale
// "5" would pace the rest at five instructions a second: the halt would never
// come before the generous cap on the run.
TEST(Console, ReadsArgumentsOnlyFromTheTypedLine) {
  TempFolder folder;
  ASSERT_EQ(quill(folder, "asm '" + kConsole + "' -o console.txt").exit_code, 0);
  const char* bare_speed =
      "--seconds 60 --keys 'speed{enter}speed abc{enter}speed -5{enter}speed 5x{enter}halt{enter}'";
  std::filesystem::create_directory(folder.file("saved"));
  CommandResult r = quill(folder, "run --speed 0 --keys 'hello 5{enter}' --save saved console.txt");
  ASSERT_EQ(r.exit_code, 1) << r.out << r.err;
  r = quill(folder, std::string("run --json --speed 0 ") + bare_speed + " saved");
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  r = quill(folder, std::string("run --json --speed 0 --keys 'hello 5{enter}' ") + bare_speed + " console.txt");
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
}

TEST(Console, DisassemblesToSourceThatAssemblesToTheSameImage) {
  TempFolder folder;
  ASSERT_EQ(quill(folder, "asm '" + kConsole + "' -o console.tern -s console.sym").exit_code, 0);
  ASSERT_EQ(quill(folder, "dis console.tern -s console.sym -o back.tasm").exit_code, 0);
  ASSERT_EQ(quill(folder, "asm back.tasm -o back.tern").exit_code, 0);
  EXPECT_EQ(folder.read("back.tern"), folder.read("console.tern"));
}

}  // namespace
}  // namespace quill::test
