// The debug adapter: reads Debug Adapter Protocol requests from a byte channel
// (standard input and output, or a TCP connection) and answers them over one
// debugging session until the client disconnects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/dap/live_machine.h"

namespace quill::dap {

// Where the protocol's bytes come from and go to.
struct DapChannel {
  void* context = nullptr;
  // Reads what has arrived, at most `capacity` bytes, waiting for at least one;
  // false at the end of the input or on an error.
  bool (*read)(void* context, uint8_t* bytes, size_t capacity, size_t& received) = nullptr;
  // Writes all `length` bytes; false when the channel broke. Called from one
  // thread at a time (the server serialises its messages).
  bool (*write)(void* context, const uint8_t* bytes, size_t length) = nullptr;
};

struct DapServerOptions {
  // The window's machine for `attach`; null where there is none (`quill dap`),
  // and then `attach` answers with an error.
  const LiveMachine* live = nullptr;
};

// Serves one client until it disconnects or the channel ends. True after a
// `disconnect` (or `terminate`) request, false when the channel broke first.
[[nodiscard]] bool dap_serve(DapChannel& channel, const DapServerOptions& options);

}  // namespace quill::dap
