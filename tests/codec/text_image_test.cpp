#include "codec/text_image.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/tryte.h"

namespace quill {
namespace {

// Feeds `text` in pieces of `piece` bytes into `size` trytes prefilled with "+++";
// returns the resulting symbols ('?' for an invalid tryte) and the reader.
std::string feed(const std::string& text, uint64_t size, uint64_t start, size_t piece, TextImageReader& reader) {
  std::vector<uint8_t> memory(3 * size, '+');
  reader = TextImageReader{start, 0, false};
  for (size_t at = 0; at < text.size(); at += piece) {
    const size_t n = std::min(piece, text.size() - at);
    if (!text_image_feed(reader, memory.data(), size, reinterpret_cast<const uint8_t*>(text.data() + at), n)) break;
  }
  std::string symbols;
  for (uint64_t i = 0; i < size; ++i) {
    const uint8_t tv = tryte_value_at(memory.data(), i);
    symbols += tv == kNoTryte ? '?' : kSymbolAlphabet[tv];
  }
  return symbols;
}

TEST(TextImageFeed, WritesExactlyTheSymbolsWhateverThePieces) {
  std::mt19937 random(5);
  for (int round = 0; round < 300; ++round) {
    const uint64_t size = 1 + random() % 40;
    const uint64_t start = random() % size;
    std::string text, expected(size, '+');
    uint64_t next = start;
    while (next < size && random() % 8 != 0) {
      if (random() % 4 == 0) text += " \n\t"[random() % 3];
      const char symbol = kSymbolAlphabet[random() % 27];
      text += symbol;
      expected[next++] = symbol;
    }
    for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{64}}) {
      TextImageReader reader;
      ASSERT_EQ(feed(text, size, start, piece, reader), expected) << text << " piece " << piece;
      EXPECT_FALSE(reader.failed);
      EXPECT_EQ(reader.next, next);
      EXPECT_EQ(reader.stored, next - start);
    }
  }
}

TEST(TextImageFeed, StopsAtTheFirstBadByteOrAtTheEndOfMemory) {
  TextImageReader reader;
  EXPECT_EQ(feed("1234x67", 10, 0, 64, reader), "1234++++++");
  EXPECT_TRUE(reader.failed);
  EXPECT_EQ(reader.stored, 4u);
  EXPECT_EQ(feed("12 34 5", 4, 0, 64, reader), "1234");  // a fifth symbol has no tryte
  EXPECT_TRUE(reader.failed);
  EXPECT_EQ(feed("12 34 \n", 4, 0, 64, reader), "1234");  // trailing whitespace is fine
  EXPECT_FALSE(reader.failed);
}

TEST(TextImageEncode, GivesSymbolsAndRefusesInvalidTrytes) {
  std::vector<uint8_t> memory(3 * 27);
  for (uint8_t tv = 0; tv < 27; ++tv) put_tryte(memory.data(), tv, tv);
  char out[27];
  ASSERT_TRUE(text_image_encode(memory.data(), 0, 27, out));
  EXPECT_EQ(std::string(out, 27), kSymbolAlphabet);
  for (size_t byte = 0; byte < memory.size(); byte += 7) {
    const uint8_t saved = memory[byte];
    memory[byte] = 'x';
    EXPECT_FALSE(text_image_encode(memory.data(), 0, 27, out)) << byte;
    memory[byte] = 0x80;
    EXPECT_FALSE(text_image_encode(memory.data(), 0, 27, out)) << byte;
    memory[byte] = saved;
  }
}

}  // namespace
}  // namespace quill
