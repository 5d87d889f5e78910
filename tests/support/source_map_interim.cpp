// A stand-in for the source map library while it is being written: spans from the
// assembler's listing (one per instruction or datum, column 1, none marked as
// data), the labels as they are, and no JSON. It is linked only when tools/map
// builds no library of its own.
#include <algorithm>

#include "tools/map/source_map.h"

namespace quill {

bool source_map_from_result(const AsmResult& result, SourceMap& map) {
  SourceMap out;
  out.labels = result.labels;
  for (const ListingLine& line : result.listing) {
    auto file = std::find(out.files.begin(), out.files.end(), line.file);
    if (file == out.files.end()) file = out.files.insert(out.files.end(), line.file);
    const auto index = static_cast<uint32_t>(file - out.files.begin());
    uint64_t address = line.address;
    size_t at = 0;
    while ((at = line.symbols.find_first_not_of(' ', at)) != std::string::npos) {
      size_t end = line.symbols.find(' ', at);
      if (end == std::string::npos) end = line.symbols.size();
      out.spans.push_back(SourceSpan{address, static_cast<uint32_t>(end - at), index, line.line, 1, false});
      address += end - at;
      at = end;
    }
  }
  std::stable_sort(out.spans.begin(), out.spans.end(),
                   [](const SourceSpan& a, const SourceSpan& b) { return a.address < b.address; });
  map = std::move(out);
  return true;
}

std::string source_map_to_json(const SourceMap& /*map*/) { return "{}"; }

bool source_map_from_json(const std::string& /*text*/, SourceMap& /*map*/, std::string& error) {
  error = "reading a map file needs the source map library";
  return false;
}

const SourceSpan* source_map_span_at(const SourceMap& map, uint64_t address) {
  auto at = std::upper_bound(map.spans.begin(), map.spans.end(), address,
                             [](uint64_t a, const SourceSpan& s) { return a < s.address; });
  if (at == map.spans.begin()) return nullptr;
  --at;
  return address < at->address + at->length ? &*at : nullptr;
}

bool source_map_line_address(const SourceMap& map, const std::string& file, uint32_t line, uint64_t& address) {
  for (const SourceSpan& span : map.spans) {
    const std::string& name = map.files[span.file];
    const size_t slash = name.find_last_of("/\\");
    const bool same = name == file || name.substr(slash == std::string::npos ? 0 : slash + 1) == file;
    if (same && span.line == line && !span.data) {
      address = span.address;
      return true;
    }
  }
  return false;
}

std::string source_map_name(const SourceMap& map, uint64_t address) {
  auto label = std::upper_bound(map.labels.begin(), map.labels.end(), address,
                                [](uint64_t a, const AsmLabel& l) { return a < l.address; });
  std::string out;
  if (label != map.labels.begin()) {
    --label;
    out = label->name;
    if (label->address != address) out.append("+").append(std::to_string(address - label->address));
  }
  if (const SourceSpan* span = source_map_span_at(map, address)) {
    if (!out.empty()) out += " ";
    out.append("(").append(map.files[span->file]).append(":").append(std::to_string(span->line)).append(")");
  }
  return out;
}

}  // namespace quill
