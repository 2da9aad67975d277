#include "win32/window_win32.h"

#include <windowsx.h>

#include <utility>

namespace orrivel::win32 {

bool RegisterWindowClass(const wchar_t* className, WNDPROC proc, HBRUSH background, HCURSOR cursor,
                         HICON icon) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance, className, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = className;
  return RegisterClassExW(&wc) != 0;
}

Window::~Window() {
  if (hwnd_ == nullptr) return;
  // Too late for virtual handlers: unbind first, then destroy.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(std::exchange(hwnd_, nullptr));
}

void Window::Close() {
  if (hwnd_ != nullptr && !destroying_) DestroyWindow(hwnd_);
}

void Window::SetTitle(const std::wstring& text) {
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, text.c_str());
}

std::wstring Window::Title() const {
  if (hwnd_ == nullptr) return {};
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring text(n > 0 ? n + 1 : 1, L'\0');
  text.resize(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
  return text;
}

bool Window::Create(const CreateArgs& args) {
  if (hwnd_ != nullptr) return true;
  if (!RegisterWindowClass(args.className, &Window::Proc, args.background, args.cursor,
                           args.icon)) {
    return false;
  }
  const RECT& r = args.rect;
  return CreateWindowExW(args.exStyle, args.className, args.title.c_str(), args.style, r.left,
                         r.top, r.right - r.left, r.bottom - r.top, args.parent,
                         reinterpret_cast<HMENU>(args.childId), GetModuleHandleW(nullptr),
                         this) != nullptr;
}

LRESULT Window::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->destroying_ = false;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  // No exception may cross into the system's code.
  try {
    return self->Dispatch(msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT Window::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (msg) {
    case WM_DESTROY:
      destroying_ = true;
      OnDestroy();
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd_, &ps);
      if (hdc != nullptr) OnPaint(hdc, ps.rcPaint);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      if (OnEraseBackground(reinterpret_cast<HDC>(wParam))) return 1;
      break;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(at, wParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      OnMouseButton(msg, at, wParam);
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      OnKey(msg, static_cast<UINT>(wParam), lParam);
      if (hwnd_ == nullptr) return 0;  // the handler closed the window
      break;
    case WM_CHAR:
      OnChar(static_cast<wchar_t>(wParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == hwnd_ && OnSetCursor(LOWORD(lParam))) return TRUE;
      break;
    case WM_CLOSE:
      if (OnClose()) return 0;
      break;
    default:
      break;
  }
  return OnMessage(msg, wParam, lParam);
}

}  // namespace orrivel::win32
