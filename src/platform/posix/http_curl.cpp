// The HTTP client on libcurl, shaped after the Windows HTTP client so that both
// backends give a program the same outcomes.
//
// Time-outs. The Windows client has four (resolve 3 s, connect 5 s, send 5 s,
// receive 5 s); libcurl has other knobs, mapped as follows:
// - resolve + connect: CURLOPT_CONNECTTIMEOUT_MS of their sum (8 s) covers name
//   resolution, the TCP connect and the TLS handshake together, so the worst case
//   matches; a slow resolve may borrow from the connect budget. Debian's libcurl has
//   no resolve time-out of its own and its resolver thread cannot be interrupted:
//   CURLOPT_QUICK_EXIT lets the transfer return on time and leaves that thread to
//   finish by itself instead of waiting for it.
// - send: a GET request is a few hundred bytes, which the kernel accepts at once,
//   so there is no send wait to bound; its share is added to the hard limit below.
// - receive: no byte (header or body) for 5 s after the request went out, checked
//   in the progress callback (which libcurl calls at least once a second).
// - body: 15 s from the end of the reply headers, when the first read would start.
// - a hard limit on the whole GET, redirects included, of the sum of all of these
//   plus one more receive wait, so a server that trickles bytes cannot hold the
//   machine longer than the Windows client could.
// - a quit: the abort flag is looked at in every callback, and libcurl calls the
//   progress one at least once a second, also while it waits.
//
// Headers. libcurl keeps every header and trailer line of a reply in memory, so
// a server that sends trailers without end would take all of it; the header
// callback, which sees trailers too, counts them and stops the reply at the same
// 64 KB that the Windows client allows for headers.
#include <curl/curl.h>
#include <strings.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/http.h"

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kUserAgent[] = "Quillomar/1";

uint64_t elapsed_ms(Clock::time_point since) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// What the callbacks of one request learn; reset before every request.
struct Transfer {
  CURL* curl = nullptr;
  HttpBody* body = nullptr;
  CURLU* location = nullptr;  // the request's URL, replaced by a redirect's target
  const std::atomic<int32_t>* abort = nullptr;
  uint64_t received = 0;
  uint64_t header_bytes = 0;  // header and trailer lines of this reply
  uint32_t receive_ms = 0;
  uint32_t body_read_ms = 0;
  bool request_sent = false;
  Clock::time_point last_activity{};
  bool body_started = false;
  Clock::time_point body_start{};
  bool stopped_at_status = false;  // the reply was not 200: its body is not wanted
  bool too_large = false;
  bool headers_too_large = false;
  bool timed_out = false;  // also after an abort
  bool has_location = false;
  bool bad_location = false;  // a redirect target that is not a URL
};

long response_code(CURL* curl) {
  long code = 0;
  return curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK ? code : 0;
}

