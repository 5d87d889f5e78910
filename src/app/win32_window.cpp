// The window on the Win32 API: a window procedure that keeps its Emulator in the
// window's user data, paints through an off-screen bitmap so the screen gets the
// whole client area in one copy, polls the frame counter on a 16 ms timer and
// turns key messages into the machine's key codes.
#include <windows.h>

#include <cstdio>

#include "app/key_translation.h"
#include "app/person_keys.h"
#include "app/picture_layout.h"
#include "app/win32_keys.h"
#include "app/window.h"
#include "app/window_icon.h"
#include "app/window_title.h"
#include "host/framebuffer.h"

namespace quill {
namespace {

constexpr wchar_t kClassName[] = L"QuillomarFramebuffer";
constexpr wchar_t kWideTitle[] = L"Quillomar";
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintPeriodMs = 16;
constexpr UINT_PTR kWatchTimer = 2;
// Sent by the runner thread as its last action.
constexpr UINT kRunnerEndedMessage = WM_APP;

HWND window_handle(const Emulator& emulator) { return static_cast<HWND>(emulator.window); }

// The icon made from the shared pixels, so no resource file is compiled in; kept
// until the window system closes.
HICON window_icon = nullptr;

HICON make_icon() {
  uint32_t pixels[kIconSide * kIconSide];
  draw_window_icon(pixels);
  const int side = static_cast<int>(kIconSide);
  HBITMAP colour = CreateBitmap(side, side, 1, 32, pixels);
  uint8_t opaque[kIconSide * kIconSide / 8] = {};  // an all-zero mask: every pixel drawn
  HBITMAP mask = CreateBitmap(side, side, 1, 1, opaque);
  HICON icon = nullptr;
  if (colour != nullptr && mask != nullptr) {
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = colour;
    icon = CreateIconIndirect(&info);  // copies both bitmaps
  }
  if (colour != nullptr) (void)DeleteObject(colour);
  if (mask != nullptr) (void)DeleteObject(mask);
  return icon;
}

// The display copy as a device-independent bitmap: 32-bit pixels, rows top-down
// (the negative height), so pixel y * 500 + x is row y from the top.
BITMAPINFO picture_bitmap_info() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(kPictureWidth);
  info.bmiHeader.biHeight = -static_cast<LONG>(kPictureHeight);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Draws black and the picture into `target` (a memory context of width x height).
void draw_client(Emulator& emulator, HDC target, LONG width, LONG height) {
  RECT client{0, 0, width, height};
  (void)FillRect(target, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  // Copied under the lock; the stretch below works on the window's own copy.
  emulator.painted_frame = framebuffer_copy_for_paint(emulator.processor.host, emulator.display_pixels);
  PictureRect picture;
  if (!picture_layout(width, height, picture)) return;
  const BITMAPINFO info = picture_bitmap_info();
  (void)SetStretchBltMode(target, COLORONCOLOR);
  (void)StretchDIBits(target, static_cast<int>(picture.x), static_cast<int>(picture.y), static_cast<int>(picture.width),
                      static_cast<int>(picture.height), 0, 0, static_cast<int>(kPictureWidth),
                      static_cast<int>(kPictureHeight), emulator.display_pixels, &info, DIB_RGB_COLORS, SRCCOPY);
}

// When the off-screen context or bitmap cannot be made nothing is drawn and
// painted_frame stays, so the next timer tick asks again.
void paint(Emulator& emulator, HWND window) {
  PAINTSTRUCT paint_info;
  HDC screen = BeginPaint(window, &paint_info);
  RECT client{};
  (void)GetClientRect(window, &client);
  const LONG width = client.right - client.left;
  const LONG height = client.bottom - client.top;
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width > 1 ? width : 1, height > 1 ? height : 1);
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    draw_client(emulator, memory, width, height);
    (void)BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    (void)SelectObject(memory, previous);
  }
  if (bitmap != nullptr) (void)DeleteObject(bitmap);
  if (memory != nullptr) (void)DeleteDC(memory);
  (void)EndPaint(window, &paint_info);
}

void show_final_title(Emulator& emulator, HWND window) {
  char title[kTitleCapacity];
  format_final_title(emulator.processor.stop_requested.load() != 0, emulator.processor.machine.status, title);
  (void)SetWindowTextA(window, title);
  (void)InvalidateRect(window, nullptr, FALSE);
  emulator_report_failure(emulator);
}

void toggle_fullscreen(HWND window);  // below, with the window's set-up

// After a restart the title is the running one again and the black picture is
// painted; a restart that lost the machine ends the loop without a save.
void after_restart(HWND window, RestartOutcome outcome) {
  if (outcome == RestartOutcome::failed) PostQuitMessage(1);
  if (outcome != RestartOutcome::restarted) return;
  (void)SetWindowTextW(window, kWideTitle);
  (void)InvalidateRect(window, nullptr, FALSE);
}

// The person's keys act once per press, not again while held (bit 30: down before).
void act_for_person(Emulator& emulator, HWND window, PersonKey key, LPARAM lparam) {
  if ((lparam & (LPARAM{1} << 30)) != 0) return;
  switch (key) {
    case PersonKey::restart:
      after_restart(window, emulator_restart(emulator));
      return;
    case PersonKey::screenshot:
      emulator_screenshot(emulator);
      return;
    case PersonKey::fullscreen:
      toggle_fullscreen(window);
      return;
    case PersonKey::none:
      return;
  }
}

// True when the key means something to the person or to the machine (or is F12):
// then the message is handled, even when the full queue drops the code.
bool press_key(Emulator& emulator, HWND window, WPARAM virtual_key, LPARAM lparam) {
  const KeyModifiers modifiers = modifiers_from_key_state(GetKeyState(VK_CONTROL), GetKeyState(VK_SHIFT));
  const Key key = key_from_virtual_key(virtual_key);
  const PersonKey personal = person_key(key, modifiers);
  if (personal != PersonKey::none) {
    act_for_person(emulator, window, personal, lparam);
    return true;
  }
  const KeyPress press = translate_key_press(key, modifiers);
  if (press.action == KeyAction::push) (void)processor_push_key(emulator.processor, press.code);
  if (press.action == KeyAction::stop) processor_request_stop(emulator.processor);
  return press.action != KeyAction::ignored;
}

void type_unit(Emulator& emulator, WPARAM unit) {
  if (typing_with_ctrl(GetKeyState(VK_CONTROL), GetKeyState(VK_MENU))) return;
  const int64_t code = translate_typed_unit(static_cast<char16_t>(unit));
  if (code != kNoKeyCode) (void)processor_push_key(emulator.processor, code);
}

// The session ends (log-off, shut-down): the system ends the process soon after
// WM_ENDSESSION returns, so the memory is saved now, as a close saves it, and the
// process ends with a close's exit code.
[[noreturn]] void end_session(Emulator& emulator) {
  const bool saved = emulator_save(emulator);
  if (!saved) std::fprintf(stderr, "%s\n", kSaveFailureMessage);
  std::fflush(stderr);
  ExitProcess(saved ? 0 : 1);
}

LRESULT handle_message(Emulator& emulator, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      (void)KillTimer(window, kRepaintTimer);
      (void)KillTimer(window, kWatchTimer);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      (void)InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      paint(emulator, window);
      return 0;
    case WM_CLOSE:
      processor_request_quit(emulator.processor);
      (void)DestroyWindow(window);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // never holds the session up: WM_ENDSESSION saves
    case WM_ENDSESSION:
      if (wparam != FALSE) end_session(emulator);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting covers the whole client area
    case WM_KEYDOWN:
      if (press_key(emulator, window, wparam, lparam)) return 0;
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_CHAR:
      type_unit(emulator, wparam);
      return 0;
    case WM_TIMER:
      if (wparam == kWatchTimer) {
        after_restart(window, emulator_poll_watch(emulator));
        return 0;
      }
      if (frame_needs_repaint(framebuffer_frame_counter(emulator.processor.host), emulator.painted_frame)) {
        (void)InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONDOWN:
      (void)SetFocus(window);
      return 0;
    case WM_GETMINMAXINFO: {  // never smaller than the picture at scale 1
      RECT outer{0, 0, static_cast<LONG>(kPictureWidth), static_cast<LONG>(kPictureHeight)};
      (void)AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize = POINT{outer.right - outer.left, outer.bottom - outer.top};
      return 0;
    }
    case kRunnerEndedMessage:
      // A restart clears the flag, so the message of a runner it ended shows nothing.
      if (emulator.runner_ended.exchange(0) != 0) show_final_title(emulator, window);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* emulator = static_cast<Emulator*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    emulator->window = window;
    (void)SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(emulator));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  auto* emulator = reinterpret_cast<Emulator*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (emulator == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return handle_message(*emulator, window, message, wparam, lparam);
}

bool register_window_class(HINSTANCE instance) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window_class.lpszClassName = kClassName;
  return RegisterClassW(&window_class) != 0;
}

// Where the window was before it went full screen, to go back there; one window a process.
WINDOWPLACEMENT windowed_placement{};
bool is_fullscreen = false;

// Full screen is a borderless window over the whole monitor.
void make_fullscreen(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) == 0) return;
  windowed_placement.length = sizeof windowed_placement;
  if (GetWindowPlacement(window, &windowed_placement) == 0) return;
  const LONG_PTR visible = IsWindowVisible(window) != 0 ? WS_VISIBLE : 0;
  (void)SetWindowLongPtrW(window, GWL_STYLE, WS_POPUP | visible);
  const RECT& area = monitor.rcMonitor;
  (void)SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
  is_fullscreen = true;
}

