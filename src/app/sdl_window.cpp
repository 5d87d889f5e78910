// The window on SDL2: one resizable window painted through its window surface, fed
// by SDL's key and text events. Closing the window, SIGINT or SIGTERM (which SDL
// turns into a quit event) and SIGHUP end the message loop normally. Only the
// first thread talks to the display.
#include <SDL.h>
#include <signal.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/key_translation.h"
#include "app/person_keys.h"
#include "app/picture_layout.h"
#include "app/sdl_keys.h"
#include "app/window.h"
#include "app/window_icon.h"
#include "app/window_title.h"
#include "app/x_display_lost.h"
#include "host/framebuffer.h"
#include "platform/clock.h"

namespace quill {
namespace {

constexpr uint64_t kRepaintPeriodMs = 16;

// A hang-up (the terminal went away) closes like SIGTERM; the loop, which wakes at
// least every 16 ms, looks at the flag.
volatile sig_atomic_t hang_up = 0;
void on_hang_up(int) { hang_up = 1; }

// The emulator whose memory a lost X display must still save; set while the window exists.
Emulator* display_owner = nullptr;

// Called when the connection to the X server breaks. Only the first thread talks to
// X, so the runner can be joined here.
[[noreturn]] void on_display_lost() {
  std::fputs("quillomar: lost the display; saving the memory\n", stderr);
  const bool saved = display_owner == nullptr || emulator_save(*display_owner);
  std::fputs(saved ? "quillomar: the memory was saved\n" : "quillomar: the memory could not be saved\n", stderr);
  std::fflush(stderr);
  std::_Exit(1);
}

// The client area as the window shows it, grown to the window's size when needed.
struct Canvas {
  uint32_t* pixels = nullptr;
  size_t capacity = 0;  // pixels
};

bool canvas_reserve(Canvas& canvas, size_t count) {
  if (count <= canvas.capacity) return true;
  void* grown = std::realloc(canvas.pixels, count * sizeof(uint32_t));
  if (grown == nullptr) return false;
  canvas.pixels = static_cast<uint32_t*>(grown);
  canvas.capacity = count;
  return true;
}

// SDL falls back to drivers that draw into memory when no display answers; a
// window nobody can see or close would run the machine unattended.
bool shows_on_screen(const char* driver) {
  return driver != nullptr && SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0 &&
         SDL_strcmp(driver, "evdev") != 0;
}

SDL_Window* sdl_window(const Emulator& emulator) { return static_cast<SDL_Window*>(emulator.window); }

// Without an icon the window would show the desktop's generic one; SDL copies the surface.
void set_icon(SDL_Window* window) {
  uint32_t pixels[kIconSide * kIconSide];
  draw_window_icon(pixels);
  const int side = static_cast<int>(kIconSide);
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels, side, side, 32, side * 4, SDL_PIXELFORMAT_ARGB8888);
  if (icon == nullptr) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

// Copies the framebuffer under the lock and draws it, scaled and centred, outside
// it. When the window surface or the canvas cannot be had nothing is drawn and
// painted_frame stays, so the next tick tries again.
void paint(Emulator& emulator, Canvas& canvas) {
  SDL_Window* window = sdl_window(emulator);
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (surface == nullptr) return;
  const int width = surface->w;
  const int height = surface->h;
  const size_t count = static_cast<size_t>(width > 1 ? width : 1) * static_cast<size_t>(height > 1 ? height : 1);
  if (!canvas_reserve(canvas, count)) return;
  emulator.painted_frame = framebuffer_copy_for_paint(emulator.processor.host, emulator.display_pixels);
  if (width <= 0 || height <= 0) return;
  draw_picture(emulator.display_pixels, canvas.pixels, width, height);
  (void)SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, canvas.pixels, width * 4, surface->format->format,
                          surface->pixels, surface->pitch);
  (void)SDL_UpdateWindowSurface(window);
}

// With QUILLOMAR_REPORT_FIRST_PAINT=1 in the environment, prints the monotonic
// clock (CLOCK_MONOTONIC, in nanoseconds) at the first paint to stderr, so that the
// start-up benchmark (bench/latency.py) can time exec to first picture.
void report_first_paint() {
  const char* wanted = std::getenv("QUILLOMAR_REPORT_FIRST_PAINT");
  if (wanted != nullptr && std::strcmp(wanted, "1") == 0) {
    std::fprintf(stderr, "quillomar: first paint at %" PRIu64 " ns\n", clock_now_ns());
  }
}

void show_final_title(Emulator& emulator) {
  char title[kTitleCapacity];
  format_final_title(emulator.processor.stop_requested.load() != 0, emulator.processor.machine.status, title);
  SDL_SetWindowTitle(sdl_window(emulator), title);
  emulator_report_failure(emulator);
}

enum class Handled { go_on, repaint, closed, machine_lost };

// After a restart the title is the running one again and the black picture is painted.
Handled after_restart(Emulator& emulator, RestartOutcome outcome) {
  if (outcome == RestartOutcome::failed) return Handled::machine_lost;
  if (outcome == RestartOutcome::kept) return Handled::go_on;
  SDL_SetWindowTitle(sdl_window(emulator), kWindowTitle);
  return Handled::repaint;
}

void toggle_fullscreen(Emulator& emulator) {
  SDL_Window* window = sdl_window(emulator);
  const bool full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
  (void)SDL_SetWindowFullscreen(window, full ? 0u : uint32_t{SDL_WINDOW_FULLSCREEN_DESKTOP});
}

// The person's keys act once per press, not again while held.
Handled act_for_person(Emulator& emulator, PersonKey key, bool repeated) {
  if (repeated) return Handled::go_on;
  switch (key) {
    case PersonKey::restart:
      return after_restart(emulator, emulator_restart(emulator));
    case PersonKey::screenshot:
      emulator_screenshot(emulator);
      return Handled::go_on;
    case PersonKey::fullscreen:
      toggle_fullscreen(emulator);
      return Handled::repaint;
    case PersonKey::none:
      break;
  }
  return Handled::go_on;
}

// The modifiers held at the last key press, the one that typed the text that
// follows it. SDL_GetModState would tell the state after every event read so far,
// and a whole Ctrl+1 (press and release) can be read before its text is handled.
uint16_t typing_modifiers = KMOD_NONE;

Handled press_key(Emulator& emulator, const SDL_KeyboardEvent& key) {
  typing_modifiers = key.keysym.mod;
  const Key pressed = key_from_sdl(key.keysym.sym, key.keysym.mod);
  const KeyModifiers modifiers = modifiers_from_sdl(key.keysym.mod);
  const PersonKey personal = person_key(pressed, modifiers);
  if (personal != PersonKey::none) return act_for_person(emulator, personal, key.repeat != 0);
  const KeyPress press = translate_key_press(pressed, modifiers);
  if (press.action == KeyAction::push) (void)processor_push_key(emulator.processor, press.code);
  if (press.action == KeyAction::stop) processor_request_stop(emulator.processor);
  return Handled::go_on;
}

// Text typed with Alt or Ctrl held is a key combination, not typing.
void type_text(Emulator& emulator, const SDL_TextInputEvent& text) {
  if (typing_silenced(typing_modifiers)) return;
  int64_t codes[SDL_TEXTINPUTEVENT_TEXT_SIZE];
  const size_t count = translate_typed_text(text.text, codes, SDL_TEXTINPUTEVENT_TEXT_SIZE);
  for (size_t i = 0; i < count; ++i) (void)processor_push_key(emulator.processor, codes[i]);
}

Handled handle_event(Emulator& emulator, const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      return Handled::closed;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) return Handled::closed;
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        return Handled::repaint;
      }
      return Handled::go_on;
    case SDL_KEYDOWN:
      return press_key(emulator, event.key);
    case SDL_TEXTINPUT:
      type_text(emulator, event.text);
      return Handled::go_on;
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.button == SDL_BUTTON_LEFT) (void)SDL_SetWindowInputFocus(sdl_window(emulator));
      return Handled::go_on;
    default:
      return Handled::go_on;
  }
}

}  // namespace

