// The map's JSON form. Spans are arrays rather than objects: a program has one per
// instruction, and the map stays a small fraction of the source's size.
#include <nlohmann/json.hpp>

#include "codec/machine_memory.h"
#include "tools/map/source_map.h"

namespace quill {

namespace {

using nlohmann::json;

constexpr char kFormat[] = "quill-source-map";
constexpr uint64_t kVersion = 1;

bool fail(std::string& error, std::string message) {
  error = std::move(message);
  return false;
}

std::string quoted(const std::string& text) { return json(text).dump(); }

// A whole number from 0 to `limit`.
bool read_count(const json& value, uint64_t limit, uint64_t& out) {
  if (!value.is_number_unsigned()) return false;
  const auto v = value.get<uint64_t>();
  if (v > limit) return false;
  out = v;
  return true;
}

bool read_files(const json& files, SourceMap& map, std::string& error) {
  if (!files.is_array()) return fail(error, "\"files\" must be an array of file names");
  for (const json& f : files) {
    if (!f.is_string()) return fail(error, "\"files\" must be an array of file names");
    map.files.push_back(f.get<std::string>());
  }
  return true;
}

bool read_labels(const json& labels, SourceMap& map, std::string& error) {
  if (!labels.is_array()) return fail(error, "\"labels\" must be an array");
  for (const json& l : labels) {
    const std::string at = "label " + std::to_string(map.labels.size() + 1);
    AsmLabel label;
    if (!l.is_object() || !l.contains("name") || !l["name"].is_string() || l["name"].get<std::string>().empty()) {
      return fail(error, at + ": needs a \"name\"");
    }
    label.name = l["name"].get<std::string>();
    if (!l.contains("address") || !read_count(l["address"], kMemoryTrytes - 1, label.address)) {
      return fail(error, at + ": needs an \"address\" from 0 to 63999999");
    }
    if (!map.labels.empty() && label.address < map.labels.back().address) {
      return fail(error, at + ": labels must be in address order");
    }
    map.labels.push_back(std::move(label));
  }
  return true;
}

bool read_span(const json& s, const SourceMap& map, SourceSpan& span) {
  if (!s.is_array() || s.size() != 6 || !s[5].is_boolean()) return false;
  uint64_t address = 0, length = 0, file = 0, line = 0, column = 0;
  if (!read_count(s[0], kMemoryTrytes - 1, address) || !read_count(s[1], kMemoryTrytes, length) ||
      !read_count(s[2], UINT32_MAX, file) || !read_count(s[3], UINT32_MAX, line) ||
      !read_count(s[4], UINT32_MAX, column)) {
    return false;
  }
  if (length == 0 || address + length > kMemoryTrytes || file >= map.files.size() || line == 0 || column == 0) {
    return false;
  }
  span = {address,
          static_cast<uint32_t>(length),
          static_cast<uint32_t>(file),
          static_cast<uint32_t>(line),
          static_cast<uint32_t>(column),
          s[5].get<bool>()};
  return true;
}

bool read_spans(const json& spans, SourceMap& map, std::string& error) {
  if (!spans.is_array()) return fail(error, "\"spans\" must be an array");
  map.spans.reserve(spans.size());
  for (const json& s : spans) {
    const std::string at = "span " + std::to_string(map.spans.size() + 1);
    SourceSpan span;
    if (!read_span(s, map, span)) {
      return fail(error, at + ": expected [address, length, file, line, column, data] within memory and the files");
    }
    if (!map.spans.empty() && span.address < map.spans.back().address + map.spans.back().length) {
      return fail(error, at + ": spans must be in address order and must not overlap");
    }
    map.spans.push_back(span);
  }
  return true;
}

}  // namespace

std::string source_map_to_json(const SourceMap& map) {
  std::string out = "{\n  \"format\": \"" + std::string(kFormat) + "\",\n  \"version\": " + std::to_string(kVersion) +
                    ",\n  \"files\": [";
  for (size_t i = 0; i < map.files.size(); ++i) out += (i == 0 ? "" : ", ") + quoted(map.files[i]);
  out += "],\n  \"labels\": [";
  for (size_t i = 0; i < map.labels.size(); ++i) {
    out += std::string(i == 0 ? "\n" : ",\n") + "    {\"name\": " + quoted(map.labels[i].name) +
           ", \"address\": " + std::to_string(map.labels[i].address) + "}";
  }
  out += map.labels.empty() ? "],\n" : "\n  ],\n";
  out += "  \"spans\": [";
  for (size_t i = 0; i < map.spans.size(); ++i) {
    const SourceSpan& s = map.spans[i];
    out += std::string(i == 0 ? "\n" : ",\n") + "    [" + std::to_string(s.address) + ", " + std::to_string(s.length) +
           ", " + std::to_string(s.file) + ", " + std::to_string(s.line) + ", " + std::to_string(s.column) + ", " +
           (s.data ? "true" : "false") + "]";
  }
  out += map.spans.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

bool source_map_from_json(const std::string& text, SourceMap& map, std::string& error) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded()) return fail(error, "not JSON");
  if (!doc.is_object() || !doc.contains("format") || doc["format"] != kFormat) {
    return fail(error, "not a source map (\"format\" is not \"" + std::string(kFormat) + "\")");
  }
  if (!doc.contains("version") || doc["version"] != kVersion) {
    return fail(error, "a source map of another version than " + std::to_string(kVersion));
  }
  for (const char* key : {"files", "labels", "spans"}) {
    if (!doc.contains(key)) return fail(error, "no \"" + std::string(key) + "\"");
  }
  SourceMap read;
  if (!read_files(doc["files"], read, error) || !read_labels(doc["labels"], read, error) ||
      !read_spans(doc["spans"], read, error)) {
    return false;
  }
  map = std::move(read);
  return true;
}

}  // namespace quill
