// Run control of a saver process: the earlier-instance check, the keyboard
// hook of a non-interactive movie run, and embedding a saver window into
// the host's preview window.
#pragma once

#include <windows.h>

#include <functional>

#include "win32/unique_handle_win32.h"
#include "win32/window_win32.h"

namespace orrivel {

// Notes at construction whether an earlier instance of the program runs (a
// named mutex that already exists) and holds the mutex for the process's
// life, so later starts see this one.
class InstanceGuard {
 public:
  InstanceGuard();
  bool PrevInstance() const { return earlierInstance_; }
  // With an earlier instance running and a window titled "Tavrenn" present,
  // ends the process at once; otherwise returns.
  void CheckPrevInstance() const;

 private:
  win32::UniqueKernelHandle mutex_;
  bool earlierInstance_ = false;
};

// A thread-local keyboard hook: any key event, down or up, calls `onKey`
// before the window with the focus sees it. Negative codes are passed on.
// One hook per thread; removed by Remove() or the destructor.
class KeyboardHook {
 public:
  KeyboardHook() = default;
  ~KeyboardHook() { Remove(); }
  KeyboardHook(const KeyboardHook&) = delete;
  KeyboardHook& operator=(const KeyboardHook&) = delete;

  // False when the system refused the hook.
  bool Install(std::function<void()> onKey);
  void Remove();
  bool Installed() const { return static_cast<bool>(hook_); }

  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam);

 private:
  win32::UniqueHandle<HHOOK, win32::UnhookDeleter> hook_;
  std::function<void()> onKey_;
};

// Makes `window` a visible child of `host` at (0, 0) with the host's size,
// not activated. A handle that is not a window leaves it hidden at size 0.
void EmbedInPreview(win32::Window& window, HWND host);

// The 32 significant bits of a handle, sign-extended as the system does.
inline HWND HandleFromValue(uint32_t value) {
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

}  // namespace orrivel
