#include "app/emulator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/failure_report.h"
#include "app/screenshot_name.h"
#include "app/window.h"
#include "codec/image_files.h"
#include "host/framebuffer.h"
#include "platform/file_open.h"
#include "platform/file_stamp.h"
#include "platform/memory_block.h"
#include "runner/headless.h"
#include "tools/image/image_file.h"
#include "tools/image/png.h"
#include "tools/io/input_file.h"
#include "tools/map/source_map.h"

namespace quill {
namespace {

constexpr size_t kMainMemoryBytes = 3 * kMemoryTrytes;

// Ends an attached debugger's session and the listening thread, then the runner:
// from here on nothing but the first thread touches the machine. First thread.
void stop_debugging(Emulator& emulator) {
  debug_listener_take_back(emulator.debug, emulator.processor);
  processor_join(emulator.processor);
  emulator.processor.debug_gate = nullptr;
  debug_listener_stop(emulator.debug);
}

void emulator_destroy(Emulator* emulator) {
  std::free(emulator->display_pixels);
  emulator->display_pixels = nullptr;
  stop_debugging(*emulator);
  processor_release(emulator->processor);  // stops and joins the cores too
  memory_block_free(emulator->memory, kMainMemoryBytes);
  platform_release_claim(emulator->claim);
  emulator->~Emulator();
  std::free(emulator);
  window_system_close();
}

// Copies `path` into `out` with a separator at its end; false when it does not fit.
bool folder_path(const char* path, char (&out)[kExeFolderCapacity]) {
  const size_t length = std::strlen(path);
  const bool ends_in_separator = length > 0 && (path[length - 1] == '/' || path[length - 1] == '\\');
  if (length + (ends_in_separator ? 0 : 1) >= kExeFolderCapacity) return false;
  std::memcpy(out, path, length);
  out[length] = '/';  // both systems take '/'
  out[ends_in_separator ? length : length + 1] = '\0';
  return true;
}

bool names_folder(const char* path) {
  OpenedFile file;
  const FileOpenOutcome outcome = platform_open_for_reading(path, FileKinds::regular_only, file);
  if (outcome == FileOpenOutcome::opened) std::fclose(file.file);
  return outcome == FileOpenOutcome::directory;
}

// Where the memory comes from and where the close saves it, from the command line.
// False, after a one-line message, for a usage fault; nothing has been read.
bool choose_folders(Emulator& emulator, bool& usage_fault) {
  const AppOptions& options = emulator.options;
  usage_fault = true;
  if (options.save_to != nullptr &&
      (!names_folder(options.save_to) || !folder_path(options.save_to, emulator.save_folder))) {
    window_note_failure("--save-to needs an existing folder with a path shorter than 260 bytes");
    return false;
  }
  const bool target_is_folder = options.target != nullptr && names_folder(options.target);
  if (target_is_folder && !folder_path(options.target, emulator.folder)) {
    window_note_failure("the FOLDER's path must be shorter than 260 bytes");
    return false;
  }
  usage_fault = false;
  if (options.target == nullptr && !executable_folder(emulator.folder)) {
    window_note_failure("cannot tell the folder of the executable (its path must be shorter than 260 bytes)");
    return false;
  }
  if (options.save_to == nullptr && (options.target == nullptr || target_is_folder)) {
    std::memcpy(emulator.save_folder, emulator.folder, sizeof emulator.folder);
  }
  emulator.saves = options.save_to != nullptr || options.target == nullptr || target_is_folder;
  return true;
}

// Claims the folder's trit file, or its text file when there is no trit file. False
// after a message when another emulator holds it; a folder without either goes on to
// the load's own message.
bool claim_folder(Emulator& emulator) {
  for (const char* name : {kTritFileName, kTextFileName}) {
    char path[kPathCapacity];
    if (!join_image_path(path, emulator.folder, name)) continue;
    const ClaimOutcome outcome = platform_claim_file(path, emulator.claim);
    if (outcome == ClaimOutcome::claimed) return true;
    if (outcome == ClaimOutcome::held_elsewhere) {
      window_note_failure("another Quillomar is running the machine in this folder");
      return false;
    }
  }
  return true;
}

// Fills `memory` (fresh pages) from the folder's files or from the IMAGE; false
// with the reason in `why`.
bool fill_memory(const Emulator& emulator, uint8_t* memory, std::string& why) {
  if (emulator.folder[0] != '\0') {
    if (load_memory_image(memory, kMemoryTrytes, emulator.folder)) return true;
    why = kLoadFailureMessage;
    return false;
  }
  uint64_t trytes = 0;
  if (!read_image_into(emulator.options.target, memory, kMemoryTrytes, trytes, why)) {
    why = "Could not load the memory image: " + why;
    return false;
  }
  // The reader stores only what the image holds; the rest of memory is the zero tryte.
  fill_zero_trytes(memory + 3 * trytes, kMemoryTrytes - trytes);
  return true;
}

// The files a load reads, as they are now: the folder's two, or the IMAGE.
void stamp_image_files(const Emulator& emulator, FileStamp (&out)[kWatchedFiles]) {
  if (emulator.folder[0] == '\0') {
    out[0] = platform_file_stamp(emulator.options.target);
    out[1] = {};
    return;
  }
  const char* names[kWatchedFiles] = {kTritFileName, kTextFileName};
  for (size_t i = 0; i < kWatchedFiles; ++i) {
    char path[kPathCapacity];
    out[i] = join_image_path(path, emulator.folder, names[i]) ? platform_file_stamp(path) : FileStamp{};
  }
}

// Fills memory from the folder's files or from the IMAGE; false after showing why.
bool load_memory(Emulator& emulator) {
  if (emulator.folder[0] != '\0' && !claim_folder(emulator)) return false;
  FileStamp stamps[kWatchedFiles];
  stamp_image_files(emulator, stamps);  // before the load: a change during it still counts as a change
  watch_loaded(emulator.watch, stamps);
  std::string why;
  if (fill_memory(emulator, emulator.memory, why)) return true;
  window_show_error(why.c_str());
  return false;
}

// The processor over the loaded memory, at the entry address and the chosen speed.
bool set_up_processor(Emulator& emulator) {
  if (!processor_init(emulator.processor, emulator.memory, kMemoryTrytes)) return false;
  emulator.processor.machine.pc = emulator.options.entry;
  emulator.processor.host.speed = emulator.options.speed;  // before the runner starts: no lock needed yet
  if (emulator.debug.started) emulator.processor.debug_gate = &emulator.debug.gate;
  return true;
}

// Fills the record up to the boot: false, after noting or showing why, when the
// application cannot go on.
bool emulator_prepare(Emulator& emulator) {
  emulator.memory = static_cast<uint8_t*>(memory_block_allocate(kMainMemoryBytes));
  if (emulator.memory == nullptr) {
    window_note_failure("not enough memory for the machine");
    return false;
  }
  if (!load_memory(emulator)) return false;
  if (emulator.options.debug_port != 0 && !debug_listener_start(emulator.debug, emulator.options.debug_port)) {
    const std::string why = "Cannot listen for a debugger on 127.0.0.1 port " +
                            std::to_string(emulator.options.debug_port) + ": is another program using it?";
    window_show_error(why.c_str());
    return false;
  }
  if (!set_up_processor(emulator)) {
    window_show_error(kLoadFailureMessage);
    return false;
  }
  emulator.display_pixels = static_cast<uint32_t*>(std::calloc(kPixelCount, sizeof(uint32_t)));
  if (emulator.display_pixels == nullptr) {
    window_show_error(kLoadFailureMessage);
    return false;
  }
  return true;
}

// After the message loop: stops the runner and saves the memory it left, when the
// loop ended normally. Returns the exit code.
int emulator_finish(Emulator& emulator, bool closed_normally) {
  stop_debugging(emulator);
  processor_join(emulator.processor);  // runner and cores ended: nothing changes the memory or competes with the save
  window_destroy(emulator);
  if (!closed_normally) return 1;
  if (emulator_save(emulator)) return 0;
  window_show_error(kSaveFailureMessage);
  return 1;
}

// Where `address` lies, from the first source map or symbol file found beside the
// image: "label+offset (file:line)" from a map, "label+offset" from a symbol file, ""
// when there is neither (the failure line then gives the bare address).
std::string place_beside_image(const Emulator& emulator, uint64_t address) {
  std::vector<std::string> images;
  if (emulator.folder[0] != '\0') {
    images = {std::string(emulator.folder) + kTritFileName, std::string(emulator.folder) + kTextFileName};
  } else if (emulator.options.target != nullptr) {
    images = {emulator.options.target};
  }
  for (const std::string& image : images) {
    std::string text, error;
    SourceMap map;
    if (read_input_file(path_beside(image, ".map"), kTextInputLimitBytes, text, error) &&
        source_map_from_json(text, map, error)) {
      return source_map_name(map, address);
    }
    std::vector<AsmLabel> labels;
    if (read_input_file(path_beside(image, ".sym"), kTextInputLimitBytes, text, error) &&
        parse_symbols(text, labels, error)) {
      return name_address(labels, address);
    }
  }
  return "";
}

// The picture the window shows, as a PNG.
bool picture_png(Emulator& emulator, std::string& png) {
  // Copied under the lock into a buffer of its own: the window's copy stays the window's.
  auto* pixels = static_cast<uint32_t*>(std::malloc(kPixelCount * sizeof(uint32_t)));
  if (pixels == nullptr) return false;
  (void)framebuffer_copy_for_paint(emulator.processor.host, pixels);
  const bool encoded = encode_png(pixels, kFrameWidth, kFrameHeight, png);
  std::free(pixels);
  return encoded;
}

// Writes `png` under the first free name for `now` in the current directory,
// which goes into `name`; a file that cannot be written in full is removed.
CreateOutcome write_new_picture(const std::string& png, const CalendarTime& now,
                                char (&name)[kScreenshotNameCapacity]) {
  for (uint32_t attempt = 0; attempt < kScreenshotAttempts; ++attempt) {
    std::FILE* file = nullptr;
    if (!screenshot_name(now, attempt, name)) return CreateOutcome::failed;
    const CreateOutcome outcome = platform_create_new_file(name, file);
    if (outcome == CreateOutcome::exists) continue;
    if (outcome == CreateOutcome::failed) return outcome;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) == 0 && written) return CreateOutcome::created;
    (void)std::remove(name);
    return CreateOutcome::failed;
  }
  return CreateOutcome::exists;
}

}  // namespace

