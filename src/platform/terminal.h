// Whether standard input is a terminal a person types at, rather than a pipe or a file.
#pragma once

namespace quill {

[[nodiscard]] bool standard_input_is_terminal();

}  // namespace quill
