// The quill subcommands. Each takes the arguments after its name and returns the
// process exit code (0 success, 1 failure, 2 bad usage).
#pragma once

#include <string>
#include <vector>

namespace quill::cli {

int asm_command(const std::vector<std::string>& args);
int dis_command(const std::vector<std::string>& args);
int bench_command(const std::vector<std::string>& args);
int run_command(const std::vector<std::string>& args);
int debug_command(const std::vector<std::string>& args);
int dap_command(const std::vector<std::string>& args);

}  // namespace quill::cli
