#include "startup/run_control_win32.h"

#include "startup/startup_plan.h"

namespace orrivel {
namespace {

// The hook callback carries no context of its own.
KeyboardHook* installedHook = nullptr;

}  // namespace

InstanceGuard::InstanceGuard() {
  mutex_.reset(CreateMutexW(nullptr, FALSE, L"Local\\Orrivel.Instance"));
  earlierInstance_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

void InstanceGuard::CheckPrevInstance() const {
  if (!earlierInstance_) return;
  if (FindWindowW(nullptr, L"Tavrenn") != nullptr) ExitProcess(0);
}

bool KeyboardHook::Install(std::function<void()> onKey) {
  Remove();
  onKey_ = std::move(onKey);
  hook_.reset(SetWindowsHookExW(WH_KEYBOARD, &KeyboardHook::Proc, nullptr, GetCurrentThreadId()));
  if (hook_) installedHook = this;
  return Installed();
}

void KeyboardHook::Remove() {
  if (installedHook == this) installedHook = nullptr;
  hook_.reset();
}

LRESULT CALLBACK KeyboardHook::Proc(int code, WPARAM wParam, LPARAM lParam) {
  KeyboardHook* self = installedHook;
  if (self == nullptr || DecideKeyboardHook(code) == HookAction::PassOn) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  // The handler may remove this very hook; keep the callback alive meanwhile.
  std::function<void()> onKey = self->onKey_;
  try {
    if (onKey) onKey();
  } catch (...) {
    // Nothing may cross the hook boundary.
  }
  return 0;
}

void EmbedInPreview(win32::Window& window, HWND host) {
  RECT hostRect{};
  GetWindowRect(host, &hostRect);
  HWND hwnd = window.hwnd();
  LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  // WS_POPUP goes: a window with both bits is still treated as top-level
  // (it can take the activation and has no parent to GetParent).
  SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd, host);
  SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(host));
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  // A window left on the desktop with no host to draw in stays hidden.
  if (IsWindow(host)) flags |= SWP_SHOWWINDOW;
  SetWindowPos(hwnd, nullptr, 0, 0, hostRect.right - hostRect.left, hostRect.bottom - hostRect.top,
               flags);
}

}  // namespace orrivel
