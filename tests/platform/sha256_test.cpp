// SHA-256 against published test vectors.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace quill {
namespace {

std::string hex_digest(const std::string& input) {
  uint8_t digest[kSha256Length] = {};
  if (!sha256(reinterpret_cast<const uint8_t*>(input.data()), input.size(), digest)) return "failed";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : digest) out += {kHex[b >> 4], kHex[b & 15]};
  return out;
}

TEST(Sha256, MatchesTheStandardVectors) {
  EXPECT_EQ(hex_digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex_digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hex_digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(hex_digest(std::string(1'000'000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace quill
