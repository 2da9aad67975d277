#include "moviesaver/frm_ss_win32.h"

#include "startup/mod_main.h"

namespace orrivel {
namespace {

constexpr int kMoveEventsToEnd = 5;

}  // namespace

frmSS& frmSS::Instance() {
  static frmSS* window = new frmSS();  // lives as long as the process
  return *window;
}

void frmSS::Load() {
  if (IsLoaded()) return;
  formMoveCount_ = 0;
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
  int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  int h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (w <= 0 || h <= 0) {
    x = y = 0;
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
  }
  if (!CreateFormWindow(kMovieWindowClass, WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW, L"frmSS",
                        x, y, w, h, nullptr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)))) {
    return;
  }
  Form_Load();
}

void frmSS::Form_Load() {
  if (PreviewMode) return;
  ShowCursor(FALSE);
  cursorHidden_ = true;
}

void frmSS::Show() {
  if (!IsLoaded()) return;
  ShowWindow(hwnd(), SW_SHOW);
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd());
  SetFocus(hwnd());
}

void frmSS::FormatMovie() {}

void frmSS::CountMouseMove() {
  if (PreviewMode) return;
  if (++formMoveCount_ >= kMoveEventsToEnd) EndSaver();
}

LRESULT frmSS::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CHAR:
      if (!PreviewMode) EndSaver();
      return 0;
    case WM_MOUSEMOVE:
      CountMouseMove();
      return 0;
    case WM_SETCURSOR:
      if (cursorHidden_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return Form::HandleMessage(msg, wParam, lParam);
}

void frmSS::OnUnload() {
  // Shown again only if this window hid it, so the count stays balanced.
  if (cursorHidden_) ShowCursor(TRUE);
  cursorHidden_ = false;
}

}  // namespace orrivel
