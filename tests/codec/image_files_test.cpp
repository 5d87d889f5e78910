#include "codec/image_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

#include "support/temp_folder.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::TempFolder;
using test::TestMemory;

constexpr const char* kTrits = kTritFileName;
constexpr const char* kText = kTextFileName;

std::string repeat(char c, size_t n) { return std::string(n, c); }

bool load(TestMemory& memory, const TempFolder& folder) {
  return load_memory_files(memory.data(), memory.size, folder.path.c_str());
}

TEST(ImageLoad, TritFileDecidesAloneWhenItExists) {
  TempFolder folder;
  TestMemory memory(100);
  folder.write(kText, "+++");
  folder.write(kTrits, "");  // empty trit file: fails, and the good text file is not tried
  EXPECT_FALSE(load(memory, folder));
  folder.write(kTrits, "-+.");
  ASSERT_TRUE(load(memory, folder));
  EXPECT_EQ(memory.symbols(0, 3), "4..");  // tryte 0 from the trit file, the rest untouched
}

TEST(ImageLoad, TritFileLengthMustBeWholeTrytesWithinMemory) {
  TempFolder folder;
  TestMemory memory(100);
  folder.write(kTrits, repeat('+', 300));
  EXPECT_TRUE(load(memory, folder));
  folder.write(kTrits, repeat('+', 303));  // one tryte too many
  EXPECT_FALSE(load(memory, folder));
  folder.write(kTrits, repeat('+', 299));
  EXPECT_FALSE(load(memory, folder));
  folder.write(kTrits, repeat('+', 4));
  EXPECT_FALSE(load(memory, folder));
}

TEST(ImageLoad, TritFileBytesAreTakenAsTheyAre) {
  TempFolder folder;
  TestMemory memory(4);
  folder.write(kTrits, "abc+++");
  ASSERT_TRUE(load(memory, folder));
  EXPECT_EQ(memory.symbols(0, 4), "?+..");
}

TEST(ImageLoad, TextFileIsUsedOnlyWithoutATritFile) {
  TempFolder folder;
  TestMemory memory(10);
  EXPECT_FALSE(load(memory, folder));  // neither file
  folder.write(kText, "-0+\n");
  ASSERT_TRUE(load(memory, folder));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(memory.data()), 12), "-----.+++...");
}

TEST(ImageLoad, TextFileAllowsWhitespaceAnywhere) {
  TempFolder folder;
  TestMemory memory(5);
  folder.write(kText, " \t\r\n\v\f1 2\n3\r\n45\n\n");  // exactly as many symbols as trytes
  ASSERT_TRUE(load(memory, folder));
  EXPECT_EQ(memory.symbols(0, 5), "12345");
  folder.write(kText, "123456\n");  // one symbol too many
  EXPECT_FALSE(load(memory, folder));
  folder.write(kText, "");
  EXPECT_FALSE(load(memory, folder));
  folder.write(kText, " \n\t ");
  EXPECT_FALSE(load(memory, folder));
}

TEST(ImageLoad, TextFileRejectsEveryByteThatIsNeitherSymbolNorSpace) {
  TempFolder folder;
  TestMemory memory(5);
  for (int b = 0; b < 256; ++b) {
    const bool symbol = symbol_value(static_cast<uint8_t>(b)) != kNoTryte;
    const bool space = b == ' ' || (b >= '\t' && b <= '\r');
    folder.write(kText, std::string("12") + static_cast<char>(b) + "3");
    EXPECT_EQ(load(memory, folder), symbol || space) << "byte " << b;
  }
}

TEST(ImageLoad, ReadsLongTextFilesAcrossBufferBoundaries) {
  TempFolder folder;
  const uint64_t size = 300'000;
  TestMemory original(size), loaded(size);
  std::mt19937 random(3);
  for (uint64_t i = 0; i < size; ++i) put_tryte(original.data(), i, static_cast<uint8_t>(random() % 27));
  ASSERT_TRUE(save_memory_files(original.data(), size, folder.path.c_str()));
  std::remove(folder.file(kTrits).c_str());
  ASSERT_TRUE(load(loaded, folder));
  EXPECT_EQ(loaded.bytes, original.bytes);
}

