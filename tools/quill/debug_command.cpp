// quill debug: the terminal debugger. Loads the program into a session
// (tools/debug) and feeds it command lines from the terminal or a pipe.
#include <cstdio>

#include "platform/interrupt.h"
#include "tools/debug/command.h"
#include "tools/debug/line_reader.h"
#include "tools/debug/view.h"
#include "tools/quill/cli.h"
#include "tools/quill/commands.h"

namespace quill::cli {

namespace {

constexpr char kHelp[] = R"(Usage: quill debug [OPTIONS] IMAGE|SOURCE.tasm

Debugs a program: a memory image (text or trit format, loaded from address 0)
or an assembly source, assembled on the spot with its source map. Commands come
from the terminal (with line editing and history) or, one a line, from a pipe or
file, which prints no prompt so the session can be scripted. Type `help` inside
for the commands; docs/debugging.md walks through a session.

Options:
      --entry ADDRESS   start address (default 216679)
      --symbols FILE    label names for an image (`quill asm --symbols`)
      --map FILE        source map for an image (`quill asm --map`)
  -h, --help            show this help

Exit codes: 0 after quit or the end of the commands, 1 when a command from a
pipe failed, 2 bad usage or a program that cannot be loaded.
)";

const std::vector<OptionDef> kOptions = {
    {nullptr, "--entry", true},
    {nullptr, "--symbols", true},
    {nullptr, "--map", true},
    {"-h", "--help", false},
};

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// False with `exit_code` set when the command ends here.
bool read_program(const std::vector<std::string>& args, debug::ProgramSource& program, int& exit_code) {
  ParsedArgs parsed;
  if (!parse_command("debug", kHelp, args, kOptions, parsed, exit_code)) return false;
  for (const ParsedOption& o : parsed.options) {
    if (o.name == "--entry" && !parse_count(o.value, kMemoryTrytes - 1, program.entry)) {
      exit_code = usage_error("debug", "bad --entry address (0 to 63999999)");
      return false;
    }
    if (o.name == "--symbols") program.symbols_path = o.value;
    if (o.name == "--map") program.map_path = o.value;
  }
  if (parsed.positional.size() != 1) {
    exit_code = usage_error("debug", parsed.positional.empty() ? "no program given" : "more than one program given");
    return false;
  }
  program.path = parsed.positional[0];
  program.assembled = ends_with(program.path, ".tasm");
  if (program.assembled && !(program.symbols_path.empty() && program.map_path.empty())) {
    exit_code = usage_error("debug", "a source brings its own map; --symbols and --map are for images");
    return false;
  }
  return true;
}

}  // namespace

int debug_command(const std::vector<std::string>& args) {
  debug::ProgramSource program;
  if (int code = kExitOk; !read_program(args, program, code)) return code;
  debug::Session session;
  std::string error;
  if (!debug::session_load(session, program, error)) {
    debug::session_close(session);
    return usage_error("debug", error);
  }
  debug::LineReader reader;
  debug::line_reader_open(reader, "(quill) ");
  // At a terminal Ctrl-C pauses the program; from a pipe it ends the session as usual.
  const bool catching = reader.interactive && interrupt_catch(&session.pause_requested);
  std::printf("%s at %s", program.path.c_str(), debug::view_location(session, program.entry).c_str());
  int code = kExitOk;
  std::string line;
  while (line_reader_next(reader, line)) {
    std::string out;
    session.pause_requested.exchange(0);  // an interrupt at the prompt pauses nothing
    const debug::CommandStatus status = debug::run_command_line(session, line, out);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    if (status == debug::CommandStatus::quit) break;
    if (status == debug::CommandStatus::failed && !reader.interactive) code = kExitFailure;
  }
  if (catching) interrupt_release();
  debug::session_close(session);
  return code;
}

}  // namespace quill::cli
