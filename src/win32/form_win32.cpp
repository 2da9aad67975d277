#include "win32/form_win32.h"

#include <algorithm>

namespace orrivel::win32 {
namespace {

std::vector<Form*>& Registry() {
  static std::vector<Form*> forms;
  return forms;
}

void Forget(Form* form) {
  auto& forms = Registry();
  forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

}  // namespace

Form::~Form() { Unload(); }

std::vector<Form*> Form::LoadedForms() { return Registry(); }

void Form::UnloadAll() {
  for (Form* form : LoadedForms()) form->Unload();
}

void Form::Unload() {
  if (hwnd_ == nullptr || unloading_) return;
  unloading_ = true;
  OnUnload();
  HWND h = hwnd_;
  DestroyWindow(h);  // WM_NCDESTROY clears hwnd_ and the registry entry
  hwnd_ = nullptr;
  Forget(this);
  unloading_ = false;
  if (Registry().empty()) PostQuitMessage(0);
}

void Form::SetCaption(const std::wstring& text) {
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, text.c_str());
}

std::wstring Form::Caption() const {
  if (hwnd_ == nullptr) return {};
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring text(n > 0 ? n + 1 : 1, L'\0');
  text.resize(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
  return text;
}

bool Form::CreateFormWindow(const wchar_t* className, DWORD style, DWORD exStyle,
                            const std::wstring& caption, int x, int y, int w, int h,
                            HWND parent, HBRUSH background, HICON icon) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(instance, className, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &Form::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0) return false;
  }
  HWND created = CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, w, h, parent,
                                 nullptr, instance, this);
  if (created == nullptr) return false;
  Registry().push_back(this);
  return true;
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Form* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<Form*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_DESTROY && self->hwnd_ == hwnd && !self->unloading_ &&
      !self->destroyedOutside_) {
    self->destroyedOutside_ = true;
    self->unloading_ = true;
    self->OnUnload();
    self->unloading_ = false;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
    if (self->hwnd_ == hwnd && !self->unloading_) {
      // Destroyed from outside (for example the preview host went away).
      self->hwnd_ = nullptr;
      self->destroyedOutside_ = false;
      Forget(self);
      if (Registry().empty()) PostQuitMessage(0);
    }
    return r;
  }
  return self->HandleMessage(msg, wParam, lParam);
}

}  // namespace orrivel::win32
