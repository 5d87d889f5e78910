// SHA-256 through the system's cryptography provider, in the order the fetch
// needs: open the provider, create a hash, hash the buffer, finish, then destroy
// the hash and close the provider whatever happened.
#include <windows.h>
// bcrypt.h needs the types windows.h defines.
#include <bcrypt.h>

#include <cstring>

#include "platform/sha256.h"

namespace quill {

bool sha256(const uint8_t* data, size_t length, uint8_t (&digest)[kSha256Length]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  UCHAR out[kSha256Length] = {};
  bool ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
  ok = ok && BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  // The hash takes at most 4 GiB per call: feed larger buffers in pieces.
  size_t done = 0;
  while (ok && done < length) {
    const ULONG piece = length - done > 0x8000'0000u ? 0x8000'0000u : static_cast<ULONG>(length - done);
    ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data + done), piece, 0));
    done += piece;
  }
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, out, static_cast<ULONG>(kSha256Length), 0));
  if (hash != nullptr) (void)BCryptDestroyHash(hash);
  if (algorithm != nullptr) (void)BCryptCloseAlgorithmProvider(algorithm, 0);
  if (ok) std::memcpy(digest, out, kSha256Length);
  return ok;
}

}  // namespace quill
