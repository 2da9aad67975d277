// The program's entry: COM for picture decoding, the common controls, the
// earlier-instance mark, the application's start-up, then the message loop
// until the last window has gone. Per-monitor DPI awareness comes from the
// manifest.
#include <windows.h>

#include <commctrl.h>
#include <exception>
#include <objbase.h>

#include "defaultmovie/temp_movie_files_win32.h"
#include "startup/app_win32.h"
#include "startup/settings_platform_win32.h"
#include "win32/error_text_win32.h"
#include "win32/text_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  int exitCode = 0;
  try {
    const orrivel::InstanceGuard guard;
    orrivel::win32::Win32SettingsPlatform settings;
    orrivel::win32::Win32TempFilePlatform tempFiles;
    orrivel::App app(
        std::string(orrivel::ArgumentTextOf(orrivel::win32::WideToUtf8(GetCommandLineW()))),
        settings.platform, guard, tempFiles);
    app.Main();
    exitCode = app.RunMessageLoop();
  } catch (const std::exception& e) {
    orrivel::win32::ShowMessage(e.what());
    exitCode = 1;
  } catch (...) {
    exitCode = 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
