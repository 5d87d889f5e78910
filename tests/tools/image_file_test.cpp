// Images written by the tools load in the emulator's loader, in both formats;
// every output the tools write replaces a file whole or not at all.
#include "tools/image/image_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "codec/image_files.h"
#include "support/temp_folder.h"
#include "support/test_memory.h"
#include "tools/image/output_file.h"

namespace quill::test {
namespace {

std::vector<uint8_t> some_trytes(size_t n) {
  std::vector<uint8_t> trytes(n);
  for (size_t i = 0; i < n; ++i) trytes[i] = static_cast<uint8_t>((i * 7) % 27);
  return trytes;
}

TEST(ImageFile, BothFormatsLoadInTheEmulatorsLoaderAndReadBack) {
  const std::vector<uint8_t> trytes = some_trytes(250);
  for (const char* name : {kTextFileName, kTritFileName}) {
    TempFolder folder;
    std::string error;
    ASSERT_TRUE(write_image_file(folder.file(name), trytes, image_format_for_path(name), error)) << error;
    EXPECT_EQ(folder.listing(), name);  // no temporary file left behind
    TestMemory memory(300);
    ASSERT_TRUE(load_memory_files(memory.data(), memory.size, folder.path.c_str())) << name;
    std::string expected;
    for (const uint8_t tv : trytes) expected += kSymbolAlphabet[tv];
    EXPECT_EQ(memory.symbols(0, 250), expected);
    EXPECT_EQ(memory.symbols(250, 50), std::string(50, '.'));
    std::vector<uint8_t> read;
    ASSERT_TRUE(read_image_file(folder.file(name), read, error)) << error;
    EXPECT_EQ(read, std::vector<uint8_t>(memory.bytes.begin(), memory.bytes.begin() + 750));
  }
}

TEST(ImageFile, TextImagesBreakLinesEveryHundredSymbols) {
  TempFolder folder;
  std::string error;
  ASSERT_TRUE(write_image_file(folder.file("a.tern"), some_trytes(201), ImageFormat::text, error));
  const std::string text = folder.read("a.tern");
  ASSERT_EQ(text.size(), 201u + 3u);
  EXPECT_EQ(text[100], '\n');
  EXPECT_EQ(text[201], '\n');
  EXPECT_EQ(text.back(), '\n');
}

TEST(ImageFile, FormatFollowsTheNameAndThenTheContents) {
  EXPECT_EQ(image_format_for_path("x/memory_trits.txt"), ImageFormat::trits);
  EXPECT_EQ(image_format_for_path("a.trits"), ImageFormat::trits);
  EXPECT_EQ(image_format_for_path("memory_tambrisk.txt"), ImageFormat::text);
  TempFolder folder;
  std::vector<uint8_t> read;
  std::string error;
  folder.write("plain", "+-.");  // only trit bytes, no whitespace: one tryte
  ASSERT_TRUE(read_image_file(folder.file("plain"), read, error));
  EXPECT_EQ(read.size(), 3u);
  folder.write("three.tern", "+-.");  // a .tern is always text: three trytes
  ASSERT_TRUE(read_image_file(folder.file("three.tern"), read, error));
  EXPECT_EQ(read.size(), 9u);
}

TEST(ImageFile, MalformedImagesSayWhy) {
  TempFolder folder;
  std::vector<uint8_t> read;
  std::string error;
  folder.write("bad.tern", "12\n3a");
  EXPECT_FALSE(read_image_file(folder.file("bad.tern"), read, error));
  EXPECT_EQ(error, folder.file("bad.tern") + ": byte 4 is neither a tryte symbol nor whitespace");
  folder.write("blank.tern", " \n");
  EXPECT_FALSE(read_image_file(folder.file("blank.tern"), read, error));
  EXPECT_EQ(error, folder.file("blank.tern") + ": the image holds no symbols");
  folder.write("short.trits", "+-");
  EXPECT_FALSE(read_image_file(folder.file("short.trits"), read, error));
  EXPECT_EQ(error,
            folder.file("short.trits") + ": a trit image holds three bytes per tryte, and this one holds 2 bytes");
  EXPECT_FALSE(read_image_file(folder.file("none"), read, error));
  EXPECT_EQ(error, folder.file("none") + ": no such file");
  EXPECT_FALSE(write_image_file(folder.file("no/such/dir/x.tern"), some_trytes(3), ImageFormat::text, error));
}

TEST(OutputFile, ReplacesWholeOrLeavesTheOldFileAndSaysWhy) {
  TempFolder folder;
  std::string error;
  folder.write("out.tern", "old");
  folder.write("out.tern.part", "left by a killed run");
  ASSERT_TRUE(write_output_file(folder.file("out.tern"), "new", error)) << error;
  EXPECT_EQ(folder.read("out.tern"), "new");
  EXPECT_EQ(folder.listing(), "out.tern");
  OutputFile out;
  ASSERT_TRUE(output_open(out, folder.file("out.tern"), error));
  std::fputs("half", out.file);
  output_abandon(out);
  EXPECT_EQ(folder.read("out.tern"), "new");
  EXPECT_EQ(folder.listing(), "out.tern");
  EXPECT_FALSE(write_output_file(folder.file("gone/x"), "x", error));
  EXPECT_EQ(error, "cannot create '" + folder.file("gone/x.part") + "' to write '" + folder.file("gone/x") +
                       "': " + std::strerror(ENOENT));
  EXPECT_FALSE(write_output_file(folder.path, "x", error));  // a folder is written straight, and fails
  EXPECT_EQ(error.rfind("cannot write '" + folder.path + "': ", 0), 0u) << error;
}

}  // namespace
}  // namespace quill::test