void toggle_fullscreen(HWND window) {
  if (!is_fullscreen) {
    make_fullscreen(window);
    return;
  }
  (void)SetWindowLongPtrW(window, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  (void)SetWindowPlacement(window, &windowed_placement);
  (void)SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
  is_fullscreen = false;
}

}  // namespace

void window_show_error(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  wchar_t wide[256];
  if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 256) == 0) return;
  (void)MessageBoxW(nullptr, wide, kWideTitle, MB_ICONERROR);
}

// A GUI program has no console; the line reaches a redirected standard error only.
void window_note_failure(const char* text) { std::fprintf(stderr, "quillomar: %s\n", text); }

bool window_open(Emulator& emulator) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!register_window_class(instance)) {
    window_note_failure("cannot register the window class");
    return false;
  }
  const auto scale = static_cast<LONG>(emulator.options.scale);
  RECT outer{0, 0, static_cast<LONG>(kPictureWidth) * scale, static_cast<LONG>(kPictureHeight) * scale};
  (void)AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
  // The window procedure stores the handle in emulator.window on WM_NCCREATE.
  HWND window =
      CreateWindowExW(0, kClassName, kWideTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, &emulator);
  if (window == nullptr) {
    emulator.window = nullptr;
    window_note_failure("cannot create the window");
    return false;
  }
  emulator.window = window;
  window_icon = make_icon();
  if (window_icon != nullptr) {
    (void)SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(window_icon));
    (void)SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(window_icon));
  }
  if (emulator.options.fullscreen) make_fullscreen(window);
  return true;
}

