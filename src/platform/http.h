// One synchronous HTTP or HTTPS GET, for the machine's network fetch: URL
// parsing, the request, and an outcome number that reads the same on every
// backend (the Windows HTTP client's error numbers).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quill {

// Outcome numbers other than an HTTP status. Backends map their own failures to
// these so that a program sees the same number on Linux and on Windows.
enum HttpError : uint32_t {
  http_error_other = 1,                        // anything not listed below
  http_error_timeout = 12002,                  // resolving, connecting, a receive or the body read took too long
  http_error_invalid_url = 12005,              // the URL cannot be parsed
  http_error_unrecognized_scheme = 12006,      // a scheme other than http or https
  http_error_name_not_resolved = 12007,        // the host (or the proxy) has no address
  http_error_cannot_connect = 12029,           // the connection was refused or is unreachable
  http_error_connection_reset = 12030,         // the server reset or closed the connection mid-reply
  http_error_invalid_server_response = 12152,  // no reply, a malformed one, or a status outside 100 to 599
  http_error_redirect_failed = 12156,          // a redirect to another scheme, or too many redirects
  http_error_secure_failure = 12175,           // TLS handshake or certificate verification failed
  http_error_header_size_overflow = 12183,     // the reply's headers and trailers passed kHttpMaxHeaderBytes
};

inline constexpr size_t kHttpMaxHostLength = 2'048;
inline constexpr size_t kHttpMaxTargetLength = 4'097;  // path plus extra information
inline constexpr int kHttpMaxRedirects = 10;
inline constexpr uint64_t kHttpMaxHeaderBytes = 65'536;  // one reply's header and trailer lines together

// A parsed URL: views into the caller's string, which must outlive it.
struct HttpUrl {
  bool secure = false;             // https
  uint16_t port = 0;               // the explicit port, or 80 / 443
  const char16_t* host = nullptr;  // without user information; "[...]" for an IPv6 address
  size_t host_length = 0;
  const char16_t* path = nullptr;  // from the first "/" after the host, up to "?" or "#"
  size_t path_length = 0;
  const char16_t* extra = nullptr;  // the query (and any fragment), from "?" or "#"
  size_t extra_length = 0;
};

// Splits the NUL-terminated `url` into its parts. Returns 0 with `out` written, or
// http_error_unrecognized_scheme (no scheme, or not http/https, case ignored),
// http_error_invalid_url (no "//", empty host, bad port) or http_error_other (host
// over 2,048 characters, path plus extra information over 4,097). Any thread.
[[nodiscard]] uint32_t http_parse_url(const char16_t* url, HttpUrl& out);

// Where a reply body goes: the caller's buffer of `capacity` bytes.
struct HttpBody {
  uint8_t* bytes = nullptr;
  uint64_t capacity = 0;
  uint64_t length = 0;  // bytes received, written on success
};

// The time-outs of a GET and whose certificates it trusts. The emulator uses the
// defaults; tests shorten the waits and trust the certificate of their local
// server, the one reason the trust store can be replaced.
struct HttpSettings {
  uint32_t resolve_ms = 3'000;
  uint32_t connect_ms = 5'000;
  uint32_t send_ms = 5'000;
  uint32_t receive_ms = 5'000;
  uint32_t body_read_ms = 15'000;                  // from the first read of the body
  const char* trusted_certificate_file = nullptr;  // PEM; replaces the system's trust store when set
};

// GETs the NUL-terminated `url` with user agent "Quillomar/1", no Accept header,
// the system's proxy settings, verified TLS, the time-outs of `settings` and up to 10
// redirects (never from https to http). Returns 200 with `body.length` set and the
// body in `body.bytes`; another HTTP status (100 to 599) when the final reply was
// not 200; or an HttpError. A body over `body.capacity` bytes fails with
// http_error_other, headers and trailers over kHttpMaxHeaderBytes with
// http_error_header_size_overflow. The bytes of `body` are meaningful only after
// 200. Once `*abort` (when given) reads non-zero, the GET gives up within about a
// second with http_error_timeout; another thread sets it to end a fetch early.
// Blocks the calling thread; any one thread at a time.
[[nodiscard]] uint32_t http_get(const char16_t* url, const HttpSettings& settings, HttpBody& body,
                                const std::atomic<int32_t>* abort);

}  // namespace quill
