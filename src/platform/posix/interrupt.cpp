#include "platform/interrupt.h"

#include <csignal>

namespace quill {
namespace {

// A signal handler reaches its flag only through a global; one process catches for one flag.
std::atomic<int32_t>* g_flag = nullptr;

void note_interrupt(int /*signal*/) {
  if (g_flag != nullptr) g_flag->exchange(1);
}

}  // namespace

bool interrupt_catch(std::atomic<int32_t>* flag) {
  g_flag = flag;
  struct sigaction action {};
  action.sa_handler = note_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a read of the next command goes on after it
  return sigaction(SIGINT, &action, nullptr) == 0;
}

void interrupt_release() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  (void)sigaction(SIGINT, &action, nullptr);
  g_flag = nullptr;
}

}  // namespace quill
