// The program's entry: COM for picture decoding, the common controls, the
// earlier-instance mark, Main, then the message loop until the last window
// has been unloaded. Per-monitor DPI awareness comes from the manifest.
#include <windows.h>

#include <commctrl.h>
#include <exception>
#include <objbase.h>

#include "startup/mod_main.h"
#include "startup/run_control_win32.h"
#include "startup/startup_plan.h"
#include "win32/error_text_win32.h"
#include "win32/form_win32.h"
#include "win32/text_win32.h"

namespace {

bool AnyFormLoaded() { return !orrivel::win32::Form::LoadedForms().empty(); }

int RunMessageLoop() {
  MSG msg;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return 1;
    if (got == 0) {
      // A quit posted while Main re-entered and opened another window is stale.
      if (AnyFormLoaded()) continue;
      return static_cast<int>(msg.wParam);
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (!AnyFormLoaded()) return 0;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  orrivel::NoteEarlierInstance();
  orrivel::SetArgumentText(std::string(
      orrivel::ArgumentTextOf(orrivel::win32::WideToUtf8(GetCommandLineW()))));

  int exitCode = 0;
  try {
    orrivel::Main();
    if (AnyFormLoaded()) exitCode = RunMessageLoop();
  } catch (const std::exception& e) {
    orrivel::win32::ShowMessage(e.what());
    exitCode = 1;
  } catch (...) {
    exitCode = 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
