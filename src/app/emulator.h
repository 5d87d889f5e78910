// The application record and the whole life of the application: start-up, the
// window's message loop, shutdown. Shared by every window backend (window.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "app/app_options.h"
#include "app/debug_listener.h"
#include "app/image_watch.h"
#include "platform/exe_path.h"
#include "platform/file_claim.h"
#include "runner/processor.h"

namespace quill {

inline constexpr char kLoadFailureMessage[] = "Could not load the memory files from the Quillomar folder.";
inline constexpr char kSaveFailureMessage[] = "The emulator closed, but its memory files could not be saved.";

// Everything the application owns; one zero-filled heap block, constructed in place.
struct Emulator {
  Processor processor;                        // main machine, host state, runner, wake event, quit and stop flags
  uint8_t* memory = nullptr;                  // the main memory, 3 bytes a tryte; owned here
  void* window = nullptr;                     // the backend's window; null when there is none
  uint32_t* display_pixels = nullptr;         // the window's private 500 x 320 copy, painted outside the lock
  uint64_t painted_frame = 0;                 // frame counter at the last paint
  std::atomic<int32_t> runner_ended{0};       // set by the runner's end hook; the window and a restart clear it
  AppOptions options;                         // from the command line
  char folder[kExeFolderCapacity] = {};       // the folder loaded from, with its separator, or empty
  char save_folder[kExeFolderCapacity] = {};  // where the close saves, with its separator, or empty
  FileClaim claim;                            // on the loaded folder's image file, so no second emulator runs it
  bool saves = false;                         // false for an IMAGE without --save-to: the close writes nothing
  ImageWatch watch;                           // the image files' stamps, for --watch; first thread only
  DebugListener debug;                        // --debug-port: serves an attached debugger; not started without it
};

enum class RestartOutcome : uint8_t {
  restarted,  // a fresh machine runs the image as it is on disk now
  kept,       // the image could not be loaded (the reason is on standard error): the old machine runs on
  failed,     // the old machine is gone and no new one runs: the application must end without saving
};

// F5 and --watch: loads the image again into fresh memory and, when that works,
// ends an attached debugger's session, the runner and the cores, and starts a new
// processor on it at the entry address, with a black picture, an empty key queue
// and no stop. First thread, while the window runs.
[[nodiscard]] RestartOutcome emulator_restart(Emulator& emulator);

// --watch: looks at the image files and restarts once they changed and settled;
// `kept` when nothing was due. First thread, every kWatchPollMs.
[[nodiscard]] RestartOutcome emulator_poll_watch(Emulator& emulator);

// F2: writes the picture the window shows as a new PNG file in the current
// directory and names it on standard error (or says why not). First thread.
void emulator_screenshot(Emulator& emulator);

// Stops the processor and the cores and saves the memory where the close saves it
// (nothing for an IMAGE without --save-to). False when the save failed. First
// thread; also when the window system is gone.
[[nodiscard]] bool emulator_save(Emulator& emulator);

// After the runner ended: when the program failed, one line on standard error
// saying how and where, with the nearest label from a symbol file beside the image
// (NAME.sym for the IMAGE NAME.ext; memory_trits.sym or memory_tambrisk.sym in a
// folder). Read now, so a program re-assembled meanwhile is named right. First thread.
void emulator_report_failure(const Emulator& emulator);

// Runs the application from the command line (UTF-8 or the system's code page, as
// the backend's file calls take them) to the saved memory; returns the exit code:
// 0 at the end of a normal run whose memory was saved (or was not to be saved),
// 2 for bad usage, 1 otherwise. First thread, once.
[[nodiscard]] int emulator_main(int argc, const char* const* argv);

}  // namespace quill
