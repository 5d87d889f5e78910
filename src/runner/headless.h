// A processor without a window: owns a main memory, a Processor and the runner's
// end signal. Tests and the command-line runner drive programs through it.
//
// Order of use: headless_create, load (folder or program), headless_start, then
// push keys, copy the framebuffer, wait for the end or request quit/stop, then
// headless_join before reading the machine or saving, and headless_destroy.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "codec/machine_memory.h"
#include "platform/event.h"
#include "runner/processor.h"

namespace quill {

struct HeadlessOptions {
  uint64_t boot_address = kBootAddress;
  uint64_t speed = kDefaultSpeed;  // instructions per second; 0 runs unpaced
  uint64_t step_limit = 0;         // 0: none; else the runner ends after this many instructions
  StepHook step_hook = nullptr;    // when set, called before every instruction (see StepHook)
  void* step_context = nullptr;
  DebugGate* debug_gate = nullptr;  // when set, a debugger may hold the runner through it
};

struct HeadlessHost {
  uint8_t* memory = nullptr;  // 3 bytes a tryte, owned here
  uint64_t size = 0;          // trytes
  Processor* processor = nullptr;
  PlatformEvent ended_event;                  // signalled by the runner's end
  std::atomic<int32_t> end_notifications{0};  // how often the runner reported its end
};

// Allocates `size` zero trytes and a processor over them. False (everything freed)
// when memory or a system object is lacking.
[[nodiscard]] bool headless_create(HeadlessHost& host, uint64_t size);

// As headless_create, but leaves the memory unset (zero bytes, not zero trytes)
// for a load that sets all of it: headless_load_folder, or an image read from
// tryte 0 followed by fill_zero_trytes of the rest. Filling 192 MB that the image
// overwrites anyway would cost most of a short run.
[[nodiscard]] bool headless_create_unfilled(HeadlessHost& host, uint64_t size);

// Loads the memory image files from `folder` (which ends in a separator or is empty),
// setting the trytes after the image to zero, and, only when that succeeded,
// removes the temporaries an interrupted save left there.
[[nodiscard]] bool headless_load_folder(HeadlessHost& host, const char* folder);

// Stores a text-image program (symbols, whitespace ignored) from `address`; false
// when a byte is not a symbol or it does not fit.
[[nodiscard]] bool headless_load_program(HeadlessHost& host, const char* symbols, size_t length, uint64_t address);

// Sets the boot address, speed, step limit, step hook and gate, and starts the runner. False when
// the boot address lies outside memory or the runner cannot start.
[[nodiscard]] bool headless_start(HeadlessHost& host, const HeadlessOptions& options);

// Queues a key code for the program; false when it was dropped.
bool headless_push_key(HeadlessHost& host, int64_t code);

// Copies the picture the window would paint (kPixelCount pixels) and returns the frame counter.
uint64_t headless_copy_framebuffer(HeadlessHost& host, uint32_t* out);

// Waits up to `timeout_ms` for the runner to end; true once it has.
[[nodiscard]] bool headless_wait_end(HeadlessHost& host, uint32_t timeout_ms);

// Asks the runner to end, leaving the machine's status as it is.
void headless_request_quit(HeadlessHost& host);

// Stops the processor and the cores, as the user's stop key does.
void headless_request_stop(HeadlessHost& host);

// Requests a quit and waits for the runner, then stops and joins the cores; the
// machine is then safe to read.
void headless_join(HeadlessHost& host);

// The main machine; read it only after headless_join.
[[nodiscard]] inline const Machine& headless_machine(const HeadlessHost& host) { return host.processor->machine; }

// Writes both memory image files into `folder`, after headless_join.
[[nodiscard]] bool headless_save(HeadlessHost& host, const char* folder);

// Joins every thread and frees everything. Safe after a failed create.
void headless_destroy(HeadlessHost& host);

}  // namespace quill
