// What start-up and shutdown need from the window system. Exactly one backend is
// compiled: sdl_window.cpp (Linux) or win32_window.cpp (Windows).
#pragma once

#include "app/emulator.h"

namespace quill {

// The client area a window opens with: the picture at scale 2.
inline constexpr int kWindowWidth = static_cast<int>(2 * kFrameWidth);
inline constexpr int kWindowHeight = static_cast<int>(2 * kFrameHeight);

// Tells the user why the application ends: a message box captioned "Quillomar"
// with no owner window, and on Linux the same text on standard error. First thread.
void window_show_error(const char* text);

// Reports a start-up failure that shows no message box: one line on standard error
// on Linux. First thread.
void window_note_failure(const char* text);

// Opens the window system and the resizable "Quillomar" window with a
// kWindowWidth x kWindowHeight client area, stored in `emulator.window`. False, with nothing left open and the
// reason noted, when either fails. First thread.
[[nodiscard]] bool window_open(Emulator& emulator);

// The runner's end hook (`emulator` is the Emulator): asks the window thread to show
// the final status in the title. Runner thread.
void window_runner_ended(void* emulator);

// Runs the message loop: paints, feeds keys, stops on F12, until the window is
// closed (true; the quit was requested) or the window system fails (false).
// First thread.
[[nodiscard]] bool window_run(Emulator& emulator);

// Destroys the window if there is one. First thread.
void window_destroy(Emulator& emulator);

// Closes the window system; the last call of the application. First thread.
void window_system_close();

}  // namespace quill
