// The quill command as a user meets it: help, exit codes, messages on standard
// error, and images that the emulator's loader accepts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "codec/image_files.h"
#include "support/temp_folder.h"
#include "support/test_memory.h"
#include "support/test_process.h"
#include "tools/asm/assembler.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

TEST(QuillCommand, HelpAndUsageErrors) {
  TempFolder folder;
  CommandResult r = quill(folder, "help");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("asm"), std::string::npos);
  EXPECT_EQ(quill(folder, "asm --help").exit_code, 0);
  EXPECT_EQ(quill(folder, "help dis").exit_code, 0);
  r = quill(folder, "");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("Usage"), std::string::npos);
  r = quill(folder, "frobnicate");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "quill: unknown command 'frobnicate'\nTry 'quill help'.\n");
  r = quill(folder, "asm --wat x.tasm");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "quill asm: unknown option '--wat'\nTry 'quill asm --help'.\n");
  EXPECT_EQ(quill(folder, "asm").exit_code, 2);
  EXPECT_EQ(quill(folder, "asm a.tasm -o").exit_code, 2);
  EXPECT_EQ(quill(folder, "asm a.tasm --format ternary").exit_code, 2);
  EXPECT_EQ(quill(folder, "dis").exit_code, 2);
  EXPECT_EQ(quill(folder, "dis missing.tern").exit_code, 2);
  EXPECT_EQ(quill(folder, "bench --seconds 0").exit_code, 2);
}

TEST(QuillCommand, AssemblyErrorsWriteNoImage) {
  TempFolder folder;
  folder.write("bad.tasm", "ret\nlit nowhere\n");
  const CommandResult r = quill(folder, "asm bad.tasm -o memory_tambrisk.txt");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "bad.tasm:2:5: error: undefined symbol 'nowhere'\nquill asm: 1 error; no image written\n");
  EXPECT_FALSE(folder.exists("memory_tambrisk.txt"));
}

TEST(QuillCommand, AssembledImagesBootInTheEmulatorsLoaderInBothFormats) {
  for (const char* name : {"memory_tambrisk.txt", "memory_trits.txt"}) {
    TempFolder folder;
    folder.write("p.tasm", "start: lit 5\npush 0\nhalt\n");
    const CommandResult r = quill(folder, std::string("asm p.tasm -o ") + name + " --listing p.lst --symbols p.sym");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    TestMemory memory(kBootAddress + 100);
    ASSERT_TRUE(load_memory_files(memory.data(), memory.size, folder.path.c_str())) << name;
    EXPECT_EQ(memory.symbols(kBootAddress - 1, 6), ".15>0.");
    EXPECT_EQ(folder.read("p.sym"), "216679 start\n");
    EXPECT_NE(folder.read("p.lst").find("   216679  15"), std::string::npos);
  }
}

TEST(QuillCommand, WarnsWhenATritImageWouldShadowTheTextImage) {
  TempFolder folder;
  folder.write("p.tasm", "halt\n");
  folder.write("memory_trits.txt", "...");
  const CommandResult r = quill(folder, "asm p.tasm -o memory_tambrisk.txt");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("warning: memory_trits.txt exists"), std::string::npos) << r.err;
}

TEST(QuillCommand, DisassemblesToSourceThatAssemblesToTheSameImage) {
  TempFolder folder;
  folder.write("p.tasm", "start: lit 400\nloop: jne loop, #3\n.text \"ok\"\n");
  ASSERT_EQ(quill(folder, "asm p.tasm -s p.sym").exit_code, 0);
  const CommandResult dis = quill(folder, "dis p.tern --symbols p.sym -o back.tasm");
  ASSERT_EQ(dis.exit_code, 0) << dis.err;
  EXPECT_NE(folder.read("back.tasm").find("loop:"), std::string::npos);
  ASSERT_EQ(quill(folder, "asm back.tasm -o back.tern").exit_code, 0);
  EXPECT_EQ(folder.read("back.tern"), folder.read("p.tern"));
}

TEST(QuillCommand, BenchReportsAWorkloadThatStops) {
  TempFolder folder;
  folder.write("halt.tern", ".");
  const CommandResult r = quill(folder, "bench --seconds 1 halt.tern");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "quill bench: halt.tern stopped after 1 instructions: halted\n");
}

TEST(QuillCommand, EveryFileReadOfAFolderSaysSoInsteadOfAborting) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("dir"));
  folder.write("p.tasm", "halt\n");
  folder.write("inc.tasm", ".include \"dir\"\n");
  ASSERT_EQ(quill(folder, "asm p.tasm").exit_code, 0);
  // A folder to boot whose trit file is a folder: its text file must not be booted in its place.
  std::filesystem::create_directories(folder.file("boot/memory_trits.txt"));
  std::filesystem::copy_file(folder.file("p.tern"), folder.file("boot/memory_tambrisk.txt"));
  struct Case {
    const char* args;
    int exit_code;
    const char* message;
  };
  const Case cases[] = {
      {"asm dir", 1, "quill asm: dir: is a directory\n"},
      {"asm inc.tasm", 1, "inc.tasm:1:1: error: cannot open the include file 'dir'\n"},
      {"dis dir", 2, "quill dis: dir: is a directory\n"},
      {"dis p.tern --symbols dir", 2, "quill dis: dir: is a directory\n"},
      {"run --keys-file dir p.tern", 2, "quill run: dir: is a directory\n"},
      {"bench dir", 2, "quill bench: dir: is a directory\n"},
      {"run boot", 2, "quill run: no readable memory image in folder 'boot'\n"},
  };
  for (const Case& c : cases) {
    const CommandResult r = quill(folder, c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message) << c.args;
  }
}

}  // namespace
}  // namespace quill::test
