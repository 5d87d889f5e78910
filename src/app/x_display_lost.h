// The X connection breaking under a running window (the server ended or the
// display was taken away). Apart from the window, as Xlib's names clash with ours.
#pragma once

namespace quill {

// Makes Xlib call `on_lost` on the thread that finds the connection broken, instead
// of ending the process there; `on_lost` must not return. First thread.
void call_on_lost_display(void (*on_lost)());

// Lets the BadWindow error of a wake-up that SDL sent to the window just as it closed
// pass silently (Xlib would end the process with exit code 1 after the save). Before
// SDL_Init, on the first thread.
void pass_over_late_wakeups();

}  // namespace quill
