#include "app/x_display_lost.h"

#include <X11/Xlib.h>

namespace quill {
namespace {

void (*lost_display_action)() = nullptr;

int on_io_error(Display*) {
  lost_display_action();
  return 0;  // not reached: the action ends the process
}

}  // namespace

void call_on_lost_display(void (*on_lost)()) {
  lost_display_action = on_lost;
  (void)XSetIOErrorHandler(on_io_error);
}

}  // namespace quill
