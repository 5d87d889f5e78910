#include "platform/thread.h"

#include <windows.h>

namespace quill {
namespace {

static_assert(sizeof(HANDLE) <= sizeof(uintptr_t));

DWORD WINAPI trampoline(LPVOID record) {
  auto* thread = static_cast<PlatformThread*>(record);
  thread->proc(thread->argument);
  return 0;
}

}  // namespace

bool thread_start(PlatformThread& thread, ThreadProc proc, void* argument) {
  if (thread.started || proc == nullptr) return false;
  thread.proc = proc;
  thread.argument = argument;
  HANDLE handle = CreateThread(nullptr, 0, trampoline, &thread, 0, nullptr);
  if (handle == nullptr) return false;
  thread.handle = reinterpret_cast<uintptr_t>(handle);
  thread.started = true;
  return true;
}

void thread_join(PlatformThread& thread) {
  if (!thread.started) return;
  HANDLE handle = reinterpret_cast<HANDLE>(thread.handle);
  (void)WaitForSingleObject(handle, INFINITE);
  (void)CloseHandle(handle);
  thread.handle = 0;
  thread.started = false;
}

}  // namespace quill
