#include "support/test_http_server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace quill::test {
namespace {

struct Connection {
  TestSocket socket = kNoSocket;
  TlsSession tls;

  int read(char* buffer, int size) {
    return tls.session != nullptr ? tls_read(tls, buffer, size) : socket_read(socket, buffer, size);
  }
  bool write(const std::string& bytes) {
    return tls.session != nullptr ? tls_write(tls, bytes.data(), bytes.size())
                                  : socket_write(socket, bytes.data(), bytes.size());
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
void wait_for_close(TestSocket s, const std::atomic<bool>& stopping) {
  while (!stopping.load()) {
    if (socket_readable(s, 50)) return;  // the client closed (or sent more): it is not waiting any more
  }
}

}  // namespace

std::string http_reply(int status, const std::string& body, const std::string& extra_headers) {
  return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + extra_headers + "\r\n" + body;
}

TestHttpServer::TestHttpServer(bool tls) : secure_(tls) {
  socket_prepare();
  uint16_t plain_port = 0;
  listener_ = socket_listen(plain_port);
  if (listener_ == kNoSocket) return;
  port_ = plain_port;
  if (tls) {
    tls_ = tls_start(folder_.path, plain_port, port_);
    if (tls_ == nullptr) return;
  }
  thread_ = std::thread([this] { serve(); });
}

TestHttpServer::~TestHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (tls_ != nullptr) tls_stop(tls_);
  if (listener_ != kNoSocket) socket_close(listener_);
}

void TestHttpServer::route(const std::string& target, Behaviour behaviour, const std::string& response) {
  std::lock_guard<std::mutex> hold(mutex_);
  routes_[target] = Route{behaviour, response};
}

std::string TestHttpServer::url(const std::string& target) const {
  return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + target;
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
    if (!socket_readable(listener_, 50)) continue;
    const TestSocket client = socket_accept(listener_);
    if (client == kNoSocket) continue;
    handle(client);
    socket_close(client);
  }
}

void TestHttpServer::handle(TestSocket client) {
  Connection c{client, {}};
  if (tls_ != nullptr && !tls_accept(tls_, client, c.tls)) return;
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
      case Behaviour::reply:
        c.write(route.response);
        break;
      case Behaviour::stall:
        wait_for_close(client, stopping_);
        break;
      case Behaviour::trickle:
        c.write(route.response.substr(0, body_at));
        for (size_t i = body_at; i < route.response.size() && !stopping_.load(); ++i) {
          if (!c.write(route.response.substr(i, 1))) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        break;
      case Behaviour::endless: {
        const size_t last = route.response.rfind("\r\n", route.response.size() - 3) + 2;
        std::string lines;
        while (lines.size() < 65'536) lines += route.response.substr(last);
        for (bool more = c.write(route.response); more && !stopping_.load();) more = c.write(lines);
        break;
      }
      case Behaviour::hang_up:
        break;
      case Behaviour::reset: {
        c.write(route.response);
        clean = false;
        socket_reset_on_close(client);
        break;
      }
    }
  }
  tls_end(c.tls, clean);
}

uint16_t closed_port() {
  socket_prepare();
  uint16_t port = 0;
  const TestSocket s = socket_listen(port);
  if (s == kNoSocket) return 0;
  socket_close(s);
  return port;
}

}  // namespace quill::test
