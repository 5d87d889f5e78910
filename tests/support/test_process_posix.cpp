#include <sys/wait.h>

#include <cstdlib>

#include "support/test_process.h"

namespace quill::test {

int run_command_with_input(const std::string& folder, const std::string& program, const std::string& arguments,
                           const std::string& input) {
  const std::string from = input.empty() ? "" : " <'" + input + "'";
  const std::string command = "cd '" + folder + "' && '" + program + "' " + arguments + from + " >out.txt 2>err.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int run_command(const std::string& folder, const std::string& program, const std::string& arguments) {
  return run_command_with_input(folder, program, arguments, "");
}

bool running_under_wine() { return false; }

}  // namespace quill::test
