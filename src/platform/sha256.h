// SHA-256 of a byte buffer, from the system's cryptography library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

inline constexpr size_t kSha256Length = 32;

// Writes the SHA-256 digest of `length` bytes at `data` into `digest`. Returns
// false, writing nothing, when the library fails. Any thread.
[[nodiscard]] bool sha256(const uint8_t* data, size_t length, uint8_t (&digest)[kSha256Length]);

}  // namespace quill
