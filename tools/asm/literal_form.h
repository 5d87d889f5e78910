// Number literals as the assembler writes them: a length tryte and 0..9 base-20
// digits. Shared by the assembler and the disassembler.
#pragma once

#include <cstdint>
#include <vector>

namespace quill::as {

inline constexpr int kMaxLiteralDigits = 9;

// Digits of the shortest literal of `value` (0 for 0 and NIL); `value` must be NIL
// or within the value range.
[[nodiscard]] int literal_digits(int64_t value);

// Appends the TryteValues of the literal of `value` written with exactly `digits`
// digits (leading zero digits pad it). Needs literal_digits(value) <= digits <= 9.
void append_literal(std::vector<uint8_t>& trytes, int64_t value, int digits);

// The TryteValue of the base-20 digit `digit` (0..19).
[[nodiscard]] uint8_t digit_tryte(int digit);

}  // namespace quill::as