int on_request(void* context, char*, char*, int, int) {
  Transfer& t = *static_cast<Transfer*>(context);
  t.request_sent = true;
  t.last_activity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

bool aborted(const std::atomic<int32_t>* abort) { return abort != nullptr && abort->load() != 0; }

// True, marking the transfer timed out, once the caller asked it to give up.
bool give_up(Transfer& t) {
  if (aborted(t.abort)) t.timed_out = true;
  return t.timed_out;
}

bool is_redirect(long code) { return code == 301 || code == 302 || code == 303 || code == 307 || code == 308; }

// Resolves a "Location:" header line against the request's URL, in place.
void take_location(Transfer& t, const char* line, size_t length) {
  static constexpr char kName[] = "location:";
  const size_t name_length = sizeof kName - 1;
  if (length < name_length || strncasecmp(line, kName, name_length) != 0) return;
  size_t from = name_length;
  while (from < length && (line[from] == ' ' || line[from] == '\t')) ++from;
  size_t to = length;
  while (to > from && (line[to - 1] == '\r' || line[to - 1] == '\n' || line[to - 1] == ' ')) --to;
  char* target = static_cast<char*>(std::malloc(to - from + 1));
  if (target == nullptr) {
    t.bad_location = true;
    return;
  }
  std::memcpy(target, line + from, to - from);
  target[to - from] = '\0';
  const bool ok = curl_url_set(t.location, CURLUPART_URL, target, CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
  std::free(target);
  t.has_location = ok;
  t.bad_location = !ok;
}

// A header line; the empty line ends the headers, where the body read begins or,
// for any final status but 200, the transfer stops without reading the body.
size_t on_header(char* data, size_t size, size_t count, void* context) {
  Transfer& t = *static_cast<Transfer*>(context);
  const size_t n = size * count;
  t.last_activity = Clock::now();
  t.header_bytes += n;
  if (t.header_bytes > kHttpMaxHeaderBytes) {
    t.headers_too_large = true;
    return 0;
  }
  if (give_up(t)) return 0;
  const bool blank = (n == 2 && data[0] == '\r' && data[1] == '\n') || (n == 1 && data[0] == '\n');
  const long code = response_code(t.curl);
  if (!blank) {
    if (is_redirect(code) && !t.has_location && !t.bad_location) take_location(t, data, n);
    return n;
  }
  if (code >= 100 && code < 200) return n;  // an interim reply; the real one follows
  if (code != 200) {
    t.stopped_at_status = true;
    return 0;
  }
  t.body_started = true;
  t.body_start = t.last_activity;
  return n;
}

// Counts every byte itself: the chunk that crosses the limit is refused whole.
size_t on_body(char* data, size_t size, size_t count, void* context) {
  Transfer& t = *static_cast<Transfer*>(context);
  const size_t n = size * count;
  t.last_activity = Clock::now();
  if (t.body_started && elapsed_ms(t.body_start) > t.body_read_ms) t.timed_out = true;
  if (give_up(t)) return 0;
  if (n > t.body->capacity - t.received) {
    t.too_large = true;
    return 0;
  }
  std::memcpy(t.body->bytes + t.received, data, n);
  t.received += n;
  return n;
}

int on_progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  Transfer& t = *static_cast<Transfer*>(context);
  const bool silent = t.request_sent && elapsed_ms(t.last_activity) > t.receive_ms;
  const bool body_late = t.body_started && elapsed_ms(t.body_start) > t.body_read_ms;
  if (silent || body_late) t.timed_out = true;
  return give_up(t) ? 1 : 0;
}

uint32_t outcome_of(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      return http_error_unrecognized_scheme;
    case CURLE_URL_MALFORMAT:
      return http_error_invalid_url;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return http_error_name_not_resolved;
    case CURLE_COULDNT_CONNECT:
      return http_error_cannot_connect;
    case CURLE_OPERATION_TIMEDOUT:
      return http_error_timeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return http_error_secure_failure;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return http_error_connection_reset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return http_error_invalid_server_response;
    case CURLE_TOO_MANY_REDIRECTS:
      return http_error_redirect_failed;
    default:
      return http_error_other;
  }
}

bool configure(CURL* curl, const HttpSettings& settings, curl_slist* headers, Transfer& transfer) {
  bool ok = true;
  auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(curl, option, value) == CURLE_OK; };
  set(CURLOPT_USERAGENT, kUserAgent);
  set(CURLOPT_HTTPHEADER, headers);  // no Accept header, as the Windows client sends none
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, 0L);  // followed here, one hop at a time, to apply the redirect rules
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_PATH_AS_IS, 1L);  // the path goes out as the program wrote it
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_QUICK_EXIT, 1L);
  set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.resolve_ms) + settings.connect_ms);
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (settings.trusted_certificate_file != nullptr) set(CURLOPT_CAINFO, settings.trusted_certificate_file);
  set(CURLOPT_PREREQFUNCTION, on_request);
  set(CURLOPT_PREREQDATA, &transfer);
  set(CURLOPT_HEADERFUNCTION, on_header);
  set(CURLOPT_HEADERDATA, &transfer);
  set(CURLOPT_WRITEFUNCTION, on_body);
  set(CURLOPT_WRITEDATA, &transfer);
  set(CURLOPT_XFERINFOFUNCTION, on_progress);
  set(CURLOPT_XFERINFODATA, &transfer);
  set(CURLOPT_NOPROGRESS, 0L);
  // Proxies: libcurl reads http_proxy, https_proxy, all_proxy and no_proxy from the
  // environment, the Linux counterpart of the Windows automatic proxy setting.
  return ok;
}

