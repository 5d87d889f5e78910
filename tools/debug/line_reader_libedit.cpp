// Linux: libedit's readline interface at a terminal (editing, history within the
// session), plain lines from a pipe.
#include <editline/readline.h>

#include <cstdlib>

#include "platform/terminal.h"
#include "tools/debug/line_reader.h"

namespace quill::debug {

void line_reader_open(LineReader& reader, const char* prompt) {
  reader.interactive = standard_input_is_terminal();
  reader.prompt = prompt;
}

bool line_reader_next(LineReader& reader, std::string& line) {
  if (!reader.interactive) return read_plain_line(line);
  char* text = readline(reader.prompt);
  if (text == nullptr) return false;
  line = text;
  if (!line.empty()) add_history(text);
  std::free(text);
  return true;
}

}  // namespace quill::debug
