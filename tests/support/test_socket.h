// The few socket operations behind the test HTTP server, for each system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill::test {

using TestSocket = intptr_t;
inline constexpr TestSocket kNoSocket = -1;

// Once per process before any socket: starts the socket library, keeps writes to a
// closed connection from ending the process, and clears the proxy settings that
// the HTTP client would honour (loopback tests must not go through a proxy).
void socket_prepare();

// A listening socket on 127.0.0.1 at a port the system picks; kNoSocket on failure.
TestSocket socket_listen(uint16_t& port);

// True when `s` has something to read (or has been closed) within `ms`.
bool socket_readable(TestSocket s, int ms);

// The next connection, with reads limited to 10 s so that a vanished client cannot
// hold the server; kNoSocket on failure.
TestSocket socket_accept(TestSocket listener);

// recv: the count read, 0 at the end, negative on an error.
int socket_read(TestSocket s, char* buffer, int size);

// Sends all of `bytes`; false when the connection fails first.
bool socket_write(TestSocket s, const char* bytes, size_t length);

// Makes the coming close reset the connection instead of ending it cleanly.
void socket_reset_on_close(TestSocket s);

void socket_close(TestSocket s);

}  // namespace quill::test
