// Tests only: the fetch services with a test certificate authority and shorter
// time-outs. The emulator never includes this header.
#pragma once

#include <cstdint>

#include "cpu/machine.h"
#include "host/fetch_service.h"
#include "platform/http_testing.h"

namespace quill {

// fetch_service, with its GETs made through http_get_for_test with `settings`.
[[nodiscard]] int32_t fetch_service_for_test(FetchState& fetch, const Machine& machine, int64_t type, int64_t x,
                                             int64_t* result, const HttpTestSettings& settings);

}  // namespace quill
