// Command-line conventions shared by the quill subcommands: options as -x VALUE,
// --name VALUE or --name=VALUE, "--" ends the options, problems go to standard
// error, and bad usage exits with 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// One option a subcommand accepts.
struct OptionDef {
  const char* short_name;  // "-o", or nullptr
  const char* long_name;   // "--output"
  bool takes_value;
};

struct ParsedOption {
  std::string name;   // the long name
  std::string value;  // empty for flags
};

struct ParsedArgs {
  std::vector<ParsedOption> options;  // in command-line order
  std::vector<std::string> positional;
};

// Splits `args` by `defs`. False, with `error` set, for an unknown option or a
// missing value.
[[nodiscard]] bool parse_args(const std::vector<std::string>& args, const std::vector<OptionDef>& defs, ParsedArgs& out,
                              std::string& error);

// Every subcommand's start: splits `args` by `defs` into `out` and returns true to
// go on. Returns false with `exit_code` set otherwise: kExitUsage after reporting
// bad usage, or kExitOk after printing `help` to standard output for --help.
[[nodiscard]] bool parse_command(const char* command, const char* help, const std::vector<std::string>& args,
                                 const std::vector<OptionDef>& defs, ParsedArgs& out, int& exit_code);

// Prints "quill COMMAND: MESSAGE" and the hint to use --help; returns kExitUsage.
int usage_error(const char* command, const std::string& message);

// Prints "quill COMMAND: MESSAGE" to standard error; returns kExitFailure.
int failure(const char* command, const std::string& message);

// A whole decimal number 0..limit (underscores allowed between digits) into `out`.
[[nodiscard]] bool parse_count(const std::string& text, uint64_t limit, uint64_t& out);

// A decimal integer, optionally negative, into `out`.
[[nodiscard]] bool parse_integer(const std::string& text, int64_t& out);

// Whole contents of a text input (at most kTextInputLimitBytes); false with `error`
// saying why when it cannot be read.
[[nodiscard]] bool read_text_file(const std::string& path, std::string& out, std::string& error);

}  // namespace quill::cli
