#include "app/emulator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/failure_report.h"
#include "app/window.h"
#include "codec/image_files.h"
#include "platform/file_open.h"
#include "platform/memory_block.h"
#include "runner/headless.h"
#include "tools/image/image_file.h"
#include "tools/io/input_file.h"

namespace quill {
namespace {

constexpr size_t kMainMemoryBytes = 3 * kMemoryTrytes;

void emulator_destroy(Emulator* emulator) {
  std::free(emulator->display_pixels);
  emulator->display_pixels = nullptr;
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

// Fills memory from the folder's files or from the IMAGE; false after showing why.
bool load_memory(Emulator& emulator) {
  const char* image = emulator.options.target;
  if (image == nullptr || emulator.folder[0] != '\0') {
    if (!claim_folder(emulator)) return false;
    if (load_memory_image(emulator.memory, kMemoryTrytes, emulator.folder)) return true;
    window_show_error(kLoadFailureMessage);
    return false;
  }
  // The reader stores only what the image holds; the rest of memory is the zero tryte.
  fill_zero_trytes(emulator.memory, kMemoryTrytes);
  uint64_t trytes = 0;
  std::string error;
  if (read_image_into(image, emulator.memory, kMemoryTrytes, trytes, error)) return true;
  window_show_error(("Could not load the memory image: " + error).c_str());
  return false;
}

// Fills the record up to the boot: false, after noting or showing why, when the
// application cannot go on.
bool emulator_prepare(Emulator& emulator) {
  emulator.memory = static_cast<uint8_t*>(memory_block_allocate(kMainMemoryBytes));
  if (emulator.memory == nullptr) {
    window_note_failure("not enough memory for the machine");
    return false;
  }
  if (!processor_init(emulator.processor, emulator.memory, kMemoryTrytes)) {
    window_show_error(kLoadFailureMessage);
    return false;
  }
  if (!load_memory(emulator)) return false;
  emulator.display_pixels = static_cast<uint32_t*>(std::calloc(kPixelCount, sizeof(uint32_t)));
  if (emulator.display_pixels == nullptr) {
    window_show_error(kLoadFailureMessage);
    return false;
  }
  emulator.processor.machine.pc = emulator.options.entry;
  emulator.processor.host.speed = emulator.options.speed;  // before the runner starts: no lock needed yet
  return true;
}

// After the message loop: stops the runner and saves the memory it left, when the
// loop ended normally. Returns the exit code.
int emulator_finish(Emulator& emulator, bool closed_normally) {
  processor_join(emulator.processor);  // runner and cores ended: nothing changes the memory or competes with the save
  window_destroy(emulator);
  if (!closed_normally) return 1;
  if (emulator_save(emulator)) return 0;
  window_show_error(kSaveFailureMessage);
  return 1;
}

// The labels of the first symbol file found beside the image; none when there is
// no readable one (the failure line then gives the bare address).
std::vector<AsmLabel> labels_beside_image(const Emulator& emulator) {
  std::vector<std::string> images;
  if (emulator.folder[0] != '\0') {
    images = {std::string(emulator.folder) + kTritFileName, std::string(emulator.folder) + kTextFileName};
  } else if (emulator.options.target != nullptr) {
    images = {emulator.options.target};
  }
  for (const std::string& image : images) {
    std::string text, error;
    std::vector<AsmLabel> labels;
    if (read_input_file(symbol_path_beside(image), kTextInputLimitBytes, text, error) &&
        parse_symbols(text, labels, error)) {
      return labels;
    }
  }
  return {};
}

}  // namespace

void emulator_report_failure(const Emulator& emulator) {
  const Machine& machine = emulator.processor.machine;
  if (!status_is_failure(machine.status)) return;
  const std::string place = name_address(labels_beside_image(emulator), machine.pc);
  std::fprintf(stderr, "%s\n", failure_line(machine.status, machine.pc, machine.executed, place).c_str());
  std::fflush(stderr);
}

bool emulator_save(Emulator& emulator) {
  processor_join(emulator.processor);
  if (!emulator.saves) return true;
  platform_release_claim(emulator.claim);  // an open file could keep Windows from renaming over it
  return save_memory_files(emulator.memory, kMemoryTrytes, emulator.save_folder);
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
