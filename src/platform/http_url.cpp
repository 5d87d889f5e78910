// URL parsing shared by every backend: the split that the Windows HTTP client's
// URL cracker makes, so that both backends accept and reject the same URLs.
#include "platform/http.h"

namespace quill {
namespace {

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool same_text(const char16_t* text, size_t length, const char* ascii) {
  size_t i = 0;
  for (; i < length; ++i) {
    if (ascii[i] == '\0' || lower(text[i]) != static_cast<char16_t>(ascii[i])) return false;
  }
  return ascii[i] == '\0';
}

bool ends_authority(char16_t c) { return c == u'\0' || c == u'/' || c == u'?' || c == u'#'; }

// Reads the decimal port in [from, to); an empty port means the scheme's default.
bool parse_port(const char16_t* from, const char16_t* to, uint16_t& port) {
  if (from == to) return true;
  uint32_t value = 0;
  for (const char16_t* c = from; c < to; ++c) {
    if (*c < u'0' || *c > u'9') return false;
    value = value * 10 + static_cast<uint32_t>(*c - u'0');
    if (value > 65'535) return false;
  }
  if (value == 0) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

// Splits "user@host:port" into host and port; the user information is dropped.
uint32_t parse_authority(const char16_t* from, const char16_t* to, HttpUrl& url) {
  for (const char16_t* c = from; c < to; ++c) {
    if (*c == u'@') from = c + 1;
  }
  const char16_t* host_end = from;
  if (host_end < to && *host_end == u'[') {
    while (host_end < to && *host_end != u']') ++host_end;
    if (host_end == to) return http_error_invalid_url;
    ++host_end;
  } else {
    while (host_end < to && *host_end != u':') ++host_end;
  }
  if (host_end == from) return http_error_invalid_url;
  if (host_end < to && *host_end != u':') return http_error_invalid_url;
  if (host_end < to && !parse_port(host_end + 1, to, url.port)) return http_error_invalid_url;
  url.host = from;
  url.host_length = static_cast<size_t>(host_end - from);
  return 0;
}

}  // namespace

uint32_t http_parse_url(const char16_t* url, HttpUrl& out) {
  const char16_t* c = url;
  while (*c != u'\0' && *c != u':') ++c;
  if (*c != u':') return http_error_unrecognized_scheme;
  HttpUrl parsed;
  const size_t scheme_length = static_cast<size_t>(c - url);
  if (same_text(url, scheme_length, "https")) {
    parsed.secure = true;
    parsed.port = 443;
  } else if (same_text(url, scheme_length, "http")) {
    parsed.port = 80;
  } else {
    return http_error_unrecognized_scheme;
  }
  if (c[1] != u'/' || c[2] != u'/') return http_error_invalid_url;
  const char16_t* authority = c + 3;
  const char16_t* end = authority;
  while (!ends_authority(*end)) ++end;
  const uint32_t error = parse_authority(authority, end, parsed);
  if (error != 0) return error;
  parsed.path = end;
  while (*end != u'\0' && *end != u'?' && *end != u'#') ++end;
  parsed.path_length = static_cast<size_t>(end - parsed.path);
  parsed.extra = end;
  while (*end != u'\0') ++end;
  parsed.extra_length = static_cast<size_t>(end - parsed.extra);
  if (parsed.host_length > kHttpMaxHostLength) return http_error_other;
  if (parsed.path_length + parsed.extra_length > kHttpMaxTargetLength) return http_error_other;
  out = parsed;
  return 0;
}

}  // namespace quill
