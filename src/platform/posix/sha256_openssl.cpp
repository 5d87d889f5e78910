#include <openssl/evp.h>

#include <cstring>

#include "platform/sha256.h"

namespace quill {

bool sha256(const uint8_t* data, size_t length, uint8_t (&digest)[kSha256Length]) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int out_length = 0;
  if (EVP_Digest(data, length, out, &out_length, EVP_sha256(), nullptr) != 1) return false;
  if (out_length != kSha256Length) return false;
  std::memcpy(digest, out, kSha256Length);
  return true;
}

}  // namespace quill
