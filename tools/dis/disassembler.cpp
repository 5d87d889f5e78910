#include "tools/dis/disassembler.h"

#include <algorithm>
#include <cctype>

#include "codec/literal.h"
#include "codec/tryte.h"
#include "cpu/opcode.h"
#include "tools/asm/literal_form.h"

namespace quill {

namespace {

constexpr size_t kRawPerLine = 32;
constexpr size_t kCommentColumn = 32;

struct Decoded {
  uint64_t length = 0;  // 0: does not decode as an instruction here
  std::string text;
  int64_t literal = 0;
  bool is_literal = false;
};

bool valid_name(const std::string& name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
  if (name == "nil" || name == "acc") return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; });
}

struct Disassembler {
  const uint8_t* memory;
  uint64_t end;  // one past the last address to disassemble
  const DisOptions& options;
  std::vector<AsmLabel> labels;  // sorted by address
  std::string& out;

  [[nodiscard]] uint8_t tryte(uint64_t a) const { return tryte_value_at(memory, a); }

  // The first labelled address after `a`, or `end`.
  [[nodiscard]] uint64_t next_label_after(uint64_t a) const {
    const auto it =
        std::upper_bound(labels.begin(), labels.end(), a, [](uint64_t v, const AsmLabel& l) { return v < l.address; });
    return it == labels.end() ? end : std::min(end, it->address);
  }

  Decoded decode(uint64_t a, uint64_t limit) const {
    Decoded d;
    const OpKind kind = op_kind(tryte(a));
    if (kind == op_literal) {
      uint64_t position = a;
      int64_t value = 0;
      if (read_literal(memory, limit, position, value) != literal_ok) return d;
      const int digits = static_cast<int>(position - a - 1);
      const bool minimal = digits == as::literal_digits(value);
      if (value == NIL && minimal)
        d.text = "nil";
      else
        d.text = (minimal ? "lit " : "lit." + std::to_string(digits) + " ") + value_text(value);
      d.length = position - a;
      d.literal = value;
      d.is_literal = true;
      return d;
    }
    if (kind == op_invalid) return d;
    const auto operands = static_cast<uint64_t>(op_info(kind).operands);
    if (limit - a - 1 < operands) return d;
    d.text = op_info(kind).mnemonic;
    for (uint64_t k = 1; k <= operands; ++k) {
      const uint8_t stack = digit_value(tryte(a + k));
      if (stack == kNoDigit) return {};
      d.text += ' ';
      d.text += std::to_string(stack);
    }
    d.length = 1 + operands;
    return d;
  }

  void line(const std::string& text, uint64_t address, const std::string& note = "") {
    std::string l = "    " + text;
    if (l.size() < kCommentColumn)
      l.resize(kCommentColumn, ' ');
    else
      l += ' ';
    out += l + "; " + std::to_string(address) + source_note(address) + note + "\n";
  }

  // "  cell.tasm:31" for the source line that placed `address`, with a map.
  std::string source_note(uint64_t address) const {
    const SourceSpan* span = options.map == nullptr ? nullptr : source_map_span_at(*options.map, address);
    if (span == nullptr) return "";
    return "  " + options.map->files[span->file] + ":" + std::to_string(span->line);
  }

  std::string label_note(int64_t value) const {
    for (const AsmLabel& l : labels) {
      if (static_cast<int64_t>(l.address) == value) return " = " + l.name;
    }
    return "";
  }

  void raw(uint64_t a, uint64_t n) {
    while (n > 0) {
      const uint64_t k = std::min<uint64_t>(n, kRawPerLine);
      std::string symbols;
      for (uint64_t i = 0; i < k; ++i) symbols += kSymbolAlphabet[tryte(a + i)];
      line(".raw \"" + symbols + "\"", a);
      a += k;
      n -= k;
    }
  }

  void run(uint64_t from) {
    uint64_t a = from;
    size_t next_label = 0;
    uint64_t raw_start = a, raw_count = 0;
    while (a < end) {
      while (next_label < labels.size() && labels[next_label].address < a) ++next_label;
      const bool labelled = next_label < labels.size() && labels[next_label].address == a;
      const uint64_t limit = next_label_after(a);
      Decoded d = decode(a, limit);
      uint64_t zeros = 0;
      while (a + zeros < limit && tryte(a + zeros) == kZeroTryte) ++zeros;
      if ((d.length > 0 || labelled || zeros >= options.zero_run) && raw_count > 0) {
        raw(raw_start, raw_count);
        raw_count = 0;
      }
      for (; next_label < labels.size() && labels[next_label].address == a; ++next_label) {
        const std::string& name = labels[next_label].name;
        out += valid_name(name) ? name + ":\n" : "; " + name + ":\n";
      }
      if (zeros >= options.zero_run) {
        line(".zero " + std::to_string(zeros), a);
        a += zeros;
      } else if (d.length > 0) {
        line(d.text, a, d.is_literal ? label_note(d.literal) : "");
        a += d.length;
      } else {
        if (raw_count == 0) raw_start = a;
        ++raw_count;
        ++a;
      }
    }
    if (raw_count > 0) raw(raw_start, raw_count);
  }
};

}  // namespace

std::string value_text(int64_t value) { return value == NIL ? "nil" : std::to_string(value); }

bool disassemble_instruction(const uint8_t* memory, uint64_t size, uint64_t address, std::string& text,
                             uint64_t& length) {
  if (address >= size || tryte_value_at(memory, address) == kNoTryte) return false;
  const DisOptions options;
  std::string unused;
  const Disassembler d{memory, size, options, {}, unused};
  Decoded decoded = d.decode(address, size);
  if (decoded.length == 0) return false;
  text = std::move(decoded.text);
  length = decoded.length;
  return true;
}

uint64_t first_nonzero_tryte(const uint8_t* memory, uint64_t size, uint64_t from) {
  uint64_t a = from;
  while (a < size && tryte_value_at(memory, a) == kZeroTryte) ++a;
  return a;
}

bool disassemble(const uint8_t* memory, uint64_t size, const DisOptions& options, std::string& out,
                 std::string& error) {
  if (options.from > size) {
    error = "address " + std::to_string(options.from) + " is beyond the image, which holds " + std::to_string(size) +
            " trytes";
    return false;
  }
  const uint64_t end = options.from + std::min(options.count, size - options.from);
  for (uint64_t a = options.from; a < end; ++a) {
    if (tryte_value_at(memory, a) == kNoTryte) {
      error = "the tryte at address " + std::to_string(a) + " holds a byte that is not a trit";
      return false;
    }
  }
  std::vector<AsmLabel> labels = options.labels;
  std::stable_sort(labels.begin(), labels.end(),
                   [](const AsmLabel& a, const AsmLabel& b) { return a.address < b.address; });
  std::string text = ".org " + std::to_string(options.from) + "\n";
  Disassembler d{memory, end, options, std::move(labels), text};
  d.run(options.from);
  out = std::move(text);
  return true;
}

}  // namespace quill
