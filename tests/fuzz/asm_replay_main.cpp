// Runs the assembler fuzz target without libFuzzer: every file of the folders given
// on the command line, each cut after every line, and each with a few bytes changed
// by a fixed generator, so that the build with any compiler exercises the target.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length);

namespace {

constexpr int kVariantsPerFile = 200;
constexpr char kReplacements[] = "()+-*/%,:#$\"'.;\n 0123456789_abcjlpxAJ";

int run(const std::string& source) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(source.data()), source.size());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::mt19937 random(20240);
  int inputs = 0;
  for (int a = 1; a < argc; ++a) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[a])) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string source((std::istreambuf_iterator<char>(in)), {});
      inputs += run(source);
      for (size_t end = source.find('\n'); end != std::string::npos; end = source.find('\n', end + 1)) {
        inputs += run(source.substr(0, end + 1));
      }
      for (int k = 0; k < kVariantsPerFile && !source.empty(); ++k) {
        std::string variant = source;
        for (int changes = 1 + static_cast<int>(random() % 3); changes > 0; --changes) {
          variant[random() % variant.size()] = kReplacements[random() % (sizeof kReplacements - 1)];
        }
        inputs += run(variant);
      }
    }
  }
  std::printf("replayed %d sources\n", inputs);
  return 0;
}