void emulator_report_failure(const Emulator& emulator) {
  const Machine& machine = emulator.processor.machine;
  if (!status_is_failure(machine.status)) return;
  const std::string place = place_beside_image(emulator, machine.pc);
  std::fprintf(stderr, "%s\n", failure_line(machine.status, machine.pc, machine.executed, place).c_str());
  std::fflush(stderr);
}

bool emulator_save(Emulator& emulator) {
  processor_join(emulator.processor);
  if (!emulator.saves) return true;
  platform_release_claim(emulator.claim);  // an open file could keep Windows from renaming over it
  return save_memory_files(emulator.memory, kMemoryTrytes, emulator.save_folder);
}

RestartOutcome emulator_restart(Emulator& emulator) {
  FileStamp stamps[kWatchedFiles];
  stamp_image_files(emulator, stamps);
  watch_loaded(emulator.watch, stamps);
  auto* fresh = static_cast<uint8_t*>(memory_block_allocate(kMainMemoryBytes));
  std::string why = "not enough memory for a second machine";
  if (fresh == nullptr || !fill_memory(emulator, fresh, why)) {
    if (fresh != nullptr) memory_block_free(fresh, kMainMemoryBytes);
    std::fprintf(stderr, "quillomar: not restarted, the machine runs on: %s\n", why.c_str());
    return RestartOutcome::kept;
  }
  // A debugger lets go of the machine, and the runner and the cores end, before
  // their memory goes; the end hook has run by then, so the flag it set belongs to
  // the old processor. The listener stays: the debugger may attach again.
  debug_listener_take_back(emulator.debug, emulator.processor);
  processor_release(emulator.processor);
  emulator.processor.~Processor();
  ::new (&emulator.processor) Processor;
  emulator.runner_ended.store(0);
  memory_block_free(emulator.memory, kMainMemoryBytes);
  emulator.memory = fresh;
  if (emulator.folder[0] != '\0') {
    // The file may have been replaced: the claim moves to the one just loaded.
    platform_release_claim(emulator.claim);
    (void)claim_folder(emulator);
  }
  if (!set_up_processor(emulator) || !processor_start(emulator.processor, window_runner_ended, &emulator)) {
    window_note_failure("cannot start the restarted processor");
    return RestartOutcome::failed;
  }
  std::fputs("quillomar: restarted\n", stderr);
  return RestartOutcome::restarted;
}