TEST(ImageLoad, ATritFileThatIsThereButUnreadableFailsInsteadOfBootingTheTextFile) {
  TempFolder folder;
  TestMemory memory(10);
  folder.write(kText, "+++");
  std::filesystem::create_directory(folder.file(kTrits));  // a folder in the trit file's place
  EXPECT_FALSE(load(memory, folder));
  EXPECT_EQ(memory.symbols(0, 3), "...");
  std::filesystem::remove(folder.file(kTrits));
  std::filesystem::remove(folder.file(kText));
  std::filesystem::create_directory(folder.file(kText));  // only a missing trit file leads to the text file
  EXPECT_FALSE(load(memory, folder));
}

TEST(ImageLoad, ALoadRacingAnInPlaceRewriteFails) {
  struct Case {
    const char* change;
    std::ios::openmode mode;
    const char* bytes;
    bool loads;
  };
  const Case cases[] = {
      {"none", std::ios::app, "", true},
      {"grew", std::ios::app, "+++", false},
      {"shrank", std::ios::trunc, "+++", false},
      {"same length", std::ios::trunc, "------", true},  // indistinguishable, and a whole image either way
  };
  for (const bool trits : {true, false}) {
    for (const Case& c : cases) {
      TempFolder folder;
      const char* name = trits ? kTrits : kText;
      folder.write(name, "+++...");
      OpenedFile opened;
      ASSERT_EQ(platform_open_for_reading(folder.file(name).c_str(), FileKinds::regular_only, opened),
                FileOpenOutcome::opened);
      std::ofstream(folder.file(name), std::ios::binary | c.mode) << c.bytes;
      TestMemory memory(10);
      const bool loaded = trits ? load_trit_image(opened, memory.data(), memory.size)
                                : load_text_image(opened, memory.data(), memory.size);
      EXPECT_EQ(loaded, c.loads) << name << ", " << c.change;
    }
  }
}

// A folder whose path, trailing '/' included, is exactly `length` characters.
std::string folder_of_length(const TempFolder& base, size_t length) {
  std::string path = base.path;
  while (path.size() < length) {
    const size_t remaining = length - path.size();
    size_t part = std::min<size_t>(100, remaining - 1);
    if (remaining - (part + 1) == 1) --part;  // never leave room for only a bare '/'
    path += repeat('d', part) + "/";
    std::filesystem::create_directory(path);
  }
  EXPECT_EQ(path.size(), length);
  return path;
}

