// quillomar.exe: the emulator's window on a machine folder (by default the
// executable's) or an image. A GUI program (no console); its command line is split
// as the C runtime splits one and handed on in the system's code page, the one the
// file calls (CreateFileA) take.
#include <windows.h>
// shellapi.h needs the types windows.h defines.
#include <shellapi.h>

#include <cstdlib>

#include "app/emulator.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wide == nullptr) return 1;
  // One block: the pointers, then the strings they point at.
  size_t bytes = (static_cast<size_t>(argc) + 1) * sizeof(char*);
  for (int i = 0; i < argc; ++i)
    bytes += static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr));
  auto** argv = static_cast<char**>(std::calloc(1, bytes));
  if (argv == nullptr) {
    (void)LocalFree(wide);
    return 1;
  }
  char* next = reinterpret_cast<char*>(argv + argc + 1);
  char* const end = reinterpret_cast<char*>(argv) + bytes;
  for (int i = 0; i < argc; ++i) {
    argv[i] = next;
    next += WideCharToMultiByte(CP_ACP, 0, wide[i], -1, next, static_cast<int>(end - next), nullptr, nullptr);
  }
  (void)LocalFree(wide);
  const int exit_code = quill::emulator_main(argc, argv);
  std::free(argv);
  return exit_code;
}
