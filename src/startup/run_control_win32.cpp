#include "startup/run_control_win32.h"

#include "startup/startup_plan.h"
#include "win32/form_win32.h"
#include "win32/unique_handle_win32.h"

namespace orrivel {

HHOOK KeyboardHook = nullptr;

namespace {

std::string& StoredArgumentText() {
  static std::string text;
  return text;
}

bool earlierInstance = false;

}  // namespace

void EndSaver() { win32::Form::UnloadAll(); }

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (DecideKeyboardHook(code) == HookAction::PassOn) {
    return CallNextHookEx(KeyboardHook, code, wParam, lParam);
  }
  try {
    win32::Form::UnloadAll();
  } catch (...) {
    // Nothing may cross the hook boundary; the forms that could be unloaded are gone.
  }
  return 0;
}

HHOOK InstallKeyboardHook() {
  KeyboardHook = SetWindowsHookExW(WH_KEYBOARD, &KeyboardHookProc, nullptr, GetCurrentThreadId());
  return KeyboardHook;
}

const std::string& ArgumentText() { return StoredArgumentText(); }
void SetArgumentText(std::string text) { StoredArgumentText() = std::move(text); }

void NoteEarlierInstance() {
  // Held until the process ends: its existence is what a later start sees.
  static win32::UniqueKernelHandle mutex;
  if (mutex) return;
  mutex.reset(CreateMutexW(nullptr, FALSE, L"Local\\Orrivel.Instance"));
  earlierInstance = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

bool PrevInstance() { return earlierInstance; }

void CheckPrevInstance() {
  if (!PrevInstance()) return;
  if (FindWindowW(nullptr, L"Tavrenn") != nullptr) ExitProcess(0);
}

}  // namespace orrivel
