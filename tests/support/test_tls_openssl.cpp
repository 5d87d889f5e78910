#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>

#include "support/test_tls.h"

namespace quill::test {
namespace {

// A self-signed certificate for 127.0.0.1 and localhost, valid for a day; the
// key and certificate go into `tls`, the certificate also into `pem_path`.
bool make_certificate(SSL_CTX* tls, const std::string& pem_path) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  bool ok = key != nullptr && cert != nullptr;
  if (ok) {
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    const std::pair<int, const char*> extensions[] = {{NID_basic_constraints, "critical,CA:TRUE"},
                                                      {NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1"}};
    for (const auto& [nid, value] : extensions) {
      X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
      ok = ok && extension != nullptr && X509_add_ext(cert, extension, -1) == 1;
      X509_EXTENSION_free(extension);
    }
    ok = ok && X509_sign(cert, key, EVP_sha256()) > 0;
    ok = ok && SSL_CTX_use_certificate(tls, cert) == 1 && SSL_CTX_use_PrivateKey(tls, key) == 1;
    FILE* file = ok ? std::fopen(pem_path.c_str(), "w") : nullptr;
    ok = file != nullptr && PEM_write_X509(file, cert) == 1;
    if (file != nullptr) std::fclose(file);
  }
  X509_free(cert);
  EVP_PKEY_free(key);
  return ok;
}

}  // namespace

TlsEndpoint* tls_start(const std::string& folder, uint16_t plain_port, uint16_t& public_port) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr || !make_certificate(context, folder + "cert.pem")) {
    SSL_CTX_free(context);
    return nullptr;
  }
  public_port = plain_port;
  return reinterpret_cast<TlsEndpoint*>(context);
}

void tls_stop(TlsEndpoint* endpoint) { SSL_CTX_free(reinterpret_cast<SSL_CTX*>(endpoint)); }

bool tls_accept(TlsEndpoint* endpoint, TestSocket s, TlsSession& tls) {
  SSL* ssl = SSL_new(reinterpret_cast<SSL_CTX*>(endpoint));
  SSL_set_fd(ssl, static_cast<int>(s));
  if (SSL_accept(ssl) != 1) {
    SSL_free(ssl);
    return false;
  }
  tls.session = ssl;
  return true;
}

int tls_read(TlsSession& tls, char* buffer, int size) { return SSL_read(static_cast<SSL*>(tls.session), buffer, size); }

bool tls_write(TlsSession& tls, const char* bytes, size_t length) {
  size_t sent = 0;
  while (sent < length) {
    const int n = SSL_write(static_cast<SSL*>(tls.session), bytes + sent, static_cast<int>(length - sent));
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void tls_end(TlsSession& tls, bool clean) {
  if (tls.session == nullptr) return;
  if (clean) SSL_shutdown(static_cast<SSL*>(tls.session));
  SSL_free(static_cast<SSL*>(tls.session));
  tls.session = nullptr;
}

}  // namespace quill::test