void window_show_error(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  (void)SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kWindowTitle, text, nullptr);
}

void window_note_failure(const char* text) { std::fprintf(stderr, "quillomar: %s\n", text); }

bool window_open(Emulator& emulator) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");  // SIGINT and SIGTERM close like the close button
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // The window surface is the plain system framebuffer (shared memory on X11), not
  // an OpenGL texture: the picture is scaled here already, and no GL driver loads.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  pass_over_late_wakeups();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "quillomar: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  if (!shows_on_screen(SDL_GetCurrentVideoDriver())) {
    std::fputs("quillomar: cannot open a window: no display (neither X11 nor Wayland answers)\n", stderr);
    SDL_Quit();
    return false;
  }
  const uint32_t flags =
      SDL_WINDOW_RESIZABLE | (emulator.options.fullscreen ? uint32_t{SDL_WINDOW_FULLSCREEN_DESKTOP} : 0u);
  const auto scale = static_cast<int>(emulator.options.scale);
  SDL_Window* window =
      SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                       static_cast<int>(kPictureWidth) * scale, static_cast<int>(kPictureHeight) * scale, flags);
  if (window == nullptr) {
    std::fprintf(stderr, "quillomar: cannot create the window: %s\n", SDL_GetError());
    SDL_Quit();
    return false;
  }
  SDL_SetWindowMinimumSize(window, static_cast<int>(kPictureWidth), static_cast<int>(kPictureHeight));
  set_icon(window);
  emulator.window = window;
  display_owner = &emulator;
  if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) call_on_lost_display(on_display_lost);
  struct sigaction action {};
  action.sa_handler = on_hang_up;
  action.sa_flags = SA_RESTART;
  (void)sigemptyset(&action.sa_mask);
  (void)sigaction(SIGHUP, &action, nullptr);
  return true;
}

