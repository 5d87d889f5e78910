// The protocol's framing: each message is "Content-Length: N\r\n\r\n" and N bytes
// of JSON. No C++ library for the Debug Adapter Protocol is packaged for both
// Debian and the MinGW build, and the framing is this small, so it is written here.
#pragma once

#include <cstddef>
#include <string>

#include "tools/dap/server.h"

namespace quill::dap {

// The largest message accepted; a client never sends more than a few kilobytes.
inline constexpr size_t kMaxMessageBytes = 16u << 20;

// Bytes read from the channel but not yet taken as a message.
struct FrameReader {
  std::string pending;
};

// Reads the next message's body into `body`. False at the end of the channel or
// on a malformed header (there is no way to find the next message after one).
[[nodiscard]] bool frame_read(DapChannel& channel, FrameReader& reader, std::string& body);

// Writes `body` with its header; false when the channel broke.
[[nodiscard]] bool frame_write(DapChannel& channel, const std::string& body);

}  // namespace quill::dap
