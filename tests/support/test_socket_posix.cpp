#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <initializer_list>

#include "support/test_socket.h"

namespace quill::test {

void socket_prepare() {
  signal(SIGPIPE, SIG_IGN);
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
}

TestSocket socket_listen(uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool socket_readable(TestSocket s, int ms) {
  pollfd p{static_cast<int>(s), POLLIN, 0};
  return poll(&p, 1, ms) > 0;
}

TestSocket socket_accept(TestSocket listener) {
  const int client = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return kNoSocket;
  timeval limit{10, 0};
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return client;
}

int socket_read(TestSocket s, char* buffer, int size) {
  return static_cast<int>(recv(static_cast<int>(s), buffer, static_cast<size_t>(size), 0));
}

bool socket_write(TestSocket s, const char* bytes, size_t length) {
  size_t sent = 0;
  while (sent < length) {
    const ssize_t n = send(static_cast<int>(s), bytes + sent, length - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void socket_reset_on_close(TestSocket s) {
  linger abort{1, 0};
  setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

void socket_close(TestSocket s) { close(static_cast<int>(s)); }

}  // namespace quill::test
