#include "support/test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

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
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1,
                               -1, 0);
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

struct Connection {
  int fd = -1;
  SSL* ssl = nullptr;

  int read(char* buffer, int size) {
    return ssl ? SSL_read(ssl, buffer, size) : static_cast<int>(::recv(fd, buffer, static_cast<size_t>(size), 0));
  }
  bool write(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const int n = ssl ? SSL_write(ssl, bytes.data() + sent, static_cast<int>(bytes.size() - sent))
                        : static_cast<int>(::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL));
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
};

// Reads up to the blank line that ends the request headers.
bool read_request(Connection& c, std::string& request) {
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const int n = c.read(buffer, sizeof buffer);
    if (n <= 0) return false;
    request.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

// Waits until the client closes the connection or the server stops.
void wait_for_close(int fd, const std::atomic<bool>& stopping) {
  while (!stopping.load()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      return;  // the client closed (or sent more): it is not waiting any more
    }
  }
}

}  // namespace

std::string http_reply(int status, const std::string& body, const std::string& extra_headers) {
  return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + extra_headers + "\r\n" + body;
}

TestHttpServer::TestHttpServer(bool tls) {
  // The client honours the proxy variables; loopback tests must not go through one.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  if (tls) {
    signal(SIGPIPE, SIG_IGN);  // TLS writes to a client that has gone must fail, not kill the test
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr || !make_certificate(context, certificate_file())) {
      SSL_CTX_free(context);
      return;
    }
    tls_ = context;
  }
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return;
  }
  listener_ = fd;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

TestHttpServer::~TestHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) close(listener_);
  SSL_CTX_free(static_cast<SSL_CTX*>(tls_));
}

void TestHttpServer::route(const std::string& target, Behaviour behaviour, const std::string& response) {
  std::lock_guard<std::mutex> hold(mutex_);
  routes_[target] = Route{behaviour, response};
}

std::string TestHttpServer::url(const std::string& target) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + target;
}

std::u16string TestHttpServer::url16(const std::string& target) const {
  const std::string text = url(target);
  return std::u16string(text.begin(), text.end());
}

std::string TestHttpServer::last_request() {
  std::lock_guard<std::mutex> hold(mutex_);
  return last_request_;
}

void TestHttpServer::serve() {
  while (!stopping_.load()) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    timeval limit{10, 0};  // a client that vanishes mid-handshake cannot hold the server
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    handle(client);
    close(client);
  }
}

void TestHttpServer::handle(int client) {
  Connection c{client, nullptr};
  if (tls_ != nullptr) {
    c.ssl = SSL_new(static_cast<SSL_CTX*>(tls_));
    SSL_set_fd(c.ssl, client);
    if (SSL_accept(c.ssl) != 1) {
      SSL_free(c.ssl);
      return;
    }
  }
  std::string request;
  bool clean = true;
  if (read_request(c, request)) {
    ++requests_;
    Route route{Behaviour::reply, http_reply(404, "no route")};
    {
      std::lock_guard<std::mutex> hold(mutex_);
      last_request_ = request.substr(0, request.find("\r\n\r\n"));
      const size_t start = request.find(' ') + 1;
      const auto found = routes_.find(request.substr(start, request.find(' ', start) - start));
      if (found != routes_.end()) route = found->second;
    }
    const size_t body_at = route.response.find("\r\n\r\n") + 4;
    switch (route.behaviour) {
      case Behaviour::reply: c.write(route.response); break;
      case Behaviour::stall: wait_for_close(client, stopping_); break;
      case Behaviour::trickle:
        c.write(route.response.substr(0, body_at));
        for (size_t i = body_at; i < route.response.size() && !stopping_.load(); ++i) {
          if (!c.write(route.response.substr(i, 1))) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        break;
      case Behaviour::hang_up: break;
      case Behaviour::reset: {
        c.write(route.response);
        clean = false;
        linger abort{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        break;
      }
    }
  }
  if (c.ssl != nullptr) {
    if (clean) SSL_shutdown(c.ssl);
    SSL_free(c.ssl);
  }
}

uint16_t closed_port() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  uint16_t port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace quill::test
