#include "tools/map/source_map.h"

#include <algorithm>

namespace quill {

namespace {

// "lib/cell.tasm" names "programs/lib/cell.tasm" and "cell.tasm" too: the tail of the
// path after a separator.
bool names_file(const std::string& path, const std::string& wanted) {
  if (path == wanted) return true;
  if (wanted.empty() || wanted.size() >= path.size()) return false;
  const char before = path[path.size() - wanted.size() - 1];
  return (before == '/' || before == '\\') && path.compare(path.size() - wanted.size(), wanted.size(), wanted) == 0;
}

}  // namespace

bool source_map_from_result(const AsmResult& result, SourceMap& map) {
  if (!result.errors.empty()) return false;
  SourceMap built;
  built.files = result.files;
  built.labels = result.labels;
  built.spans.reserve(result.placements.size());
  for (const AsmPlacement& p : result.placements) {
    if (p.length == 0 || p.file >= built.files.size()) return false;
    built.spans.push_back({p.address, p.length, p.file, p.line, p.column, p.data});
  }
  map = std::move(built);
  return true;
}

const SourceSpan* source_map_span_at(const SourceMap& map, uint64_t address) {
  const auto after = std::upper_bound(map.spans.begin(), map.spans.end(), address,
                                      [](uint64_t a, const SourceSpan& s) { return a < s.address; });
  if (after == map.spans.begin()) return nullptr;
  const SourceSpan& span = *(after - 1);
  return address - span.address < span.length ? &span : nullptr;
}

bool source_map_line_address(const SourceMap& map, const std::string& file, uint32_t line, uint64_t& address) {
  for (const SourceSpan& span : map.spans) {
    if (!span.data && span.line == line && names_file(map.files[span.file], file)) {
      address = span.address;
      return true;
    }
  }
  return false;
}

std::string source_map_name(const SourceMap& map, uint64_t address) {
  std::string name;
  const auto after = std::upper_bound(map.labels.begin(), map.labels.end(), address,
                                      [](uint64_t a, const AsmLabel& l) { return a < l.address; });
  if (after != map.labels.begin()) {
    const AsmLabel& label = *(after - 1);
    name = label.name;
    if (address != label.address) {
      name += '+';
      name += std::to_string(address - label.address);
    }
  }
  if (const SourceSpan* span = source_map_span_at(map, address)) {
    if (!name.empty()) name += ' ';
    name += '(';
    name += map.files[span->file];
    name += ':';
    name += std::to_string(span->line);
    name += ')';
  }
  return name;
}

}  // namespace quill