// The handle was stored before the runner started and is never rewritten, so the
// runner reads it without a lock; posting to a window already destroyed fails
// harmlessly.
void window_runner_ended(void* context) {
  auto* emulator = static_cast<Emulator*>(context);
  emulator->runner_ended.store(1);
  (void)PostMessageW(window_handle(*emulator), kRunnerEndedMessage, 0, 0);
}

bool window_run(Emulator& emulator) {
  HWND window = window_handle(emulator);
  (void)SetTimer(window, kRepaintTimer, kRepaintPeriodMs, nullptr);
  if (emulator.options.watch) (void)SetTimer(window, kWatchTimer, kWatchPollMs, nullptr);
  (void)ShowWindow(window, SW_SHOW);
  (void)UpdateWindow(window);
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    (void)TranslateMessage(&message);
    (void)DispatchMessageW(&message);
  }
  // WM_QUIT: 0 when the window was destroyed, 1 when a restart lost the machine; -1 is an error.
  return got == 0 && message.wParam == 0;
}

// Leaves emulator.window as it is: the runner may still read it (see above).
void window_destroy(Emulator& emulator) {
  HWND window = window_handle(emulator);
  if (window != nullptr && IsWindow(window)) (void)DestroyWindow(window);
}

void window_system_close() {
  if (window_icon != nullptr) (void)DestroyIcon(window_icon);
  window_icon = nullptr;
}

}  // namespace quill
