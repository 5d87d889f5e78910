// Stand-in for the network fetch until its implementation joins this library:
// every fetch call fails, as it would on a machine without a network.
#include <cstdlib>

#include "host/fetch_service.h"

namespace quill {

int32_t fetch_service(FetchState& /*fetch*/, const Machine& /*machine*/, int64_t /*type*/, int64_t /*x*/,
                      int64_t* /*result*/) {
  return 0;
}

void fetch_release(FetchState& fetch) {
  std::free(fetch.fetch_body);
  fetch = FetchState{};
}

}  // namespace quill
