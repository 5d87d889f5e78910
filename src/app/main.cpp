// quillomar, headless preview: boots the machine from the memory image in the
// executable's folder (or, when there is none, from a small built-in program)
// and reports how the processor stopped. The windowed application replaces it.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "codec/image_files.h"
#include "codec/text_image.h"
#include "cpu/step.h"

namespace {

constexpr uint64_t kMemoryTrytes = 64'000'000;
constexpr uint64_t kBootAddress = 216'679;
constexpr uint64_t kStepLimit = 1'000'000'000;

// At the boot address: call the function just after the halt (216,695) with the
// argument 9; it doubles its argument and returns, and the program halts with 18.
constexpr char kBuiltInProgram[] = "19 >1 5171EF >0 =01 . >2 +22 .";

bool executable_folder(char* out, size_t capacity) {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return false;
  path[n] = '\0';
  char* slash = std::strrchr(path, '/');
  const size_t length = slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
  if (length >= capacity) return false;
  std::memcpy(out, path, length);
  out[length] = '\0';
  return true;
}

}  // namespace

int main() {
  using namespace quill;
  auto* memory = static_cast<uint8_t*>(std::malloc(3 * kMemoryTrytes));
  auto* machine = static_cast<Machine*>(std::calloc(1, sizeof(Machine)));
  char folder[kPathCapacity];
  if (memory == nullptr || machine == nullptr || !executable_folder(folder, sizeof folder)) {
    std::fputs("quillomar: cannot start (out of memory or no executable path)\n", stderr);
    return 1;
  }
  fill_zero_trytes(memory, kMemoryTrytes);
  machine_reset(*machine, memory, kMemoryTrytes);
  if (load_memory_files(memory, kMemoryTrytes, folder)) {
    std::printf("quillomar: loaded the memory image from %s\n", folder);
  } else {
    TextImageReader reader{kBootAddress, 0, false};
    const auto* program = reinterpret_cast<const uint8_t*>(kBuiltInProgram);
    if (!text_image_feed(reader, memory, kMemoryTrytes, program, sizeof kBuiltInProgram - 1)) return 1;
    std::printf("quillomar: no memory image in %s, running the built-in program\n", folder);
  }
  machine->pc = kBootAddress;
  uint64_t left = kStepLimit;
  while (!machine_stopped(*machine) && left > 0) {
    const uint64_t batch = left < 65'536 ? left : 65'536;
    (void)machine_run(*machine, batch);
    left -= batch;
  }
  std::printf("quillomar: %s after %" PRIu64 " instructions, pc %" PRIu64 ", acc ", status_text(machine->status),
              machine->executed, machine->pc);
  if (machine->acc == NIL) {
    std::puts("NIL");
  } else {
    std::printf("%" PRId64 "\n", machine->acc);
  }
  machine_release(*machine);
  std::free(machine);
  std::free(memory);
  return 0;
}
