// HostState: everything behind the main machine's host calls, shared between the
// main runner thread (which makes every host call), the window thread (keys,
// painting) and the auxiliary core threads. One lock guards the framebuffer and
// its counters and colour registers, the key queue and waiting_for_key, speed and
// speed_changes, and each core slot's state, result and executed snapshot.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpu/machine.h"
#include "host/color.h"
#include "host/fetch_service.h"
#include "platform/lock.h"
#include "platform/thread.h"

namespace quill {

inline constexpr int64_t kFrameWidth = 500;
inline constexpr int64_t kFrameHeight = 320;
inline constexpr int64_t kPixelCount = kFrameWidth * kFrameHeight;
inline constexpr uint32_t kKeyQueueCapacity = 4096;
inline constexpr int kCoreCount = 3;
inline constexpr uint64_t kDefaultSpeed = 64'000'000;  // instructions per second

enum CoreState : int32_t { core_idle = 0, core_running = 1, core_finished = 2, core_failed = 3 };

struct HostState;

// One auxiliary core: a machine on a private copy of main memory, on its own thread.
struct CoreSlot {
  Machine machine;                         // memory owned by the slot; never a host hook
  PlatformThread thread;                   // kept after the core ends, until restart or shutdown
  HostState* host = nullptr;               // for the lock, speed and speed_changes
  std::atomic<int32_t> stop_requested{0};  // exchange to write, load to read
  CoreState state = core_idle;             // under the lock
  int64_t result = NIL;                    // the accumulator at a halt; under the lock
  uint64_t executed_snapshot = 0;          // refreshed after each batch; under the lock
  uint64_t budget = 0;                     // most instructions the core may execute
};

struct HostState {
  Machine* machine = nullptr;  // the main machine, the only one with a host hook
  PlatformLock lock;

  // Framebuffer (under the lock).
  uint32_t pixels[kPixelCount] = {};        // the live picture, 0x00RRGGBB
  uint64_t frame_counter = 0;               // moves each time a change is published
  uint32_t display_copy[kPixelCount] = {};  // what the window paints; frozen during a hold
  uint16_t color_codes[kPixelCount] = {};   // the colour code of every pixel
  TernaryColor color1 = kWhite;             // where a selector or pattern bit is 1
  TernaryColor color0 = kBlack;             // where it is 0, and for the runs

  FetchState fetch;  // main runner thread only

  uint32_t hold_depth = 0;   // under the lock
  bool frame_dirty = false;  // drawn during a hold; under the lock

  // Key queue: a ring written by the window thread, read by host calls (under the lock).
  int64_t key_queue[kKeyQueueCapacity] = {};
  uint32_t key_head = 0;
  uint32_t key_count = 0;
  bool waiting_for_key = false;

  uint64_t speed = kDefaultSpeed;  // written under the lock by the runner thread only
  uint64_t speed_changes = 0;      // likewise
  uint64_t start_ns = 0;
  uint64_t wake_ns = 0;      // the main runner executes nothing before this time
  uint64_t read_cursor = 0;  // address for sys_cursor_tryte and sys_cursor_cell

  uint64_t fb_cursor = 0;  // pixel index for fb_set_cursor / fb_cursor_run; under the lock

  bool halt_request = false;  // set by the halt call, never cleared

  // The debugger's recorder, told of every memory write a host call is about to
  // make so that it can keep the trytes written over. Null outside the debugger.
  void (*note_write)(void* context, uint64_t first_tryte, uint64_t count) = nullptr;
  void* note_context = nullptr;

  bool cores_enabled = false;  // once initialised: shutdown then stops and joins the cores
  // Set by the user's stop and at shutdown, never cleared: from then on a start
  // leaves its core's stop flag set, so the core ends before its first batch.
  std::atomic<int32_t> cores_stopped{0};
  CoreSlot cores[kCoreCount];
  // The thread procedure a core start runs on its slot; the runner sets it
  // (processor_init), so the host calls need no runner. Unset, a start fails.
  ThreadProc core_thread = nullptr;
};

// Prepares a constructed HostState for `machine`: the lock, the initial colour
// codes, the start time, and host_dispatch as the machine's host hook. False when
// the lock cannot be made (nothing else is touched then). Before any thread starts.
[[nodiscard]] bool host_state_init(HostState& state, Machine& machine);

// Stops every core and joins it, frees the core memories and the fetch body,
// unhooks the main machine and deletes the lock. After the main runner has ended.
void host_state_release(HostState& state);

}  // namespace quill
