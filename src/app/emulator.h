// The application record and the whole life of the application: start-up, the
// window's message loop, shutdown. Shared by every window backend (window.h).
#pragma once

#include <cstdint>

#include "platform/exe_path.h"
#include "runner/processor.h"

namespace quill {

inline constexpr char kLoadFailureMessage[] = "Could not load the memory files from the Quillomar folder.";
inline constexpr char kSaveFailureMessage[] = "The emulator closed, but its memory files could not be saved.";

// Everything the application owns; one zero-filled heap block, constructed in place.
struct Emulator {
  Processor processor;                      // main machine, host state, runner, wake event, quit and stop flags
  uint8_t* memory = nullptr;                // the main memory, 3 bytes a tryte; owned here
  void* window = nullptr;                   // the backend's window; null when there is none
  uint32_t* display_pixels = nullptr;       // the window's private 500 x 320 copy, painted outside the lock
  uint64_t painted_frame = 0;               // frame counter at the last paint
  char exe_folder[kExeFolderCapacity] = {};  // the executable's folder with its separator, or empty
};

// Runs the application from start-up to the saved memory; returns the exit code:
// 0 when the memory image was saved at the end of a normal run, 1 otherwise.
// First thread, once.
[[nodiscard]] int emulator_main();

}  // namespace quill
