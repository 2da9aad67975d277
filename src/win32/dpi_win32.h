// Twips (1/1440 inch) and pixels at the real dots per inch of a window's
// monitor: twips per pixel = 1440 / dpi (15 at 96 dpi).
#pragma once

#include <windows.h>

namespace orrivel::win32 {

inline constexpr int kTwipsPerInch = 1440;

// The window's dots per inch; the screen's when the window is null.
UINT DpiOf(HWND hwnd);
float TwipsPerPixel(HWND hwnd);
float PixelsToTwips(int pixels, HWND hwnd);
int TwipsToPixels(float twips, HWND hwnd);

}  // namespace orrivel::win32
