// Where `quill debug` reads its commands: at a terminal, lines with editing and
// history and a prompt; from a pipe or a file, plain lines and no prompt, so that
// scripts and tests see only the answers. Each system has one backend file
// (libedit on Linux; on Windows the console edits lines and keeps history itself).
#pragma once

#include <string>

namespace quill::debug {

struct LineReader {
  bool interactive = false;  // standard input is a terminal
  const char* prompt = "";
};

// Prepares reading from standard input with `prompt` (shown only at a terminal).
void line_reader_open(LineReader& reader, const char* prompt);

// The next line without its line end; false at the end of the input.
[[nodiscard]] bool line_reader_next(LineReader& reader, std::string& line);

// A line of standard input read plainly, as both backends do for pipes.
[[nodiscard]] bool read_plain_line(std::string& line);

}  // namespace quill::debug
