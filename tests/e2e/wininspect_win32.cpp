// wininspect: a small Windows helper for the end-to-end tests, run under Wine.
//
//   wininspect list
//     One line per window: top-level windows ("top") and, below each, its
//     descendants ("child"), with handle, parent, process id, visibility,
//     window rectangle in screen pixels, class and title:
//       top hwnd=65602 parent=0 pid=32 visible=1 rect=0,0,1024,768 class="X" title="Tavrenn"
//   wininspect host WIDTH HEIGHT QUITFILE
//     Opens a host window (like the host's preview pane) whose client area is
//     WIDTH x HEIGHT at screen position (100, 200), prints its handle in
//     decimal on the first line, and destroys it as soon as QUITFILE exists
//     (or after two minutes); then prints "closed" and exits.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

void PrintWindow(const char* kind, HWND hwnd) {
  wchar_t cls[256] = L"";
  wchar_t title[512] = L"";
  GetClassNameW(hwnd, cls, 256);
  // InternalGetWindowText does not send WM_GETTEXT, so a hung window cannot
  // block the listing.
  InternalGetWindowText(hwnd, title, 512);
  RECT r{};
  GetWindowRect(hwnd, &r);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HWND parent = GetAncestor(hwnd, GA_PARENT);
  if (parent == GetDesktopWindow()) parent = nullptr;
  std::printf("%s hwnd=%llu parent=%llu pid=%lu visible=%d rect=%ld,%ld,%ld,%ld class=\"%s\" title=\"%s\"\n",
              kind, static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)),
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(parent)),
              static_cast<unsigned long>(pid), IsWindowVisible(hwnd) ? 1 : 0, r.left, r.top,
              r.right, r.bottom, Utf8(cls).c_str(), Utf8(title).c_str());
}

BOOL CALLBACK OnChild(HWND hwnd, LPARAM) {
  PrintWindow("child", hwnd);
  return TRUE;
}

BOOL CALLBACK OnTop(HWND hwnd, LPARAM) {
  PrintWindow("top", hwnd);
  EnumChildWindows(hwnd, OnChild, 0);
  return TRUE;
}

int List() {
  EnumWindows(OnTop, 0);
  std::fflush(stdout);
  return 0;
}

std::wstring gQuitFile;
constexpr UINT_PTR kPollTimer = 1;
constexpr int kPollMs = 20;
constexpr int kMaxLifetimeMs = 120000;
int gElapsedMs = 0;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      gElapsedMs += kPollMs;
      if (GetFileAttributesW(gQuitFile.c_str()) != INVALID_FILE_ATTRIBUTES ||
          gElapsedMs > kMaxLifetimeMs) {
        KillTimer(hwnd, kPollTimer);
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int Host(int width, int height, const wchar_t* quitFile) {
  gQuitFile = quitFile;
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = L"OrrivelTestHost";
  if (!RegisterClassW(&wc)) return 3;
  RECT r{100, 200, 100 + width, 200 + height};
  DWORD style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
  AdjustWindowRect(&r, style, FALSE);
  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"Orrivel test host", style,
                              r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr,
                              nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 4;
  SetTimer(hwnd, kPollTimer, kPollMs, nullptr);
  std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  std::printf("closed\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"list") return List();
  if (argc >= 5 && std::wstring(argv[1]) == L"host")
    return Host(_wtoi(argv[2]), _wtoi(argv[3]), argv[4]);
  std::fprintf(stderr, "usage: wininspect list | host WIDTH HEIGHT QUITFILE\n");
  return 2;
}
