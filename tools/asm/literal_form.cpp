#include "tools/asm/literal_form.h"

#include <cstddef>

#include "codec/tryte.h"

namespace quill::as {

uint8_t digit_tryte(int digit) { return symbol_value(static_cast<uint8_t>(kDigitCharacters[digit])); }

int literal_digits(int64_t value) {
  if (value == NIL) return 0;
  int n = 0;
  for (int64_t m = value < 0 ? -value : value; m > 0; m /= 20) ++n;
  return n;
}

void append_literal(std::vector<uint8_t>& trytes, int64_t value, int digits) {
  const bool negative = value < 0;  // NIL included: it is the negative literal of magnitude 0
  trytes.push_back(digit_tryte(digits == 0 && value == NIL ? 10 : negative ? 10 + digits : digits));
  int64_t magnitude = value == NIL ? 0 : negative ? -value : value;
  const size_t first = trytes.size();
  trytes.resize(first + static_cast<size_t>(digits));
  for (int k = digits - 1; k >= 0; --k) {
    trytes[first + static_cast<size_t>(k)] = digit_tryte(static_cast<int>(magnitude % 20));
    magnitude /= 20;
  }
}

}  // namespace quill::as
