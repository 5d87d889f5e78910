// The emulator's command line: `quillomar [OPTIONS] [FOLDER | IMAGE]`. Pure: the
// window backends hand over their arguments as UTF-8 strings, start-up decides
// from the result what to load, where to save and how the window starts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

inline constexpr char kAppVersion[] = "quillomar 0.1";
inline constexpr size_t kAppErrorCapacity = 160;
inline constexpr int kAppUsageExitCode = 2;
inline constexpr int64_t kDefaultWindowScale = 2;
inline constexpr int64_t kMaxWindowScale = 16;

enum class AppAction : uint8_t {
  run,      // start the machine
  help,     // print kAppHelp, exit 0
  version,  // print kAppVersion, exit 0
  usage,    // print the one-line error, exit kAppUsageExitCode
};

struct AppOptions {
  const char* target = nullptr;   // FOLDER or IMAGE as given; null: the executable's folder
  const char* save_to = nullptr;  // --save-to FOLDER; null: the loaded folder, or nowhere for an IMAGE
  uint64_t speed = 64'000'000;    // instructions per second at start; 0 unpaced
  uint64_t entry = 216'679;       // the boot address
  int64_t scale = kDefaultWindowScale;
  bool fullscreen = false;
  bool watch = false;       // restart when the image files change on disk
  uint16_t debug_port = 0;  // --debug-port: a debugger may attach on 127.0.0.1 at this port; 0: none
};

extern const char kAppHelp[];

// Reads `argv[1..argc)`. The pointers kept in `out` point into `argv`. On `usage`
// `error` (kAppErrorCapacity bytes) holds the message without the program's name.
// `out` is written only for `run`.
[[nodiscard]] AppAction parse_app_arguments(int argc, const char* const* argv, AppOptions& out, char* error);

}  // namespace quill
