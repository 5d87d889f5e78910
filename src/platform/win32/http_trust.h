// Trusting one certificate, read from a PEM file, in place of the
// system's store. The handshake is told to accept an unknown authority, a name or
// date mismatch and wrong usage, and the reply then counts only when the server
// presented exactly that certificate. Only a GET with
// HttpSettings::trusted_certificate_file set reaches this; only the tests set it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>

namespace quill {

struct HttpTrust {
  uint8_t* der = nullptr;  // the certificate's encoded bytes, from malloc
  DWORD der_length = 0;
};

// Reads the first certificate of the PEM file `path`; false when there is none.
[[nodiscard]] bool http_trust_load(const char* path, HttpTrust& trust);

// Lets the request's handshake accept the certificate for a later comparison.
void http_trust_prepare(HINTERNET request);

// After the reply: true when it came over plain HTTP or from a server that
// presented the trusted certificate.
[[nodiscard]] bool http_trust_check(const HttpTrust& trust, HINTERNET request);

void http_trust_free(HttpTrust& trust);

}  // namespace quill
