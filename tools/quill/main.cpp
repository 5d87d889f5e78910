// quill: the Quillomar toolchain. `quill COMMAND [OPTIONS] [ARGUMENTS]`.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/quill/cli.h"
#include "tools/quill/commands.h"

namespace {

constexpr char kUsage[] = R"(Usage: quill COMMAND [OPTIONS] [ARGUMENTS]

The toolchain of the Quillomar ternary computer.

Commands:
)";

constexpr char kClosing[] = R"(  help    show this help, or a command's help: quill help COMMAND

Run 'quill COMMAND --help' for a command's options. Exit codes: 0 success,
1 failure, 2 bad usage.
)";

// Every command: its name, the line `quill help` prints for it, and its entry.
struct Command {
  const char* name;
  const char* summary;
  int (*run)(const std::vector<std::string>&);
};

constexpr Command kCommands[] = {
    {"asm", "assemble a source file into a memory image", quill::cli::asm_command},
    {"dis", "disassemble a memory image into source", quill::cli::dis_command},
    {"run", "run a memory image without a window (keys, screenshot, trace, JSON)", quill::cli::run_command},
    {"debug", "debug a program or image: breakpoints, watches, stepping, stacks, memory", quill::cli::debug_command},
    {"dap", "serve the Debug Adapter Protocol to an editor (stdio, or --port N)", quill::cli::dap_command},
    {"bench", "measure the processor's speed in instructions per second", quill::cli::bench_command},
};

void print_help(std::FILE* to) {
  std::fputs(kUsage, to);
  for (const Command& c : kCommands) std::fprintf(to, "  %-7s %s\n", c.name, c.summary);
  std::fputs(kClosing, to);
}

const Command* find_command(const std::string& name) {
  for (const Command& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quill::cli;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) {
    print_help(stderr);
    return kExitUsage;
  }
  const std::string& name = args[0];
  if (name == "help" || name == "--help" || name == "-h") {
    if (args.size() > 1 && find_command(args[1]) != nullptr) return find_command(args[1])->run({"--help"});
    if (args.size() > 1) {
      std::fprintf(stderr, "quill: no command '%s'\n", args[1].c_str());
      return kExitUsage;
    }
    print_help(stdout);
    return kExitOk;
  }
  if (name == "--version") {
    std::puts("quill 0.1");
    return kExitOk;
  }
  const Command* command = find_command(name);
  if (command == nullptr) {
    std::fprintf(stderr, "quill: unknown command '%s'\nTry 'quill help'.\n", name.c_str());
    return kExitUsage;
  }
  return command->run(std::vector<std::string>(args.begin() + 1, args.end()));
}
