// Running a program as a user would, and knowing which system the tests run on.
#pragma once

#include <string>

namespace quill::test {

// Runs `program` with `arguments` (split at spaces; a part in single quotes stays
// one argument, as in a POSIX shell, on every system) in
// `folder`, its standard output into folder + "out.txt" and its standard error into
// folder + "err.txt". Returns its exit code, or -1 when it could not run or crashed.
int run_command(const std::string& folder, const std::string& program, const std::string& arguments);

// As run_command, with standard input read from the file `input` in `folder`.
int run_command_with_input(const std::string& folder, const std::string& program, const std::string& arguments,
                           const std::string& input);

// True in a Windows build that runs under Wine, which differs from Windows in a
// few error numbers.
bool running_under_wine();

}  // namespace quill::test
