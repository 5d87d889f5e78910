// The network fetch services (group net in host_calls.h): one HTTP(S) GET at a time, its
// body (at most 65,536 bytes), its outcome and the SHA-256 digest of the body.
// They run on the main runner thread inside a host call and take no lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpu/machine.h"
#include "platform/http.h"

namespace quill {

inline constexpr uint64_t kFetchBodyLimit = 65'536;

// The results of the most recent fetch; all zero (no body, status 0) at start.
struct FetchState {
  uint8_t* body = nullptr;  // heap buffer of the last successful fetch, owned here
  uint64_t length = 0;      // bytes in body
  uint64_t position = 0;    // next byte for sequential reads
  uint8_t digest[32] = {};  // SHA-256 of the last successful body
  uint32_t status = 0;      // 200, the HTTP status of another reply, an error number, or 1
  HttpSettings http;        // the GETs' time-outs and trust; tests shorten and replace them
  // When set (before the runner starts), a fetch in progress gives up with the
  // time-out number as soon as it reads non-zero: the processor's quit flag.
  const std::atomic<int32_t>* abort = nullptr;
};

// Serves host call `type` of the net group with first argument `x` against the
// main machine's memory. Returns non-zero on success with `*result` written, 0 when
// the call fails. Main runner thread only.
[[nodiscard]] int32_t fetch_service(FetchState& fetch, const Machine& machine, int64_t type, int64_t x,
                                    int64_t* result);

// Frees the body; the state is as at start afterwards. Called at shutdown.
void fetch_release(FetchState& fetch);

}  // namespace quill
