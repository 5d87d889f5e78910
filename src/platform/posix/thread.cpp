#include "platform/thread.h"

#include <pthread.h>

namespace quill {
namespace {

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t));

void* trampoline(void* record) {
  auto* thread = static_cast<PlatformThread*>(record);
  thread->proc(thread->argument);
  return nullptr;
}

}  // namespace

bool thread_start(PlatformThread& thread, ThreadProc proc, void* argument) {
  if (thread.started || proc == nullptr) return false;
  thread.proc = proc;
  thread.argument = argument;
  pthread_t native{};
  if (pthread_create(&native, nullptr, trampoline, &thread) != 0) return false;
  thread.handle = static_cast<uintptr_t>(native);
  thread.started = true;
  return true;
}

void thread_join(PlatformThread& thread) {
  if (!thread.started) return;
  (void)pthread_join(static_cast<pthread_t>(thread.handle), nullptr);
  thread.handle = 0;
  thread.started = false;
}

}  // namespace quill
