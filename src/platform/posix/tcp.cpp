#include "platform/tcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace quill {
namespace {

int fd_of(uintptr_t handle) { return static_cast<int>(handle); }

}  // namespace

bool tcp_listen(TcpListener& listener, uint16_t port) {
  if (listener.open) return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int on = 1;
  (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // a restarted editor reuses its port at once
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return false;
  }
  listener.handle = static_cast<uintptr_t>(fd);
  listener.port = ntohs(address.sin_port);
  listener.open = true;
  return true;
}

bool tcp_accept(TcpListener& listener, TcpConnection& connection) {
  if (!listener.open || connection.open) return false;
  int fd = -1;
  do {
    fd = ::accept4(fd_of(listener.handle), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR && listener.interrupted.load() == 0);
  if (fd >= 0 && listener.interrupted.load() != 0) ::close(fd);
  if (fd < 0 || listener.interrupted.load() != 0) return false;
  const int on = 1;
  (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // replies are small and awaited
  connection.handle = static_cast<uintptr_t>(fd);
  connection.open = true;
  return true;
}

bool tcp_read(TcpConnection& connection, uint8_t* bytes, size_t capacity, size_t& received) {
  if (!connection.open) return false;
  ssize_t n = 0;
  do {
    n = ::recv(fd_of(connection.handle), bytes, capacity, 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  received = static_cast<size_t>(n);
  return true;
}

bool tcp_write(TcpConnection& connection, const uint8_t* bytes, size_t length) {
  if (!connection.open) return false;
  while (length > 0) {
    const ssize_t n = ::send(fd_of(connection.handle), bytes, length, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// shutdown wakes a thread blocked in accept or recv on Linux; close alone would not.
void tcp_interrupt(TcpListener& listener) {
  listener.interrupted.store(1);
  if (listener.open) (void)::shutdown(fd_of(listener.handle), SHUT_RDWR);
}

void tcp_interrupt(TcpConnection& connection) {
  if (connection.open) (void)::shutdown(fd_of(connection.handle), SHUT_RDWR);
}

void tcp_close(TcpListener& listener) {
  if (!listener.open) return;
  ::close(fd_of(listener.handle));
  listener.open = false;
}

void tcp_close(TcpConnection& connection) {
  if (!connection.open) return;
  ::close(fd_of(connection.handle));
  connection.open = false;
}

}  // namespace quill
