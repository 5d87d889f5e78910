// Reading the repository's own files (documentation, programs) in tests and benchmarks.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace quill::test {

// The whole file at `path`; empty when it cannot be read (the comparison that
// follows then fails and names the file).
inline std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The file at `relative` inside the source tree, as read_whole_file.
inline std::string read_source_file(const std::string& relative) {
  return read_whole_file(std::string(QUILL_SOURCE_DIR) + "/" + relative);
}

}  // namespace quill::test
