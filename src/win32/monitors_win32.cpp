#include "win32/monitors_win32.h"

namespace orrivel::win32 {

RECT PrimaryMonitorRect() {
  HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) return info.rcMonitor;
  return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::vector<RECT> OtherMonitorRects() {
  std::vector<RECT> others;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoW(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY)) {
          reinterpret_cast<std::vector<RECT>*>(data)->push_back(info.rcMonitor);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&others));
  const RECT primary = PrimaryMonitorRect();
  std::erase_if(others, [&](const RECT& r) { return EqualRect(&r, &primary); });
  return others;
}

CoverWindow::CoverWindow(const wchar_t* className, HWND owner, const RECT& monitor, Input input)
    : input_(std::move(input)) {
  CreateArgs args;
  args.className = className;
  args.style = WS_POPUP;
  args.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  args.rect = monitor;
  args.parent = owner;
  args.background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  if (Create(args)) ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
}

void CoverWindow::OnMouseMove(POINT, WPARAM) {
  if (input_.onMouseMove) input_.onMouseMove();
}

void CoverWindow::OnChar(wchar_t) {
  if (input_.onCharacter) input_.onCharacter();
}

bool CoverWindow::OnClose() {
  if (!input_.onClose) return false;
  input_.onClose();
  return true;
}

void CoverOtherMonitors(const wchar_t* className, HWND owner, const CoverWindow::Input& input,
                        std::vector<std::unique_ptr<CoverWindow>>& covers) {
  if (!covers.empty()) return;
  for (const RECT& r : OtherMonitorRects()) {
    auto cover = std::make_unique<CoverWindow>(className, owner, r, input);
    if (cover->IsOpen()) covers.push_back(std::move(cover));
  }
}

}  // namespace orrivel::win32
