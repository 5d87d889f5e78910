// Loading and saving a full 64,000,000-tryte image in each format, beside the
// plain block copy of the same number of bytes that they are measured against.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/image_files.h"
#include "codec/machine_memory.h"
#include "codec/tryte.h"
#include "platform/file_sync.h"

namespace {

using namespace quill;

struct Scratch {
  std::string folder;  // ends in '/'
  std::vector<uint8_t> memory = std::vector<uint8_t>(3 * kMemoryTrytes, '.');
  Scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quill-bench-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) folder = pattern + "/";
    for (uint64_t i = 0; i < kMemoryTrytes; ++i)
      put_tryte(memory.data(), i, static_cast<uint8_t>((i * 7 + i / 5) % 27));
  }
  ~Scratch() {
    std::remove((folder + kTritFileName).c_str());
    std::remove((folder + kTextFileName).c_str());
    std::remove((folder + "copy.bin").c_str());
    rmdir(folder.c_str());
  }
  std::string path(const char* name) const { return folder + name; }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

// The yardstick: one block write (optionally forced to disk) or one block read.
void block_write(const std::string& path, const uint8_t* bytes, size_t n, bool sync) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  benchmark::DoNotOptimize(std::fwrite(bytes, 1, n, f));
  if (sync) benchmark::DoNotOptimize(platform_sync_file(f));
  std::fclose(f);
}

void block_read(const std::string& path, uint8_t* bytes, size_t n) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return;
  benchmark::DoNotOptimize(std::fread(bytes, 1, n, f));
  std::fclose(f);
}

void BM_BlockWrite(benchmark::State& state) {
  Scratch& s = scratch();
  const size_t n = static_cast<size_t>(state.range(0));
  for (auto _ : state) block_write(s.path("copy.bin"), s.memory.data(), n, state.range(1) != 0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_BlockRead(benchmark::State& state) {
  Scratch& s = scratch();
  const size_t n = static_cast<size_t>(state.range(0));
  block_write(s.path("copy.bin"), s.memory.data(), n, false);
  for (auto _ : state) block_read(s.path("copy.bin"), s.memory.data(), n);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_SaveBothFiles(benchmark::State& state) {
  Scratch& s = scratch();
  for (auto _ : state) {
    if (!save_memory_files(s.memory.data(), kMemoryTrytes, s.folder.c_str())) state.SkipWithError("save failed");
  }
}

void BM_WriteTextImage(benchmark::State& state) {
  Scratch& s = scratch();
  for (auto _ : state) {
    if (!write_text_image(s.memory.data(), kMemoryTrytes, s.path(kTextFileName).c_str(), kMemoryTrytes)) {
      state.SkipWithError("write failed");
    }
  }
}

// Loads with only one of the two files present, so that format is the one read.
void load_only(benchmark::State& state, bool text) {
  Scratch& s = scratch();
  if (!save_memory_files(s.memory.data(), kMemoryTrytes, s.folder.c_str())) state.SkipWithError("save failed");
  std::string moved = s.path("trits.aside");
  if (text) std::rename(s.path(kTritFileName).c_str(), moved.c_str());
  for (auto _ : state) {
    if (!load_memory_files(s.memory.data(), kMemoryTrytes, s.folder.c_str())) state.SkipWithError("load failed");
  }
  if (text) std::rename(moved.c_str(), s.path(kTritFileName).c_str());
}

void BM_LoadTritFile(benchmark::State& state) { load_only(state, false); }
void BM_LoadTextFile(benchmark::State& state) { load_only(state, true); }

constexpr int64_t kTritBytes = 3 * kMemoryTrytes;
constexpr int64_t kTextBytes = kMemoryTrytes;

BENCHMARK(BM_BlockWrite)
    ->Args({kTritBytes, 0})
    ->Args({kTritBytes, 1})
    ->Args({kTextBytes, 1})
    ->Args({kTritBytes + kTextBytes, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_SaveBothFiles)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteTextImage)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BlockRead)->Arg(kTritBytes)->Arg(kTextBytes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadTritFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadTextFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