// A flag rather than an event: pushing an event from here would make SDL send the
// window a wake-up through X from the runner thread.
void window_runner_ended(void* emulator) { static_cast<Emulator*>(emulator)->runner_ended.store(1); }

namespace {

// True for a close, false when a failed restart left no machine to save.
bool close_window(Emulator& emulator, Canvas& canvas, bool closed = true) {
  processor_request_quit(emulator.processor);
  std::free(canvas.pixels);
  return closed;
}

}  // namespace

bool window_run(Emulator& emulator) {
  Canvas canvas;
  bool paint_due = false;  // the first picture, before any frame was published, is painted at once
  uint64_t next_tick_ms = SDL_GetTicks64() + kRepaintPeriodMs;
  uint64_t next_watch_ms = next_tick_ms + kWatchPollMs;
  paint(emulator, canvas);
  report_first_paint();
  for (;;) {
    if (paint_due) paint(emulator, canvas);
    paint_due = false;
    const uint64_t now_ms = SDL_GetTicks64();
    if (now_ms >= next_tick_ms) {
      next_tick_ms = now_ms + kRepaintPeriodMs;
      if (hang_up != 0) return close_window(emulator, canvas);
      if (emulator.options.watch && now_ms >= next_watch_ms) {
        next_watch_ms = now_ms + kWatchPollMs;
        const Handled handled = after_restart(emulator, emulator_poll_watch(emulator));
        if (handled == Handled::machine_lost) return close_window(emulator, canvas, false);
        if (handled == Handled::repaint) {
          paint_due = true;
          continue;
        }
      }
      if (emulator.runner_ended.exchange(0) != 0) {
        show_final_title(emulator);
        paint_due = true;
        continue;
      }
      paint_due = frame_needs_repaint(framebuffer_frame_counter(emulator.processor.host), emulator.painted_frame);
      continue;
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, static_cast<int>(next_tick_ms - now_ms)) == 0) continue;
    do {
      const Handled handled = handle_event(emulator, event);
      if (handled == Handled::closed) return close_window(emulator, canvas);
      if (handled == Handled::machine_lost) return close_window(emulator, canvas, false);
      paint_due = paint_due || handled == Handled::repaint;
    } while (SDL_PollEvent(&event) != 0);
  }
}

void window_destroy(Emulator& emulator) {
  if (emulator.window == nullptr) return;
  SDL_DestroyWindow(sdl_window(emulator));
  emulator.window = nullptr;
  display_owner = nullptr;
}

void window_system_close() { SDL_Quit(); }

}  // namespace quill
