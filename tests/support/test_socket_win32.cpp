#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>

#include "support/test_socket.h"

namespace quill::test {

void socket_prepare() {
  WSADATA data;
  (void)WSAStartup(MAKEWORD(2, 2), &data);  // counted: each call matched by none is harmless in a test
}

TestSocket socket_listen(uint16_t& port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 16) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (s != INVALID_SOCKET) closesocket(s);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return static_cast<TestSocket>(s);
}

bool socket_readable(TestSocket s, int ms) {
  WSAPOLLFD p{static_cast<SOCKET>(s), POLLRDNORM, 0};
  return WSAPoll(&p, 1, ms) > 0;
}

TestSocket socket_accept(TestSocket listener) {
  const SOCKET client = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (client == INVALID_SOCKET) return kNoSocket;
  const DWORD limit_ms = 10'000;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit_ms), sizeof limit_ms);
  return static_cast<TestSocket>(client);
}

int socket_read(TestSocket s, char* buffer, int size) { return recv(static_cast<SOCKET>(s), buffer, size, 0); }

bool socket_write(TestSocket s, const char* bytes, size_t length) {
  size_t sent = 0;
  while (sent < length) {
    const int n = send(static_cast<SOCKET>(s), bytes + sent, static_cast<int>(length - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void socket_reset_on_close(TestSocket s) {
  linger abort{1, 0};
  setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
}

void socket_close(TestSocket s) { closesocket(static_cast<SOCKET>(s)); }

}  // namespace quill::test
