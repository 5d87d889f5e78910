#include "platform/terminal.h"

#include <unistd.h>

namespace quill {

bool standard_input_is_terminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace quill
