#include <cstdio>

#include "tools/debug/line_reader.h"

namespace quill::debug {

bool read_plain_line(std::string& line) {
  line.clear();
  for (int c = std::getchar(); c != EOF; c = std::getchar()) {
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  if (std::feof(stdin) && line.empty()) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace quill::debug
