#include "startup/preview_win32.h"

#include "startup/mod_main.h"
#include "startup/run_control_win32.h"
#include "startup/startup_plan.h"

namespace orrivel {
namespace {

constexpr UINT kHostWatchMs = 250;

HWND watchedHost = nullptr;
UINT_PTR watchTimer = 0;

void CALLBACK HostWatch(HWND, UINT, UINT_PTR, DWORD) {
  if (IsWindow(watchedHost)) return;
  KillTimer(nullptr, watchTimer);
  watchTimer = 0;
  // The host ends a preview by going away; nothing else would end the run.
  EndSaver();
}

}  // namespace

ErrorInfo EmbedInPreview(win32::Form& form) {
  PreviewHandle handle = ParsePreviewHandle(ArgumentText());
  if (handle.error.failed()) return handle.error;
  EmbedInPreviewWindow(form, HandleFromValue(handle.value));
  return {};
}

void EmbedInPreviewWindow(win32::Form& form, HWND host) {
  RECT hostRect{};
  GetWindowRect(host, &hostRect);
  HWND hwnd = form.hwnd();
  LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  // WS_POPUP goes: a window with both bits is still treated as top-level
  // (it can take the activation and has no parent to GetParent).
  SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd, host);
  SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(host));
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  // A window left on the desktop with no host to draw in stays hidden.
  if (IsWindow(host)) flags |= SWP_SHOWWINDOW;
  SetWindowPos(hwnd, nullptr, 0, 0, hostRect.right - hostRect.left,
               hostRect.bottom - hostRect.top, flags);
  watchedHost = host;
  if (watchTimer == 0) watchTimer = SetTimer(nullptr, 0, kHostWatchMs, &HostWatch);
}

}  // namespace orrivel
