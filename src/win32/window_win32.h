// Base class of every window of the program, child windows included: owns
// its HWND, binds the object at WM_NCCREATE and turns messages into typed
// handler calls. A window goes away through Close() or from outside (a
// preview host that closes); OnDestroy runs once either way.
#pragma once

#include <windows.h>

#include <string>

namespace orrivel::win32 {

class Window {
 public:
  Window() = default;
  // Destroys a window still open without calling its handlers: close
  // windows before their owner goes away when OnDestroy matters.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool IsOpen() const { return hwnd_ != nullptr; }
  // Destroys the window (OnDestroy runs first); safe to call twice.
  void Close();

  void SetTitle(const std::wstring& text);
  std::wstring Title() const;

 protected:
  struct CreateArgs {
    const wchar_t* className = nullptr;
    std::wstring title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // in the parent's client pixels (screen pixels for top-level windows)
    HWND parent = nullptr;
    HBRUSH background = nullptr;  // null: the window paints its whole client area
    HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW);
    HICON icon = nullptr;
    UINT_PTR childId = 0;
  };
  // Registers the class on first use and creates the window.
  bool Create(const CreateArgs& args);

  // Typed handlers; each default does what the system would.
  virtual void OnDestroy() {}
  virtual void OnTimer(UINT_PTR /*id*/) {}
  virtual void OnPaint(HDC /*hdc*/, const RECT& /*dirty*/) {}
  // True: the background is drawn (or needs none).
  virtual bool OnEraseBackground(HDC /*hdc*/) { return false; }
  virtual void OnSize(int /*width*/, int /*height*/) {}
  virtual void OnMouseMove(POINT /*at*/, WPARAM /*keys*/) {}
  // WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, ... with the pointer in client pixels.
  virtual void OnMouseButton(UINT /*msg*/, POINT /*at*/, WPARAM /*keys*/) {}
  virtual void OnMouseLeave() {}
  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP; the system's own
  // handling (Alt+F4, menus) still follows.
  virtual void OnKey(UINT /*msg*/, UINT /*virtualKey*/, LPARAM /*flags*/) {}
  virtual void OnChar(wchar_t /*character*/) {}
  virtual void OnCommand(UINT /*id*/, UINT /*code*/, HWND /*control*/) {}
  // True: the cursor is set.
  virtual bool OnSetCursor(UINT /*hitTest*/) { return false; }
  // True: handled, the window stays.
  virtual bool OnClose() { return false; }
  // Every other message.
  virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  bool destroying_ = false;
};

// Registers a plain window class once; false when it cannot be registered.
bool RegisterWindowClass(const wchar_t* className, WNDPROC proc, HBRUSH background, HCURSOR cursor,
                         HICON icon);

}  // namespace orrivel::win32
