#include "platform/win32/http_trust.h"

#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quill {

bool http_trust_load(const char* path, HttpTrust& trust) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char text[16'384];
  const size_t length = std::fread(text, 1, sizeof text, file);
  std::fclose(file);
  DWORD size = 0;
  if (!CryptStringToBinaryA(text, static_cast<DWORD>(length), CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr)) {
    return false;
  }
  auto* der = static_cast<uint8_t*>(std::malloc(size));
  if (der == nullptr || !CryptStringToBinaryA(text, static_cast<DWORD>(length), CRYPT_STRING_BASE64HEADER, der, &size,
                                              nullptr, nullptr)) {
    std::free(der);
    return false;
  }
  trust.der = der;
  trust.der_length = size;
  return true;
}

// A plain HTTP request refuses security flags; they matter only once a redirect
// leads to HTTPS, where the same request carries on.
void http_trust_prepare(HINTERNET request) {
  DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
  (void)WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

bool http_trust_check(const HttpTrust& trust, HINTERNET request) {
  DWORD flags = 0;
  DWORD size = sizeof flags;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, &size) ||
      (flags & SECURITY_FLAG_SECURE) == 0) {
    return true;  // the final reply came over plain HTTP
  }
  PCCERT_CONTEXT presented = nullptr;
  size = sizeof presented;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &presented, &size) || presented == nullptr) {
    return false;
  }
  const bool same = presented->cbCertEncoded == trust.der_length &&
                    std::memcmp(presented->pbCertEncoded, trust.der, trust.der_length) == 0;
  CertFreeCertificateContext(presented);
  return same;
}

void http_trust_free(HttpTrust& trust) {
  std::free(trust.der);
  trust.der = nullptr;
  trust.der_length = 0;
}

}  // namespace quill
