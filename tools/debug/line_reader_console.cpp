// Windows: the console gives line editing and history to every program that reads
// lines, so the reader only adds the prompt there.
#include <cstdio>

#include "platform/terminal.h"
#include "tools/debug/line_reader.h"

namespace quill::debug {

void line_reader_open(LineReader& reader, const char* prompt) {
  reader.interactive = standard_input_is_terminal();
  reader.prompt = prompt;
}

bool line_reader_next(LineReader& reader, std::string& line) {
  if (reader.interactive) {
    std::fputs(reader.prompt, stdout);
    std::fflush(stdout);
  }
  return read_plain_line(line);
}

}  // namespace quill::debug