RestartOutcome emulator_poll_watch(Emulator& emulator) {
  FileStamp stamps[kWatchedFiles];
  stamp_image_files(emulator, stamps);
  return watch_poll(emulator.watch, stamps) ? emulator_restart(emulator) : RestartOutcome::kept;
}

void emulator_screenshot(Emulator& emulator) {
  std::string png;
  CalendarTime now;
  if (!picture_png(emulator, png) || !clock_local_time(now)) {
    window_note_failure("cannot take the picture");
    return;
  }
  char name[kScreenshotNameCapacity];
  switch (write_new_picture(png, now, name)) {
    case CreateOutcome::created:
      std::fprintf(stderr, "quillomar: wrote the picture to %s\n", name);
      return;
    case CreateOutcome::exists:
      window_note_failure("cannot write the picture: every name for this second is taken");
      return;
    case CreateOutcome::failed:
      window_note_failure("cannot write the picture into the current directory");
      return;
  }
}

int emulator_main(int argc, const char* const* argv) {
  AppOptions options;
  char error[kAppErrorCapacity];
  switch (parse_app_arguments(argc, argv, options, error)) {
    case AppAction::run:
      break;
    case AppAction::help:
      std::fputs(kAppHelp, stdout);
      return 0;
    case AppAction::version:
      std::puts(kAppVersion);
      return 0;
    case AppAction::usage:
      window_note_failure(error);
      return kAppUsageExitCode;
  }
  void* block = std::calloc(1, sizeof(Emulator));
  if (block == nullptr) {
    window_note_failure("not enough memory to start");
    return 1;
  }
  auto* emulator = ::new (block) Emulator;
  emulator->options = options;
  int exit_code = 1;
  bool usage_fault = false;
  if (!choose_folders(*emulator, usage_fault)) {
    exit_code = usage_fault ? kAppUsageExitCode : 1;
  } else if (emulator_prepare(*emulator) && window_open(*emulator)) {
    if (processor_start(emulator->processor, window_runner_ended, emulator)) {
      // Only a start that got this far may tidy the folder; a failed one leaves it alone.
      if (emulator->saves) remove_stale_image_temporaries(emulator->save_folder);
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
