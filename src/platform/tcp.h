// A TCP listener on the loopback address for one local client at a time: the
// debug adapter's `--port` and the window's `--debug-port`. Only 127.0.0.1 is
// ever bound, so nothing outside this computer can connect.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quill {

struct TcpListener {
  uintptr_t handle = 0;
  uint16_t port = 0;  // the bound port (the system's choice when 0 was asked for)
  bool open = false;
  std::atomic<int32_t> interrupted{0};  // set by tcp_interrupt: accept gives up
};

struct TcpConnection {
  uintptr_t handle = 0;
  bool open = false;
};

// Listens on 127.0.0.1:`port` (0: any free port, written to `listener.port`).
// False (nothing open) when the port is taken or sockets are unavailable.
[[nodiscard]] bool tcp_listen(TcpListener& listener, uint16_t port);

// Waits without a time limit for one client. False when the listener was closed
// or interrupted, or the accept failed.
[[nodiscard]] bool tcp_accept(TcpListener& listener, TcpConnection& connection);

// Reads what has arrived, at most `capacity` bytes, waiting for at least one.
// False at the client's end of stream, on an error or after tcp_interrupt.
[[nodiscard]] bool tcp_read(TcpConnection& connection, uint8_t* bytes, size_t capacity, size_t& received);

// Writes all `length` bytes; false when the connection broke.
[[nodiscard]] bool tcp_write(TcpConnection& connection, const uint8_t* bytes, size_t length);

// Wakes a tcp_accept or tcp_read blocked on another thread (it returns false);
// the handle stays valid until the close. Any thread.
void tcp_interrupt(TcpListener& listener);
void tcp_interrupt(TcpConnection& connection);

// Releases the socket; nothing happens when it is not open. Not while another
// thread is still inside a call on it.
void tcp_close(TcpListener& listener);
void tcp_close(TcpConnection& connection);

}  // namespace quill
