#include "platform/interrupt.h"

#include <windows.h>

namespace quill {
namespace {

// The console's handler runs on a thread of its own and reaches its flag only through a global.
std::atomic<std::atomic<int32_t>*> g_flag{nullptr};

BOOL WINAPI note_interrupt(DWORD event) {
  std::atomic<int32_t>* flag = g_flag.load();
  if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || flag == nullptr) return FALSE;
  flag->exchange(1);
  return TRUE;
}

}  // namespace

bool interrupt_catch(std::atomic<int32_t>* flag) {
  g_flag.store(flag);
  return SetConsoleCtrlHandler(note_interrupt, TRUE) != 0;
}

void interrupt_release() {
  (void)SetConsoleCtrlHandler(note_interrupt, FALSE);
  g_flag.store(nullptr);
}

}  // namespace quill
