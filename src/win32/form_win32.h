// Base class of the program's windows ("forms"): owns its HWND, binds the
// object at WM_NCCREATE and forwards messages to a virtual handler. Every
// loaded form is listed so EndSaver can unload them all; the message loop
// ends when the last one is gone. A window destroyed from outside (a
// preview host that closes) still runs its unload handler.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orrivel::win32 {

class Form {
 public:
  Form() = default;
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool IsLoaded() const { return hwnd_ != nullptr; }

  // Destroys the window after running OnUnload; safe to call twice.
  void Unload();

  void SetCaption(const std::wstring& text);
  std::wstring Caption() const;

  // Every form currently loaded, oldest first.
  static std::vector<Form*> LoadedForms();
  // Unloads every loaded form (a copy of the list is walked, so unload
  // handlers may unload further forms).
  static void UnloadAll();

 protected:
  // Registers the class on first use and creates the window. The object
  // must stay alive until it is unloaded.
  bool CreateFormWindow(const wchar_t* className, DWORD style, DWORD exStyle,
                        const std::wstring& caption, int x, int y, int w, int h,
                        HWND parent, HBRUSH background, HICON icon = nullptr);

  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void OnUnload() {}

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  bool unloading_ = false;
  bool destroyedOutside_ = false;  // by the system, e.g. with a preview host
};

}  // namespace orrivel::win32