bool same_scheme(const char* scheme, const char* expected) {
  for (; *expected != '\0'; ++scheme, ++expected) {
    const char c = *scheme >= 'A' && *scheme <= 'Z' ? static_cast<char>(*scheme + 32) : *scheme;
    if (c != *expected) return false;
  }
  return *scheme == '\0';
}

// After a redirect reply: 0 with `next` (for curl_free) when it is to be followed,
// else the outcome. Only http and https targets are followed, and never one that
// leaves https for http: that reply is the final one, as with the Windows client.
uint32_t redirect_outcome(const Transfer& t, long status, bool& secure, char*& next) {
  if (t.bad_location) return http_error_redirect_failed;
  char* scheme = nullptr;
  if (curl_url_get(t.location, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return http_error_redirect_failed;
  const bool to_secure = same_scheme(scheme, "https");
  const bool to_plain = same_scheme(scheme, "http");
  curl_free(scheme);
  if (!to_secure && !to_plain) return http_error_redirect_failed;
  if (secure && !to_secure) return static_cast<uint32_t>(status);
  if (curl_url_get(t.location, CURLUPART_URL, &next, 0) != CURLUE_OK) return http_error_redirect_failed;
  secure = to_secure;
  return 0;
}

// The outcome of one request, or 0 with `next` set for a redirect to follow.
uint32_t request_outcome(CURL* curl, CURLcode code, const Transfer& t, bool& secure, char*& next) {
  const long status = response_code(curl);
  if (t.headers_too_large) return http_error_header_size_overflow;
  if (t.stopped_at_status) {
    if (status < 100 || status > 599) return http_error_invalid_server_response;
    const bool follow = is_redirect(status) && (t.has_location || t.bad_location);
    return follow ? redirect_outcome(t, status, secure, next) : static_cast<uint32_t>(status);
  }
  if (t.too_large) return http_error_other;
  if (t.timed_out) return http_error_timeout;
  // Schemes were checked before the request; refusing a protocol after it means the
  // server's reply was not HTTP.
  if (code == CURLE_UNSUPPORTED_PROTOCOL && t.request_sent) return http_error_invalid_server_response;
  if (code != CURLE_OK) return outcome_of(code);
  return status == 200 ? 200u : uint32_t{http_error_invalid_server_response};
}

// One request of the chain, with what is left of the time limit.
uint32_t request(CURL* curl, const char* url, uint64_t remaining_ms, Transfer& t, bool& secure, char*& next) {
  if (curl_url_set(t.location, CURLUPART_URL, url, 0) != CURLUE_OK) return http_error_invalid_url;
  if (curl_easy_setopt(curl, CURLOPT_URL, url) != CURLE_OK ||
      curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(remaining_ms)) != CURLE_OK) {
    return http_error_other;
  }
  const CURLcode code = curl_easy_perform(curl);
  return request_outcome(curl, code, t, secure, next);
}

// Follows redirects from `url` (UTF-8) within one overall time limit.
uint32_t run_get(CURL* curl, CURLU* location, const char* url, bool secure, const HttpSettings& settings,
                 HttpBody& body, const std::atomic<int32_t>* abort) {
  curl_slist* headers = curl_slist_append(nullptr, "Accept:");  // "Name:" removes libcurl's own header
  Transfer t;
  if (headers == nullptr || !configure(curl, settings, headers, t)) {
    curl_slist_free_all(headers);
    return http_error_other;
  }
  const uint64_t limit_ms = uint64_t{settings.resolve_ms} + settings.connect_ms + settings.send_ms +
                            2 * uint64_t{settings.receive_ms} + settings.body_read_ms;
  const Clock::time_point start = Clock::now();
  char* owned = nullptr;  // the URL of the current hop after a redirect
  uint32_t outcome = http_error_redirect_failed;
  for (int hop = 0; hop <= kHttpMaxRedirects; ++hop) {
    const uint64_t spent_ms = elapsed_ms(start);
    if (spent_ms >= limit_ms || aborted(abort)) {
      outcome = http_error_timeout;
      break;
    }
    t = Transfer{curl, &body, location, abort, 0, 0, settings.receive_ms, settings.body_read_ms};
    char* next = nullptr;
    outcome = request(curl, url, limit_ms - spent_ms, t, secure, next);
    curl_free(owned);
    owned = next;
    url = next;
    if (outcome == 200) body.length = t.received;
    if (outcome != 0) break;
    outcome = http_error_redirect_failed;
  }
  curl_free(owned);
  curl_slist_free_all(headers);
  return outcome;
}

// Appends the UTF-8 form of `text` to `out`; with `escape`, spaces, control
// characters and every non-ASCII byte become %XX, as a request line needs.
bool append_utf8(const char16_t* text, size_t length, bool escape, char*& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c > 0xDBFF || i + 1 == length || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    }
    uint8_t bytes[4];
    int n = 0;
    if (c < 0x80) {
      bytes[n++] = static_cast<uint8_t>(c);
    } else if (c < 0x800) {
      bytes[n++] = static_cast<uint8_t>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
      bytes[n++] = static_cast<uint8_t>(0xE0 | (c >> 12));
      bytes[n++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    } else {
      bytes[n++] = static_cast<uint8_t>(0xF0 | (c >> 18));
      bytes[n++] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
      bytes[n++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    }
    if (c >= 0x80) bytes[n++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    for (int k = 0; k < n; ++k) {
      const uint8_t b = bytes[k];
      if (escape && (b <= 0x20 || b >= 0x7F)) {
        *out++ = '%';
        *out++ = kHex[b >> 4];
        *out++ = kHex[b & 15];
      } else {
        *out++ = static_cast<char>(b);
      }
    }
  }
  return true;
}

// The URL that libcurl is given, rebuilt from the parts so that both backends
// request exactly the same thing: scheme, host, port, then the path followed by
// the query, "/" when both are empty. NULL when a part is not valid text.
char* request_url(const HttpUrl& url) {
  const size_t capacity = 32 + 4 * url.host_length + 12 * (url.path_length + url.extra_length);
  char* text = static_cast<char*>(std::malloc(capacity));
  if (text == nullptr) return nullptr;
  char* out = text;
  const char* scheme = url.secure ? "https://" : "http://";
  out = std::strcpy(out, scheme) + std::strlen(scheme);
  bool ok = append_utf8(url.host, url.host_length, false, out);
  out += std::snprintf(out, 8, ":%u", static_cast<unsigned>(url.port));
  if (url.path_length == 0) *out++ = '/';  // also before a bare query: a request target starts with "/"
  ok = ok && append_utf8(url.path, url.path_length, true, out);
  ok = ok && append_utf8(url.extra, url.extra_length, true, out);
  *out = '\0';
  if (!ok) {
    std::free(text);
    return nullptr;
  }
  return text;
}

uint32_t get(const char16_t* url, const HttpSettings& settings, HttpBody& body, const std::atomic<int32_t>* abort) {
  HttpUrl parts;
  const uint32_t parsed = http_parse_url(url, parts);
  if (parsed != 0) return parsed;
  char* text = request_url(parts);
  if (text == nullptr) return http_error_invalid_url;
  CURL* curl = curl_easy_init();
  CURLU* location = curl_url();
  const uint32_t outcome = curl == nullptr || location == nullptr
                               ? uint32_t{http_error_other}
                               : run_get(curl, location, text, parts.secure, settings, body, abort);
  curl_url_cleanup(location);
  curl_easy_cleanup(curl);
  std::free(text);
  return outcome;
}

}  // namespace

uint32_t http_get(const char16_t* url, const HttpSettings& settings, HttpBody& body,
                  const std::atomic<int32_t>* abort) {
  return get(url, settings, body, abort);
}

}  // namespace quill
