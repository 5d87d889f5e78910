// A scripted HTTP or HTTPS server on 127.0.0.1 for the fetch tests. It answers one
// connection at a time on a thread of its own, looks the request target up in its
// routes, and can also stall, trickle, close or reset. The HTTPS form uses a
// certificate for 127.0.0.1 made when the server starts.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "support/temp_folder.h"
#include "support/test_socket.h"
#include "support/test_tls.h"

namespace quill::test {

enum class Behaviour {
  reply,    // send the response and close
  stall,    // read the request, then send nothing until the client gives up
  trickle,  // send the response's headers, then its body one byte every 100 ms
  hang_up,  // read the request, then close without a reply
  reset,    // send the response (typically cut short), then reset the connection
  endless,  // send the response, then its last line again and again until the client gives up
};

struct Route {
  Behaviour behaviour = Behaviour::reply;
  std::string response;  // the raw bytes of the reply
};

// A complete HTTP/1.1 reply that closes the connection.
std::string http_reply(int status, const std::string& body, const std::string& extra_headers = "");

class TestHttpServer {
 public:
  explicit TestHttpServer(bool tls = false);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  bool started() const { return listener_ != kNoSocket && (!secure_ || tls_ != nullptr); }
  void route(const std::string& target, Behaviour behaviour, const std::string& response = "");
  std::string url(const std::string& target) const;
  std::u16string url16(const std::string& target) const;
  // The request line and headers of the last request, as received.
  std::string last_request();
  int request_count() const { return requests_.load(); }
  // PEM file of the self-signed certificate (HTTPS only).
  std::string certificate_file() const { return folder_.file("cert.pem"); }

 private:
  void serve();
  void handle(TestSocket client);

  TempFolder folder_;
  bool secure_ = false;
  TlsEndpoint* tls_ = nullptr;
  TestSocket listener_ = kNoSocket;
  uint16_t port_ = 0;  // where clients connect
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::map<std::string, Route> routes_;
  std::string last_request_;
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound, then closed).
uint16_t closed_port();

}  // namespace quill::test
