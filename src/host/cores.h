// The three auxiliary cores: each runs a machine on a private copy of a stretch of
// main memory, on its own thread (HostState::core_thread, from runner/core_runner.h),
// paced like the main runner and limited by a budget of instructions. The main
// program drives them through the core host calls.
#pragma once

#include "host/host_state.h"

namespace quill {

inline constexpr uint64_t kCoreMemoryMax = 262'144;         // trytes a core may be given
inline constexpr uint64_t kCoreDefaultBudget = 64'000'000;  // when the parameter block says NIL

// Sets every core's stop flag (atomic exchanges, no lock). Any thread.
void cores_request_stop(HostState& state);

// Stops every core for good: the running ones, and any that a start call, now or
// later, would run. Any thread.
void cores_stop_for_good(HostState& state);

// Stops all cores, joins their threads in slot order, frees their memories and
// clears their machines. After the main runner has ended; first thread.
void cores_shutdown(HostState& state);

}  // namespace quill
