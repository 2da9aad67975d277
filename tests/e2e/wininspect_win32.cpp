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
//   wininspect usage TITLE
//     Finds the top-level window titled TITLE and prints one line about its
//     process: handle count, GDI and USER objects, private bytes and their
//     peak, commit charge, working set and its peak (bytes); "?" where the
//     call fails (Wine leaves some of them 0 or unimplemented):
//       usage pid=32 handles=57 gdi=12 user=9 private=8388608 private_peak=9437184 ...
//     Exit code 3 when no such window exists, 4 when the process cannot be opened.
#include <windows.h>
// After windows.h: it declares the K32 functions of kernel32, so no psapi
// library is needed.
#include <psapi.h>

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
  std::printf(
      "%s hwnd=%llu parent=%llu pid=%lu visible=%d rect=%ld,%ld,%ld,%ld class=\"%s\" "
      "title=\"%s\"\n",
      kind, static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)),
      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(parent)),
      static_cast<unsigned long>(pid), IsWindowVisible(hwnd) ? 1 : 0, r.left, r.top, r.right,
      r.bottom, Utf8(cls).c_str(), Utf8(title).c_str());
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
                              r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                              wc.hInstance, nullptr);
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

// A counter's value, or "?" when the call that fetched it failed.
std::string Count(bool ok, unsigned long long value) {
  return ok ? std::to_string(value) : std::string("?");
}

int Usage(const wchar_t* title) {
  HWND hwnd = FindWindowW(nullptr, title);
  if (!hwnd) {
    std::fprintf(stderr, "wininspect: no window titled \"%s\"\n", Utf8(title).c_str());
    return 3;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) {
    std::fprintf(stderr, "wininspect: OpenProcess(%lu) failed: error %lu\n",
                 static_cast<unsigned long>(pid), GetLastError());
    return 4;
  }
  DWORD handles = 0;
  const bool handlesOk = GetProcessHandleCount(process, &handles) != 0;
  // GetGuiResources returns 0 both for "none" and on failure; the error
  // code tells them apart.
  SetLastError(0);
  const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
  const bool gdiOk = gdi != 0 || GetLastError() == 0;
  SetLastError(0);
  const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
  const bool userOk = user != 0 || GetLastError() == 0;
  PROCESS_MEMORY_COUNTERS_EX mem{};
  mem.cb = sizeof(mem);
  const bool memOk = GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                                          sizeof(mem)) != 0;
  CloseHandle(process);
  // PagefileUsage is the same commit charge as PrivateUsage on Windows;
  // Wine fills only the former.
  std::printf(
      "usage pid=%lu handles=%s gdi=%s user=%s private=%s private_peak=%s pagefile=%s "
      "working_set=%s working_set_peak=%s\n",
      static_cast<unsigned long>(pid), Count(handlesOk, handles).c_str(), Count(gdiOk, gdi).c_str(),
      Count(userOk, user).c_str(), Count(memOk, mem.PrivateUsage).c_str(),
      Count(memOk, mem.PeakPagefileUsage).c_str(), Count(memOk, mem.PagefileUsage).c_str(),
      Count(memOk, mem.WorkingSetSize).c_str(), Count(memOk, mem.PeakWorkingSetSize).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"list") return List();
  if (argc >= 5 && std::wstring(argv[1]) == L"host")
    return Host(_wtoi(argv[2]), _wtoi(argv[3]), argv[4]);
  if (argc >= 3 && std::wstring(argv[1]) == L"usage") return Usage(argv[2]);
  std::fprintf(stderr, "usage: wininspect list | host WIDTH HEIGHT QUITFILE | usage TITLE\n");
  return 2;
}
