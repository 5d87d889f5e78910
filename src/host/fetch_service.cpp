#include "host/fetch_service.h"

#include <cstdlib>

#include "codec/charset.h"
#include "codec/literal.h"
#include "host/dispatch.h"
#include "host/host_calls.h"
#include "platform/http.h"
#include "platform/sha256.h"

namespace quill {
namespace {

constexpr int64_t kMaxUrlLength = 2'048;
constexpr uint64_t kCellTrytes = 10;

// Drops the last body. The digest keeps its bytes, unreadable until the next 200.
void forget_body(FetchState& fetch) {
  std::free(fetch.body);
  fetch.body = nullptr;
  fetch.length = 0;
  fetch.position = 0;
  fetch.status = 0;
}

// Reads the descriptor at x and the URL it points to into `url` (NUL-terminated).
// False, with nothing else touched, when any of it is malformed.
bool read_url(const Machine& machine, int64_t x, char16_t (&url)[kMaxUrlLength + 1]) {
  int64_t address = 0;
  int64_t length = 0;
  if (x < 0 || !read_cell(machine.memory, machine.size, static_cast<uint64_t>(x), address) ||
      !read_cell(machine.memory, machine.size, static_cast<uint64_t>(x) + kCellTrytes, length)) {
    return false;
  }
  if (address < 0 || length < 1 || length > kMaxUrlLength) return false;
  const uint64_t first = static_cast<uint64_t>(address);
  if (first > machine.size || (machine.size - first) / kCellTrytes < static_cast<uint64_t>(length)) return false;
  for (int64_t i = 0; i < length; ++i) {
    int64_t code = 0;
    if (!read_cell(machine.memory, machine.size, first + kCellTrytes * static_cast<uint64_t>(i), code) ||
        static_cast<uint64_t>(code) >= kCharacterCount) {
      return false;
    }
    url[i] = character_of_code(static_cast<int>(code));
  }
  url[length] = u'\0';
  return true;
}

// GETs `url` into a fresh body buffer and digests it. Returns the outcome number;
// on 200 `buffer`, `length` and `digest` are written.
uint32_t get_and_digest(const char16_t* url, const HttpSettings& settings, const std::atomic<int32_t>* abort,
                        uint8_t*& buffer, uint64_t& length, uint8_t (&digest)[kSha256Length]) {
  HttpBody body{static_cast<uint8_t*>(std::malloc(kFetchBodyLimit)), kFetchBodyLimit, 0};
  if (body.bytes == nullptr) return http_error_other;
  uint32_t outcome = http_get(url, settings, body, abort);
  if (outcome == 200 && !sha256(body.bytes, body.length, digest)) outcome = http_error_other;
  if (outcome != 200) {
    std::free(body.bytes);
    return outcome;
  }
  buffer = body.bytes;
  length = body.length;
  return 200;
}

// net_fetch: the whole fetch. A malformed descriptor fails the call and keeps the
// previous results; past that point the call succeeds, with NIL after a failure.
int32_t fetch_url(FetchState& fetch, const Machine& machine, int64_t x, int64_t* result) {
  char16_t url[kMaxUrlLength + 1];
  if (!read_url(machine, x, url)) return 0;
  forget_body(fetch);
  uint8_t* buffer = nullptr;
  uint64_t length = 0;
  uint8_t digest[kSha256Length];
  fetch.status = get_and_digest(url, fetch.http, fetch.abort, buffer, length, digest);
  if (fetch.status != 200) {
    *result = NIL;
    return 1;
  }
  fetch.body = buffer;
  fetch.length = length;
  for (size_t i = 0; i < kSha256Length; ++i) fetch.digest[i] = digest[i];
  *result = static_cast<int64_t>(length);
  return 1;
}

int32_t body_byte(FetchState& fetch, int64_t x, int64_t* result) {
  if (x < 0 && x != NIL) return 0;
  const uint64_t index = x == NIL ? fetch.position : static_cast<uint64_t>(x);
  if (index >= fetch.length) return 0;
  *result = fetch.body[index];
  fetch.position = index + 1;
  return 1;
}

int32_t digest_byte(const FetchState& fetch, int64_t x, int64_t* result) {
  if (static_cast<uint64_t>(x) >= kSha256Length || fetch.status != 200) return 0;
  *result = fetch.digest[x];
  return 1;
}

}  // namespace

int32_t fetch_service(FetchState& fetch, const Machine& machine, int64_t type, int64_t x, int64_t* result) {
  switch (type) {
    case host_call::net_fetch:
      return fetch_url(fetch, machine, x, result);
    case host_call::net_body_byte:
      return body_byte(fetch, x, result);
    case host_call::net_status:
      *result = fetch.status;
      return 1;
    case host_call::net_digest_byte:
      return digest_byte(fetch, x, result);
    default:
      return 0;
  }
}

bool fetch_group_service(HostState& state, int64_t type, int64_t x, int64_t /*y*/, int64_t& result) {
  return fetch_service(state.fetch, *state.machine, type, x, &result) != 0;
}

void fetch_release(FetchState& fetch) {
  forget_body(fetch);
  for (uint8_t& byte : fetch.digest) byte = 0;
}

}  // namespace quill
