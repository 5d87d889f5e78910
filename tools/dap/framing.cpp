#include "tools/dap/framing.h"

#include <cstdint>

namespace quill::dap {
namespace {

// The Content-Length of a header block (other header fields are ignored).
bool content_length(const std::string& header, size_t& length) {
  static constexpr char kField[] = "content-length:";
  std::string lower = header;
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
  const size_t at = lower.find(kField);
  if (at == std::string::npos || (at != 0 && lower[at - 1] != '\n')) return false;
  size_t k = at + sizeof kField - 1;
  while (k < lower.size() && lower[k] == ' ') ++k;
  size_t value = 0;
  bool digits = false;
  for (; k < lower.size() && lower[k] >= '0' && lower[k] <= '9'; ++k) {
    value = value * 10 + static_cast<size_t>(lower[k] - '0');
    if (value > kMaxMessageBytes) return false;
    digits = true;
  }
  length = value;
  return digits;
}

bool fill(DapChannel& channel, FrameReader& reader) {
  uint8_t buffer[65536];
  size_t received = 0;
  if (!channel.read(channel.context, buffer, sizeof buffer, received) || received == 0) return false;
  reader.pending.append(reinterpret_cast<const char*>(buffer), received);
  return true;
}

}  // namespace

bool frame_read(DapChannel& channel, FrameReader& reader, std::string& body) {
  size_t end = 0;
  while ((end = reader.pending.find("\r\n\r\n")) == std::string::npos) {
    if (reader.pending.size() > 4096 || !fill(channel, reader)) return false;
  }
  size_t length = 0;
  if (!content_length(reader.pending.substr(0, end + 2), length)) return false;
  const size_t start = end + 4;
  while (reader.pending.size() - start < length) {
    if (!fill(channel, reader)) return false;
  }
  body = reader.pending.substr(start, length);
  reader.pending.erase(0, start + length);
  return true;
}

bool frame_write(DapChannel& channel, const std::string& body) {
  const std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return channel.write(channel.context, reinterpret_cast<const uint8_t*>(message.data()), message.size());
}

}  // namespace quill::dap