// Start-up loads into memory that holds nothing yet: the trytes after the image
// must come out zero, and a trit file full of memory must leave nothing to fill.
TEST(ImageLoad, LoadIntoUnsetMemoryZeroesTheTrytesAfterTheImage) {
  struct Case {
    const char* file;
    std::string content;
    const char* expected;  // symbols of all 6 trytes
  };
  const Case cases[] = {
      {kTrits, "+++-.-", "+=...."},
      {kTrits, repeat('+', 18), "++++++"},
      {kText, " 0\nI\n", "0I...."},
      {kText, "ABCDEF", "ABCDEF"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    TestMemory memory(6);
    std::fill(memory.bytes.begin(), memory.bytes.end(), uint8_t{0});
    folder.write(c.file, c.content);
    ASSERT_TRUE(load_memory_image(memory.data(), memory.size, folder.path.c_str())) << c.content;
    EXPECT_EQ(memory.symbols(0, 6), c.expected) << c.content;
  }
}

TEST(ImageLoad, JoinedPathsMustFitWithoutTruncation) {
  TempFolder base;
  TestMemory memory(3);
  // 243 characters: the trit file's path is 259 and fits; the text file's is 262.
  const std::string mid = folder_of_length(base, 243);
  std::ofstream(mid + kText) << "123";
  EXPECT_FALSE(load_memory_files(memory.data(), memory.size, mid.c_str()));
  std::ofstream(mid + kTrits) << "+++";
  EXPECT_TRUE(load_memory_files(memory.data(), memory.size, mid.c_str()));
  // 244 characters: not even the trit file's path fits.
  const std::string longer = folder_of_length(base, 244);
  std::ofstream(longer + kTrits) << "+++";
  EXPECT_FALSE(load_memory_files(memory.data(), memory.size, longer.c_str()));
  // 240 characters: the text file's path fits.
  const std::string shorter = folder_of_length(base, 240);
  std::ofstream(shorter + kText) << "123";
  EXPECT_TRUE(load_memory_files(memory.data(), memory.size, shorter.c_str()));
  // A save into the 243-character folder writes the trit file, then fails on the text file.
  EXPECT_FALSE(save_memory_files(memory.data(), memory.size, mid.c_str()));
}

TEST(ImageSave, WritesBothFormatsAndLoadsBack) {
  TempFolder folder;
  TestMemory memory(7);
  ASSERT_TRUE(memory.load("-0=+J.~"));
  ASSERT_TRUE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  EXPECT_EQ(folder.read(kTrits), std::string(memory.bytes.begin(), memory.bytes.end()));
  EXPECT_EQ(folder.read(kText), "-0=+J.~");
  EXPECT_EQ(folder.listing(), "memory_tambrisk.txt memory_trits.txt");
  TestMemory back(7);
  ASSERT_TRUE(load(back, folder));
  EXPECT_EQ(back.bytes, memory.bytes);
}

TEST(ImageSave, FullSizeZeroMemoryRoundTrips) {
  TempFolder folder;
  const uint64_t size = 64'000'000;
  TestMemory memory(size);
  ASSERT_TRUE(save_memory_files(memory.data(), size, folder.path.c_str()));
  EXPECT_EQ(std::filesystem::file_size(folder.file(kTrits)), 192'000'000u);
  EXPECT_EQ(std::filesystem::file_size(folder.file(kText)), 64'000'000u);
  const std::string text = folder.read(kText);
  EXPECT_EQ(text.find_first_not_of('.'), std::string::npos);
  ASSERT_TRUE(load(memory, folder));
  // 192,000,003 bytes: one tryte more than the memory holds.
  std::ofstream(folder.file(kTrits), std::ios::app) << "...";
  EXPECT_FALSE(load(memory, folder));
}

TEST(ImageSave, InvalidTryteFailsTheTextFileAndKeepsTheOldOne) {
  TempFolder folder;
  TestMemory memory(5000);
  folder.write(kTrits, "old trits");
  folder.write(kText, "old text");
  memory.bytes[3 * 4500 + 1] = 'x';  // a tryte in the second 4096-tryte chunk
  EXPECT_FALSE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  EXPECT_EQ(folder.read(kTrits), std::string(memory.bytes.begin(), memory.bytes.end()));  // written first
  EXPECT_EQ(folder.read(kText), "old text");
  EXPECT_EQ(folder.listing(), "memory_tambrisk.txt memory_trits.txt");  // no temporary file left
}

TEST(ImageSave, MissingFolderFailsAndCreatesNothing) {
  TempFolder folder;
  TestMemory memory(3);
  const std::string missing = folder.path + "absent/";
  EXPECT_FALSE(save_memory_files(memory.data(), memory.size, missing.c_str()));
  EXPECT_EQ(folder.listing(), "");
}

TEST(ImageSave, SaveRemovesTheTemporariesThatAKilledSaveLeft) {
  TempFolder folder;
  TestMemory memory(3);
  const char* stale[] = {"memory_trits.new", "memory_tambrisk.new"};
  for (const char* name : stale) folder.write(name, "a save killed half-way");
  ASSERT_TRUE(save_memory_files(memory.data(), memory.size, folder.path.c_str()));
  EXPECT_EQ(folder.listing(), "memory_tambrisk.txt memory_trits.txt");
  // At start-up only those two names go; look-alikes stay.
  for (const char* name : stale) folder.write(name, "a save killed half-way");
  folder.write("memory_trits.new.keep", "mine");
  folder.write("memory.new", "mine");
  remove_stale_image_temporaries(folder.path.c_str());
  EXPECT_EQ(folder.listing(), "memory.new memory_tambrisk.txt memory_trits.new.keep memory_trits.txt");
}

TEST(TextImageWrite, CountBeyondMemoryLeavesTheFileAlone) {
  TempFolder folder;
  TestMemory memory(5);
  ASSERT_TRUE(memory.load("12345"));
  folder.write("image.txt", "keep");
  EXPECT_FALSE(write_text_image(memory.data(), memory.size, folder.file("image.txt").c_str(), 6));
  EXPECT_EQ(folder.read("image.txt"), "keep");
  ASSERT_TRUE(write_text_image(memory.data(), memory.size, folder.file("image.txt").c_str(), 3));
  EXPECT_EQ(folder.read("image.txt"), "123");
  ASSERT_TRUE(write_text_image(memory.data(), memory.size, folder.file("empty").c_str(), 0));
  EXPECT_EQ(folder.read("empty"), "");
  EXPECT_EQ(folder.listing(), "empty image.txt");
}

}  // namespace
}  // namespace quill
