// TLS for the test HTTP server, for each system: on Linux the server speaks TLS on
// its own connections; under Wine a front process speaks it on a port of its own
// and hands the plain bytes to the server's listener.
#pragma once

#include <string>

#include "support/test_socket.h"

namespace quill::test {

struct TlsEndpoint;

// TLS with a new self-signed certificate for 127.0.0.1 and localhost, written as PEM
// to `folder` + "cert.pem", for a server whose plain listener is at `plain_port`.
// Writes the port that clients use into `public_port`. Null on failure.
TlsEndpoint* tls_start(const std::string& folder, uint16_t plain_port, uint16_t& public_port);

void tls_stop(TlsEndpoint* endpoint);

// One connection's TLS state; `session` stays null when the bytes arrive in plain.
struct TlsSession {
  void* session = nullptr;
};

// The server side of the handshake on an accepted connection; false when it fails.
bool tls_accept(TlsEndpoint* endpoint, TestSocket s, TlsSession& tls);
int tls_read(TlsSession& tls, char* buffer, int size);
bool tls_write(TlsSession& tls, const char* bytes, size_t length);
// Ends the session, with the closing alert when `clean`.
void tls_end(TlsSession& tls, bool clean);

}  // namespace quill::test
