// Standard input and output as raw bytes, for a protocol spoken over them (the
// debug adapter): no text-mode line-end translation, and a read that returns what
// has arrived instead of waiting for a full buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

// Reads what has arrived, at most `capacity` bytes, waiting for at least one;
// false at the end of the input or on an error.
[[nodiscard]] bool standard_input_read(uint8_t* bytes, size_t capacity, size_t& received);

// Writes all `length` bytes to standard output, unbuffered; false when it is closed.
[[nodiscard]] bool standard_output_write(const uint8_t* bytes, size_t length);

}  // namespace quill
