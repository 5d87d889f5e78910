// Threads that are started once and joined once.
#pragma once

#include <cstdint>

namespace quill {

using ThreadProc = void (*)(void* argument);

// A thread handle. The record must stay where it is from thread_start to thread_join.
struct PlatformThread {
  uintptr_t handle = 0;
  ThreadProc proc = nullptr;
  void* argument = nullptr;
  bool started = false;  // true from a successful start until the join
};

// Starts `proc(argument)` on a new thread; false (nothing started, `thread`
// unchanged) when the system cannot create it or `thread` is already started.
[[nodiscard]] bool thread_start(PlatformThread& thread, ThreadProc proc, void* argument);

// Waits without a time limit for the thread to end and releases its handle;
// nothing happens when it was not started. Not from the thread itself.
void thread_join(PlatformThread& thread);

}  // namespace quill
