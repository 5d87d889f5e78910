// Assembler and disassembler against each other: disassembling any trytes and
// assembling the result gives back exactly the same trytes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/program_generator.h"
#include "tools/asm_helpers.h"
#include "tools/dis/disassembler.h"
#include "tools/image/image_file.h"

namespace quill::test {
namespace {

// Disassembles `memory` from `from` and assembles the source again; the image it
// gives must hold the same trytes from `from` on.
void expect_round_trip(const TestMemory& memory, uint64_t from, const std::vector<AsmLabel>& labels = {}) {
  DisOptions options;
  options.from = from;
  options.labels = labels;
  std::string source, error;
  ASSERT_TRUE(disassemble(memory.bytes.data(), memory.size, options, source, error)) << error;
  AsmResult result;
  ASSERT_TRUE(assemble_text("dis.tasm", source, AsmOptions{}, result)) << format_error(result.errors[0]) << "\n"
                                                                       << source;
  ASSERT_EQ(result.image.size(), memory.size) << source;
  std::string again;
  for (uint64_t a = from; a < memory.size; ++a) again += kSymbolAlphabet[result.image[a]];
  ASSERT_EQ(again, memory.symbols(from, memory.size - from)) << source;
  for (const AsmLabel& label : labels) {
    if (label.address < from) continue;
    const auto found = std::find_if(result.labels.begin(), result.labels.end(),
                                    [&](const AsmLabel& l) { return l.name == label.name; });
    ASSERT_NE(found, result.labels.end()) << label.name;
    EXPECT_EQ(found->address, label.address) << label.name;
  }
}

TEST(RoundTrip, GeneratedProgramsComeBackTryteForTryte) {
  for (uint64_t seed = 1; seed <= 60; ++seed) {
    ProgramGenerator generator(seed);
    const std::string program = generator.program(300, 1000);
    TestMemory memory(program.size() + 7);
    ASSERT_TRUE(memory.load(program, 7));
    SCOPED_TRACE(seed);
    expect_round_trip(memory, static_cast<uint64_t>(generator.below(8)));
  }
}

TEST(RoundTrip, LabelsFromASymbolFileSplitInstructionsAndComeBack) {
  for (uint64_t seed = 100; seed < 120; ++seed) {
    ProgramGenerator generator(seed);
    const std::string program = generator.program(200, 1000);
    TestMemory memory(program.size());
    ASSERT_TRUE(memory.load(program));
    std::vector<AsmLabel> labels;
    for (int i = 0; i < 12; ++i) {
      labels.push_back(
          {std::string("label") += std::to_string(i), static_cast<uint64_t>(generator.below(int(program.size())))});
    }
    SCOPED_TRACE(seed);
    expect_round_trip(memory, 0, labels);
  }
}

TEST(RoundTrip, BenchmarkWorkloadsDisassembleAndReassembleToThemselves) {
  for (const char* name : {"count_loop.tern", "call_loop.tern", "store_loop.tern", "store_count_loop.tern"}) {
    std::vector<uint8_t> trits;
    std::string error;
    ASSERT_TRUE(read_image_file(std::string(QUILL_SOURCE_DIR) + "/programs/bench/" + name, trits, error)) << error;
    TestMemory memory(trits.size() / 3);
    memory.bytes = trits;
    SCOPED_TRACE(name);
    expect_round_trip(memory, 0);
  }
}

TEST(RoundTrip, BenchmarkSourcesAssembleToTheWorkloadImages) {
  for (const char* name : {"count_loop", "call_loop", "store_loop", "store_count_loop"}) {
    const std::string base = std::string(QUILL_SOURCE_DIR) + "/programs/bench/" + name;
    std::vector<uint8_t> trits;
    std::string error;
    ASSERT_TRUE(read_image_file(base + ".tern", trits, error)) << error;
    AsmResult result;
    ASSERT_TRUE(assemble_file(base + ".tasm", AsmOptions{}, result)) << format_error(result.errors[0]);
    TestMemory assembled(result.image.size());
    for (size_t i = 0; i < result.image.size(); ++i) put_tryte(assembled.data(), i, result.image[i]);
    EXPECT_EQ(assembled.bytes, trits) << name;
  }
}

TEST(RoundTrip, PaddedLiteralsZeroRunsAndDataThatIsNoInstruction) {
  TestMemory memory(64);
  // A padded literal, NIL written long, a run of zero trytes, an operand that is
  // not a digit, and an instruction cut off by the end of memory.
  ASSERT_TRUE(memory.load("3005 B0 10 ...... ><+ >1 ~12"));
  memory.size = 21;  // stop inside the "~"
  memory.bytes.resize(3 * memory.size);
  expect_round_trip(memory, 0);
  DisOptions options;
  std::string source, error;
  ASSERT_TRUE(disassemble(memory.bytes.data(), memory.size, options, source, error));
  EXPECT_NE(source.find("lit.3 5"), std::string::npos) << source;
  EXPECT_NE(source.find("lit.1 nil"), std::string::npos) << source;
  EXPECT_NE(source.find("lit.1 0"), std::string::npos) << source;
  EXPECT_NE(source.find(".zero 6"), std::string::npos) << source;
  EXPECT_NE(source.find(".raw \"><+\""), std::string::npos) << source;
  EXPECT_NE(source.find(".raw \"~1\""), std::string::npos) << source;
}

TEST(RoundTrip, DisassemblyStaysInsideTheRangeAsked) {
  TestMemory memory(20);
  ASSERT_TRUE(memory.load("3100 >1 +12 ."));
  DisOptions options;
  options.from = 4;
  options.count = 4;  // ">1" and the first two trytes of "+12"
  std::string source, error;
  ASSERT_TRUE(disassemble(memory.bytes.data(), memory.size, options, source, error));
  EXPECT_EQ(source.rfind(".org 4\n    push 1 ", 0), 0u) << source;
  EXPECT_NE(source.find(".raw \"+1\""), std::string::npos) << source;
  EXPECT_EQ(source.find("add"), std::string::npos) << source;
  options.from = 21;
  EXPECT_FALSE(disassemble(memory.bytes.data(), memory.size, options, source, error));
  EXPECT_EQ(error, "address 21 is beyond the image, which holds 20 trytes");
  memory.bytes[3] = 'x';
  options.from = 0;
  EXPECT_FALSE(disassemble(memory.bytes.data(), memory.size, options, source, error));
  EXPECT_EQ(error, "the tryte at address 1 holds a byte that is not a trit");
}

TEST(RoundTrip, SourceThroughImageAndBack) {
  const char* source = R"(
    COUNT = 3
    start: lit COUNT
           push 0
    loop:  jgt loop, #100
           jsr f, 7
           sys -6, 300, -2
           jmp start
    f:     ret
    text:  .text "Hi"
           .packed 123456789
  )";
  AsmResult first;
  ASSERT_TRUE(assemble_text("s.tasm", source, AsmOptions{}, first));
  TestMemory memory(first.image.size());
  for (size_t i = 0; i < first.image.size(); ++i) put_tryte(memory.data(), i, first.image[i]);
  expect_round_trip(memory, first.first_address, first.labels);
}

}  // namespace
}  // namespace quill::test
