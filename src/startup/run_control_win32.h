// Run control of the start-up module: the argument text, the earlier-
// instance check, ending the saver and the keyboard hook of a
// non-interactive movie run.
#pragma once

#include <windows.h>

#include <string>

#include "startup/mod_main.h"

namespace orrivel {

// The hook of a non-interactive movie run; null when none is installed.
// The movie window installs it:
//   KeyboardHook = SetWindowsHookExW(WH_KEYBOARD, KeyboardHookProc, nullptr,
//                                    GetCurrentThreadId());
extern HHOOK KeyboardHook;

// A negative code is passed on; any other key event unloads every window
// and is swallowed by returning 0.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);

// Installs the hook on this thread (the movie window's load handler).
HHOOK InstallKeyboardHook();

// The text after the program's name on the command line (UTF-8).
const std::string& ArgumentText();
void SetArgumentText(std::string text);

// Records, once at start, whether an earlier instance of the program runs:
// a named mutex that already exists.
void NoteEarlierInstance();
bool PrevInstance();

// With an earlier instance running and a window titled "Tavrenn" present,
// ends the process at once; otherwise returns.
void CheckPrevInstance();

}  // namespace orrivel
