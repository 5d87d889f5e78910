#include "tools/asm/assembler.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "tools/asm/layout.h"
#include "tools/asm/parser.h"

namespace quill {

namespace {

bool assemble(const std::string& path, const std::string* text, const AsmOptions& options, AsmResult& result) {
  result = {};
  as::ParseOptions parse_options;
  parse_options.include_dirs = options.include_dirs;
  for (const auto& define : options.defines) parse_options.predefined.push_back(define.first);
  as::SourceProgram program;
  std::vector<as::Diagnostic> errors;
  if (as::parse_program(path, text, parse_options, program, errors)) {
    as::lay_out_program(program, options, result, errors);
  }
  for (const as::Diagnostic& d : errors) {
    const bool placed = d.where.line != 0 && d.where.file < program.files.size();
    result.errors.push_back({placed ? program.files[d.where.file] : std::string(), placed ? d.where.line : 0,
                             placed ? d.where.column : 0, d.message});
  }
  if (!result.errors.empty()) {
    result.image.clear();
    result.labels.clear();
    result.listing.clear();
    result.files.clear();
    result.placements.clear();
  }
  return result.errors.empty();
}

}  // namespace

bool assemble_file(const std::string& path, const AsmOptions& options, AsmResult& result) {
  return assemble(path, nullptr, options, result);
}

bool assemble_text(const std::string& path, const std::string& text, const AsmOptions& options, AsmResult& result) {
  return assemble(path, &text, options, result);
}

std::string format_error(const AsmError& error) {
  if (error.file.empty()) return "error: " + error.message;
  return error.file + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) +
         ": error: " + error.message;
}

std::string format_listing(const AsmResult& result) {
  std::string out;
  char head[128];
  for (const ListingLine& line : result.listing) {
    std::snprintf(head, sizeof head, "%9" PRIu64 "  %-30s  ", line.address, line.symbols.c_str());
    out += head;
    out += line.file + ":" + std::to_string(line.line) + "  " + line.source + "\n";
  }
  return out;
}

std::string format_symbols(const std::vector<AsmLabel>& labels) {
  std::string out;
  for (const AsmLabel& label : labels) out += std::to_string(label.address) + " " + label.name + "\n";
  return out;
}

bool parse_symbols(const std::string& text, std::vector<AsmLabel>& labels, std::string& error) {
  std::vector<AsmLabel> read;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t comment = line.find(';');
    if (comment != std::string::npos) line.resize(comment);
    std::istringstream fields(line);
    std::string address, name, extra;
    if (!(fields >> address)) continue;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(address.c_str(), &end, 10);
    if (*end != '\0' || !(fields >> name) || (fields >> extra) || value >= kMemoryTrytes) {
      error = "line " + std::to_string(number) + ": expected an address below 64000000 and a name";
      return false;
    }
    read.push_back({name, value});
  }
  labels = std::move(read);
  return true;
}

}  // namespace quill
