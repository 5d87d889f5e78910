// Fuzz target: the assembler on arbitrary source, and the disassembler against it.
// Whatever assembles is disassembled (with its labels) and assembled again, and must
// give the same image; nothing may crash or overflow on the way. Sources that
// mention includes are skipped, so that a run reads nothing from disk.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/tryte.h"
#include "tools/asm/assembler.h"
#include "tools/dis/disassembler.h"

namespace {

using namespace quill;

// Larger images assemble too, but disassembling them would slow the fuzzer down.
constexpr size_t kLargestImage = 1 << 20;

[[noreturn]] void fail(const char* what, const std::string& source, const std::string& disassembly) {
  std::fprintf(stderr, "%s\n--- source\n%s\n--- disassembly\n%s\n", what, source.c_str(), disassembly.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  const std::string source(reinterpret_cast<const char*>(data), length);
  std::string lowered = source;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lowered.find("include") != std::string::npos) return 0;
  AsmOptions options;
  options.origin = 0;
  AsmResult first;
  if (!assemble_text("fuzz.tasm", source, options, first) || first.image.size() > kLargestImage) return 0;
  (void)format_listing(first);
  std::vector<uint8_t> memory(3 * first.image.size());
  for (size_t i = 0; i < first.image.size(); ++i) put_tryte(memory.data(), i, first.image[i]);
  DisOptions dis;
  dis.from = first.first_address;
  dis.labels = first.labels;
  std::string disassembly, error;
  if (!disassemble(memory.data(), first.image.size(), dis, disassembly, error)) fail(error.c_str(), source, "");
  AsmResult again;
  if (!assemble_text("dis.tasm", disassembly, options, again)) {
    fail(format_error(again.errors[0]).c_str(), source, disassembly);
  }
  if (again.image != first.image) fail("the disassembly assembles to other trytes", source, disassembly);
  return 0;
}
