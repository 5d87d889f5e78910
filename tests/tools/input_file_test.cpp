// The one way the tools read files: bounds, and files that change under the reader.
#include "tools/io/input_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"
#include "tools/image/image_file.h"

namespace quill::test {
namespace {

TEST(InputFile, AFileRewrittenWhileItIsReadIsRefused) {
  struct Case {
    const char* change;
    std::ios::openmode mode;
    const char* bytes;
  };
  const Case cases[] = {{"grew", std::ios::app, "+++"}, {"shrank", std::ios::trunc, "+"}};
  for (const Case& c : cases) {
    TempFolder folder;
    folder.write("image.trits", "+++---");
    InputFile in;
    std::string error;
    ASSERT_TRUE(input_open(folder.file("image.trits"), in, error)) << error;
    uint8_t bytes[8];
    size_t got = 0;
    ASSERT_TRUE(input_read(in, bytes, 2, got, error));
    std::ofstream(folder.file("image.trits"), std::ios::binary | c.mode) << c.bytes;
    bool ok = true;
    while (ok && got > 0) ok = input_read(in, bytes, sizeof bytes, got, error);
    EXPECT_FALSE(ok) << c.change;
    EXPECT_EQ(error, folder.file("image.trits") + ": changed while it was being read") << c.change;
  }
}

TEST(InputFile, TextInputsAndImagesStopAtTheirBound) {
  TempFolder folder;
  folder.write("keys", "123456");
  folder.write("image.tern", "12 34 \n\n\n 5");
  folder.write("image.trits", "+++---...");
  std::string text, error;
  EXPECT_TRUE(read_input_file(folder.file("keys"), 6, text, error));
  EXPECT_EQ(text, "123456");
  EXPECT_FALSE(read_input_file(folder.file("keys"), 5, text, error));
  EXPECT_EQ(error, folder.file("keys") + ": larger than 5 bytes");
  EXPECT_EQ(text, "123456");  // untouched
  std::vector<uint8_t> memory(3 * 5, '.');
  uint64_t trytes = 0;
  for (const char* name : {"image.tern", "image.trits"}) {
    EXPECT_TRUE(read_image_into(folder.file(name), memory.data(), 5, trytes, error)) << error;
    EXPECT_FALSE(read_image_into(folder.file(name), memory.data(), 2, trytes, error));
    EXPECT_EQ(error, folder.file(name) + ": larger than a memory of 2 trytes");
  }
  EXPECT_EQ(trytes, 3u);
}

}  // namespace
}  // namespace quill::test
