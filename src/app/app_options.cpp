#include "app/app_options.h"

#include <cstdio>
#include <cstring>

namespace quill {

const char kAppHelp[] =
    "Usage: quillomar [OPTIONS] [FOLDER | IMAGE]\n"
    "Runs a memory image in a window. Without FOLDER or IMAGE it runs the memory files\n"
    "beside the executable and saves them there at the close. FOLDER is a folder holding\n"
    "memory_trits.txt or memory_tambrisk.txt, saved back there the same way. IMAGE is a\n"
    "text or trit image of any name, loaded from address 0; nothing is saved.\n"
    "Keys for you, never for the program: F5 restarts from the files as they are now,\n"
    "F2 writes the picture as a PNG into the current directory, F11 toggles full screen,\n"
    "F12 stops the processor.\n"
    "\n"
    "  --speed N          instructions per second at the start (default 64000000; 0 unpaced)\n"
    "  --entry ADDRESS    start address (default 216679)\n"
    "  --scale N          window size as a multiple of the 500 x 320 picture (default 2)\n"
    "  --fullscreen       start in full screen\n"
    "  --watch            restart from the image whenever its file (or the FOLDER's files) changes\n"
    "  --save-to FOLDER   at the close, write both memory files into FOLDER\n"
    "  --debug-port N     let a debugger attach over the Debug Adapter Protocol on\n"
    "                     127.0.0.1 port N (1 to 65535), one at a time\n"
    "  -h, --help         this text\n"
    "  --version          the version\n";

namespace {

constexpr uint64_t kMemoryTrytes = 64'000'000;

// Decimal digits (with '_' between them) no larger than `limit`.
bool parse_number(const char* text, uint64_t limit, uint64_t& out) {
  uint64_t value = 0;
  bool digit_seen = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '_' && digit_seen) continue;
    if (*c < '0' || *c > '9') return false;
    const auto digit = static_cast<uint64_t>(*c - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
    digit_seen = true;
  }
  if (!digit_seen) return false;
  out = value;
  return true;
}

AppAction fail(char* error, const char* format, const char* what) {
  std::snprintf(error, kAppErrorCapacity, format, what);
  return AppAction::usage;
}

bool refuse(char* error, const char* format, const char* what) {
  (void)fail(error, format, what);
  return false;
}

// An option that takes a value, checked and stored; false with `error` set otherwise.
bool take_value(const char* name, const char* value, AppOptions& options, char* error) {
  uint64_t number = 0;
  if (std::strcmp(name, "--save-to") == 0) {
    if (*value == '\0') return refuse(error, "%s needs a folder", name);
    options.save_to = value;
  } else if (std::strcmp(name, "--speed") == 0) {
    if (!parse_number(value, UINT64_MAX, number)) return refuse(error, "bad %s (instructions per second)", name);
    options.speed = number;
  } else if (std::strcmp(name, "--debug-port") == 0) {
    if (!parse_number(value, UINT16_MAX, number) || number == 0) return refuse(error, "bad %s (1 to 65535)", name);
    options.debug_port = static_cast<uint16_t>(number);
  } else if (std::strcmp(name, "--entry") == 0) {
    if (!parse_number(value, kMemoryTrytes - 1, number)) return refuse(error, "bad %s address (0 to 63999999)", name);
    options.entry = number;
  } else {
    if (!parse_number(value, kMaxWindowScale, number) || number == 0) return refuse(error, "bad %s (1 to 16)", name);
    options.scale = static_cast<int64_t>(number);
  }
  return true;
}

bool takes_value(const char* name) {
  return std::strcmp(name, "--speed") == 0 || std::strcmp(name, "--entry") == 0 || std::strcmp(name, "--scale") == 0 ||
         std::strcmp(name, "--save-to") == 0 || std::strcmp(name, "--debug-port") == 0;
}

}  // namespace

AppAction parse_app_arguments(int argc, const char* const* argv, AppOptions& out, char* error) {
  AppOptions options;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (options_ended || arg[0] != '-' || arg[1] == '\0') {
      if (options.target != nullptr) return fail(error, "more than one FOLDER or IMAGE given (%s)", arg);
      if (*arg == '\0') return fail(error, "an empty FOLDER or IMAGE%s", "");
      options.target = arg;
    } else if (std::strcmp(arg, "--") == 0) {
      options_ended = true;
    } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      return AppAction::help;
    } else if (std::strcmp(arg, "--version") == 0) {
      return AppAction::version;
    } else if (std::strcmp(arg, "--fullscreen") == 0) {
      options.fullscreen = true;
    } else if (std::strcmp(arg, "--watch") == 0) {
      options.watch = true;
    } else if (takes_value(arg)) {
      if (i + 1 >= argc) return fail(error, "%s needs a value", arg);
      if (!take_value(arg, argv[++i], options, error)) return AppAction::usage;
    } else {
      return fail(error, "unknown option %s (try --help)", arg);
    }
  }
  out = options;
  return AppAction::run;
}

}  // namespace quill
