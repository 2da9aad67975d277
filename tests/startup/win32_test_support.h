// Helpers for the Windows tests: a scratch folder, a message pump, and a
// plain form to embed or unload.
#pragma once

#include <windows.h>

#include <string>

#include "win32/form_win32.h"
#include "win32/text_win32.h"

namespace orrivel::testing {

// A fresh folder under the temporary directory, removed with its files.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"orrivel-" + name + L"-" + std::to_wstring(GetCurrentProcessId());
    RemoveAll(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveAll(path_); }
  const std::wstring& path() const { return path_; }
  std::string utf8() const { return win32::WideToUtf8(path_); }
  std::wstring Sub(const std::wstring& name) const { return path_ + L"\\" + name; }

  static void RemoveAll(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring full = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveAll(full);
        } else {
          SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }

 private:
  std::wstring path_;
};

// Runs the queued messages and timers of this thread for `ms` milliseconds
// or until `done` holds. A quit message (the last form unloaded) is dropped.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}
inline void Pump(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

// A hidden borderless top-level form that counts its unloads.
class PlainForm : public win32::Form {
 public:
  int unloads = 0;
  bool Load(const wchar_t* caption = L"plain") {
    return CreateFormWindow(L"OrrivelTestPlainForm", WS_POPUP, WS_EX_TOOLWINDOW, caption, 10, 10,
                            200, 100, nullptr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }

 protected:
  void OnUnload() override { ++unloads; }
};

}  // namespace orrivel::testing
