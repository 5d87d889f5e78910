#include "platform/tcp.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace quill {
namespace {

SOCKET socket_of(uintptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

// Every listener and connection holds one reference on Winsock, taken at its
// start and given back at its close.
bool tcp_listen(TcpListener& listener, uint16_t port) {
  if (listener.open) return false;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    WSACleanup();
    return false;
  }
  // Another program may not take the port from under us (the Windows default lets it).
  BOOL exclusive = TRUE;
  (void)::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 1) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(s);
    WSACleanup();
    return false;
  }
  listener.handle = static_cast<uintptr_t>(s);
  listener.port = ntohs(address.sin_port);
  listener.open = true;
  return true;
}

bool tcp_accept(TcpListener& listener, TcpConnection& connection) {
  if (!listener.open || connection.open) return false;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  const SOCKET s = ::accept(socket_of(listener.handle), nullptr, nullptr);
  if (s != INVALID_SOCKET && listener.interrupted.load() != 0) ::closesocket(s);
  if (s == INVALID_SOCKET || listener.interrupted.load() != 0) {
    WSACleanup();
    return false;
  }
  BOOL on = TRUE;
  (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  connection.handle = static_cast<uintptr_t>(s);
  connection.open = true;
  return true;
}

bool tcp_read(TcpConnection& connection, uint8_t* bytes, size_t capacity, size_t& received) {
  if (!connection.open) return false;
  const int n = ::recv(socket_of(connection.handle), reinterpret_cast<char*>(bytes),
                       static_cast<int>(capacity > 0x7FFFFFFF ? 0x7FFFFFFF : capacity), 0);
  if (n <= 0) return false;
  received = static_cast<size_t>(n);
  return true;
}

bool tcp_write(TcpConnection& connection, const uint8_t* bytes, size_t length) {
  if (!connection.open) return false;
  while (length > 0) {
    const int chunk = static_cast<int>(length > 0x10000 ? 0x10000 : length);
    const int n = ::send(socket_of(connection.handle), reinterpret_cast<const char*>(bytes), chunk, 0);
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// Nothing but a connection wakes a blocked accept on Windows, so the listener
// connects to itself and accept, seeing the flag, lets that connection go.
void tcp_interrupt(TcpListener& listener) {
  if (!listener.open) return;
  listener.interrupted.store(1);
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(listener.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  (void)::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::closesocket(s);
}

// shutdown wakes a blocked recv.

void tcp_interrupt(TcpConnection& connection) {
  if (connection.open) (void)::shutdown(socket_of(connection.handle), SD_BOTH);
}

void tcp_close(TcpListener& listener) {
  if (!listener.open) return;
  ::closesocket(socket_of(listener.handle));
  listener.open = false;
  WSACleanup();
}

void tcp_close(TcpConnection& connection) {
  if (!connection.open) return;
  ::closesocket(socket_of(connection.handle));
  connection.open = false;
  WSACleanup();
}

}  // namespace quill
