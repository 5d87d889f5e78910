// Tests only: the GET of http.h with a test certificate authority and shorter
// time-outs. The emulator never includes this header; its fetches always use the
// system's trust store and the standard time-outs.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/http.h"

namespace quill {

struct HttpTestSettings {
  uint32_t resolve_ms = 3'000;
  uint32_t connect_ms = 5'000;
  uint32_t send_ms = 5'000;
  uint32_t receive_ms = 5'000;
  uint32_t body_read_ms = 15'000;
  const char* trusted_certificate_file = nullptr;  // PEM; replaces the system's trust store when set
};

// http_get with `settings`. Any one thread at a time.
[[nodiscard]] uint32_t http_get_for_test(const char16_t* url, const HttpTestSettings& settings, HttpBody& body,
                                         const std::atomic<int32_t>* abort);

}  // namespace quill
