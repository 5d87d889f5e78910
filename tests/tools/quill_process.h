// Runs the built quill command in a folder and captures what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_folder.h"

namespace quill::test {

struct CommandResult {
  int exit_code = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

inline CommandResult quill(const TempFolder& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder.path + "' && '" + QUILL_BINARY + "' " + arguments + " >out.txt 2>err.txt";
  const int status = std::system(command.c_str());
  CommandResult r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = folder.read("out.txt");
  r.err = folder.read("err.txt");
  return r;
}

}  // namespace quill::test
