#include "app/emulator.h"

#include <cstdlib>
#include <new>

#include "app/window.h"
#include "codec/image_files.h"
#include "platform/memory_block.h"
#include "runner/headless.h"

namespace quill {
namespace {

constexpr size_t kMainMemoryBytes = 3 * kMemoryTrytes;

void emulator_destroy(Emulator* emulator) {
  std::free(emulator->display_pixels);
  emulator->display_pixels = nullptr;
  processor_release(emulator->processor);  // stops and joins the cores too
  memory_block_free(emulator->memory, kMainMemoryBytes);
  emulator->~Emulator();
  std::free(emulator);
  window_system_close();
}

// Fills the record up to the boot: false, after noting or showing why, when the
// application cannot go on.
bool emulator_prepare(Emulator& emulator) {
  if (!executable_folder(emulator.exe_folder)) {
    window_note_failure("cannot tell the folder of the executable (its path must be shorter than 260 bytes)");
    return false;
  }
  emulator.memory = static_cast<uint8_t*>(memory_block_allocate(kMainMemoryBytes));
  if (emulator.memory == nullptr) {
    window_note_failure("not enough memory for the machine");
    return false;
  }
  const bool ready = processor_init(emulator.processor, emulator.memory, kMemoryTrytes);
  const bool loaded = ready && load_memory_image(emulator.memory, kMemoryTrytes, emulator.exe_folder);
  emulator.display_pixels = static_cast<uint32_t*>(std::calloc(kPixelCount, sizeof(uint32_t)));
  if (!loaded || emulator.display_pixels == nullptr) {
    window_show_error(kLoadFailureMessage);
    return false;
  }
  emulator.processor.machine.pc = kBootAddress;
  return true;
}

// After the message loop: stops the runner and saves the memory it left, when the
// loop ended normally. Returns the exit code.
int emulator_finish(Emulator& emulator, bool closed_normally) {
  window_destroy(emulator);
  processor_join(emulator.processor);  // runner and cores ended: nothing changes the memory or competes with the save
  if (!closed_normally) return 1;
  if (!save_memory_files(emulator.memory, kMemoryTrytes, emulator.exe_folder)) {
    window_show_error(kSaveFailureMessage);
    return 1;
  }
  return 0;
}

}  // namespace

int emulator_main() {
  void* block = std::calloc(1, sizeof(Emulator));
  if (block == nullptr) {
    window_note_failure("not enough memory to start");
    return 1;
  }
  auto* emulator = ::new (block) Emulator;
  int exit_code = 1;
  if (emulator_prepare(*emulator) && window_open(*emulator)) {
    if (processor_start(emulator->processor, window_runner_ended, emulator)) {
      // Only a start that got this far may tidy the folder; a failed one leaves it alone.
      remove_stale_image_temporaries(emulator->exe_folder);
      exit_code = emulator_finish(*emulator, window_run(*emulator));
    } else {
      window_note_failure("cannot start the processor thread");
      window_destroy(*emulator);
    }
  }
  emulator_destroy(emulator);
  return exit_code;
}

}  // namespace quill
