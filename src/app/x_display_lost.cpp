#include "app/x_display_lost.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace quill {
namespace {

void (*lost_display_action)() = nullptr;

XErrorHandler previous_error_handler = nullptr;

// SDL wakes its waiting event loop by sending the window an event on a second
// connection. A wake-up that reaches the server just after the window was destroyed
// at close fails with BadWindow, which Xlib's default handler turns into exit code 1
// after a successful save. That one error is harmless; every other error goes on to
// the handler that was there before.
int on_protocol_error(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return previous_error_handler != nullptr ? previous_error_handler(display, error) : 0;
}

int on_io_error(Display*) {
  lost_display_action();
  return 0;  // not reached: the action ends the process
}

}  // namespace

void call_on_lost_display(void (*on_lost)()) {
  lost_display_action = on_lost;
  (void)XSetIOErrorHandler(on_io_error);
}

// Before SDL starts: SDL keeps the handler it finds and puts it back when it quits,
// which is when the late wake-up's error arrives.
void pass_over_late_wakeups() { previous_error_handler = XSetErrorHandler(on_protocol_error); }

}  // namespace quill
