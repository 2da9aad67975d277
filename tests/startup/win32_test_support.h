// Helpers for the Windows tests: a scratch folder, a message pump, and a
// plain form to embed or unload.
#pragma once

#include <windows.h>

#include <string>

#include "win32/window_win32.h"
#include "defaultmovie/temp_movie_files_win32.h"
#include "fake_settings_platform.h"
#include "startup/app_win32.h"
#include "startup/settings_platform_win32.h"
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

// A hidden borderless top-level window that counts how often it went.
class PlainWindow : public win32::Window {
 public:
  int closes = 0;
  bool Open(const wchar_t* title = L"plain") {
    CreateArgs args;
    args.className = L"OrrivelTestPlainWindow";
    args.title = title;
    args.style = WS_POPUP;
    args.exStyle = WS_EX_TOOLWINDOW;
    args.rect = {10, 10, 210, 110};
    args.background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    return Create(args);
  }

 protected:
  void OnDestroy() override { ++closes; }
};

// An application over real Win32 files, its settings file in a scratch
// folder of its own.
class TestApp {
 public:
  explicit TestApp(std::string argumentText = "", const std::wstring& name = L"app")
      : scratch_(name) {
    settings_.platform.programFolder = scratch_.utf8();
    settings_.platform.fallbackFolder.clear();
    settings_.platform.messages = &messages;
    app_ = std::make_unique<App>(std::move(argumentText), settings_.platform, guard_, tempFiles_);
  }
  App& operator*() { return *app_; }
  App* operator->() { return app_.get(); }
  const ScratchFolder& folder() const { return scratch_; }
  std::wstring SettingsFile() const { return scratch_.Sub(L"Velmorand.ini"); }
  RecordedMessages messages;  // instead of message boxes

 private:
  ScratchFolder scratch_;
  win32::Win32SettingsPlatform settings_;
  InstanceGuard guard_;
  win32::Win32TempFilePlatform tempFiles_;
  std::unique_ptr<App> app_;
};

}  // namespace orrivel::testing
