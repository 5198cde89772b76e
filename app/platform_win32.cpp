// The platform layer on Windows: the window Form1 with its label, the message box, the
// executable's directory and the end of the process, all through the wide-character API.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/platform.h"
#include "common/file_path.h"
#include "common/windows_text.h"

namespace platform {
namespace {

const wchar_t kWindowClass[] = L"Form1";
HWND g_window = nullptr;

// Form1 handles nothing itself: once painted, the run processes no messages.
LRESULT CALLBACK form_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcW(window, message, w, l);
}

// Twips to pixels at the screen's own resolution.
int from_twips(int twips, int dots_per_inch) {
  return MulDiv(twips, dots_per_inch, 1440);
}

}  // namespace

void show_window(const WindowSpec& spec) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW form_class = {};
  form_class.lpfnWndProc = form_procedure;
  form_class.hInstance = instance;
  form_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // IDC_WAIT
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kWindowClass;
  if (RegisterClassW(&form_class) == 0) return;

  const HDC screen = GetDC(nullptr);
  const int dpi_x = GetDeviceCaps(screen, LOGPIXELSX);
  const int dpi_y = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, from_twips(spec.client_width, dpi_x), from_twips(spec.client_height, dpi_y)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  g_window = CreateWindowExW(0, kWindowClass, to_wide(spec.title).c_str(), style,
                             (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                             (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                             nullptr, instance, nullptr);
  if (g_window == nullptr) return;

  const HWND label =
      CreateWindowExW(0, L"STATIC", to_wide(spec.label).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT,
                      from_twips(spec.label_left, dpi_x), from_twips(spec.label_top, dpi_y),
                      from_twips(spec.label_width, dpi_x), from_twips(spec.label_height, dpi_y),
                      g_window, nullptr, instance, nullptr);
  const HFONT font = CreateFontW(
      -MulDiv(spec.font_points, dpi_y, 72), 0, 0, 0, spec.font_bold ? FW_BOLD : FW_NORMAL, FALSE,
      FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
      DEFAULT_PITCH | FF_SWISS, to_wide(spec.font_family).c_str());
  if (label != nullptr && font != nullptr) SendMessageW(label, WM_SETFONT, WPARAM(font), FALSE);

  ShowWindow(g_window, SW_SHOWNORMAL);
  // Paint the window and its label now: no message is processed after this.
  RedrawWindow(g_window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
}

void show_message(const std::string& caption, const std::string& text) {
  MessageBoxW(g_window, to_wide(text).c_str(), to_wide(caption).c_str(), MB_OK);
}

void report_fault(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  MessageBoxW(g_window, to_wide(text).c_str(), to_wide(caption).c_str(), MB_OK | MB_ICONERROR);
}

void end_process(int status) {
  std::fflush(nullptr);
  ExitProcess(UINT(status));
}

}  // namespace platform
