#include "win32/dpi_win32.h"

#include <cmath>

namespace orrivel::win32 {

UINT DpiOf(HWND hwnd) {
  if (hwnd != nullptr) {
    // Looked up at run time: older systems lack it.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
      UINT dpi = getDpiForWindow(hwnd);
      if (dpi != 0) return dpi;
    }
  }
  HDC screen = GetDC(nullptr);
  int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

float TwipsPerPixel(HWND hwnd) { return static_cast<float>(kTwipsPerInch) / DpiOf(hwnd); }

float PixelsToTwips(int pixels, HWND hwnd) {
  return static_cast<float>(static_cast<double>(pixels) * TwipsPerPixel(hwnd));
}

int TwipsToPixels(float twips, HWND hwnd) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / TwipsPerPixel(hwnd)));
}

}  // namespace orrivel::win32
