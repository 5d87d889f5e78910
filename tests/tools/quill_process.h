// Runs the built quill command in a folder and captures what it printed.
#pragma once

#include <string>

#include "support/temp_folder.h"
#include "support/test_process.h"

namespace quill::test {

struct CommandResult {
  int exit_code = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Windows writes text streams with CRLF line ends; compare the lines themselves.
inline std::string lines_of(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

inline CommandResult quill(const TempFolder& folder, const std::string& arguments) {
  CommandResult r;
  r.exit_code = run_command(folder.path, QUILL_BINARY, arguments);
  r.out = lines_of(folder.read("out.txt"));
  r.err = lines_of(folder.read("err.txt"));
  return r;
}

}  // namespace quill::test
