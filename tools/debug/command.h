// The debugger's command language: one line in, text out. `quill debug` feeds it
// lines from the terminal or a pipe; docs/debugging.md lists the commands.
#pragma once

#include <cstdint>
#include <string>

#include "tools/debug/session.h"

namespace quill::debug {

enum class CommandStatus : uint8_t { ok, failed, quit };

// Runs one command line against `session`, appending what it has to say to `out`
// (a failed command says why). An empty line does nothing.
[[nodiscard]] CommandStatus run_command_line(Session& session, const std::string& line, std::string& out);

// A place in the program: a number (decimal with optional "_", or 0x hexadecimal),
// "label", "label+N", "label-N", "file:line", or "pc". False with `error` set.
[[nodiscard]] bool parse_location(const Session& session, const std::string& text, uint64_t& address,
                                  std::string& error);

// "acc == 5", "depth > 2", "hits >= 10", "stack 3 != 0", "top 3 == nil".
[[nodiscard]] bool parse_condition(const std::string& text, Condition& condition, std::string& error);

}  // namespace quill::debug
