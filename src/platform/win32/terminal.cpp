#include "platform/terminal.h"

#include <windows.h>

namespace quill {

// Only a console has a console mode; a pipe or a file does not.
bool standard_input_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace quill
