// Fuzz target: machine_run against a machine_step loop on a program, memory size
// and batch sizes taken from the input, comparing everything after each batch.
// Input: two bytes of memory size, eight bytes seeding the batch sizes, then one
// byte per tryte: below 243 the symbol (byte mod 27), otherwise a broken tryte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "support/differential.h"
#include "support/machine_compare.h"

namespace {

using namespace quill;

std::vector<uint8_t> memory_from(const uint8_t* data, size_t length, uint64_t size) {
  std::vector<uint8_t> bytes(3 * size, '.');
  for (uint64_t i = 0; i < size && i < length; ++i) {
    if (data[i] < 243) {
      put_tryte(bytes.data(), i, static_cast<uint8_t>(data[i] % 27));
    } else {
      bytes[3 * i + data[i] % 3] = data[i];  // not a trit
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  if (length < 10) return 0;
  const uint64_t size = 1 + (data[0] | static_cast<uint64_t>(data[1]) << 8) % 2000;
  uint64_t seed = 0;
  for (int i = 2; i < 10; ++i) seed = seed << 8 | data[i];
  const auto bytes = memory_from(data + 10, length - 10, size);
  test::TwinMachine fast(bytes), reference(bytes);
  std::mt19937_64 random(seed);
  for (int batch = 0; batch < 200 && !machine_stopped(reference.machine); ++batch) {
    const uint64_t steps = random() % (batch % 9 == 0 ? 3000 : 12);
    const uint32_t expected = test::reference_batch(reference.machine, steps);
    const uint32_t got = machine_run(fast.machine, steps);
    const auto same = test::same_machine(fast.machine, reference.machine);
    if (got != expected || !same) {
      std::fprintf(stderr, "batch %d: status %u, expected %u; %s\n", batch, got, expected, same.message());
      std::abort();
    }
  }
  return 0;
}
