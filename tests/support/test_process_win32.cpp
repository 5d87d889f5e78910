#include <windows.h>

#include "support/test_process.h"

namespace quill::test {
namespace {

HANDLE create_output(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

HANDLE open_input(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// The Windows command line quotes with double quotes only; the tests write their
// arguments as for a POSIX shell, and none holds a double quote.
std::string windows_quoting(const std::string& arguments) {
  std::string out = arguments;
  for (char& c : out) {
    if (c == '\'') c = '"';
  }
  return out;
}

}  // namespace

int run_command_with_input(const std::string& folder, const std::string& program, const std::string& arguments,
                           const std::string& input) {
  // The program's path may use '/' (CMake writes it so); the system wants it whole.
  char full[MAX_PATH];
  if (GetFullPathNameA(program.c_str(), MAX_PATH, full, nullptr) == 0) return -1;
  std::string command = "\"";  // built piece by piece: GCC 12 warns wrongly on one long sum
  command.append(full).append("\" ").append(windows_quoting(arguments));
  HANDLE out = create_output(folder + "out.txt");
  HANDLE err = create_output(folder + "err.txt");
  HANDLE in = input.empty() ? INVALID_HANDLE_VALUE : open_input(folder + input);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION started{};
  const bool ok =
      out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      CreateProcessA(full, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &started);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (!ok) return -1;
  DWORD code = 0;
  WaitForSingleObject(started.hProcess, INFINITE);
  const bool exited = GetExitCodeProcess(started.hProcess, &code) != 0;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return exited && code < 256 ? static_cast<int>(code) : -1;
}

int run_command(const std::string& folder, const std::string& program, const std::string& arguments) {
  return run_command_with_input(folder, program, arguments, "");
}

bool running_under_wine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace quill::test
