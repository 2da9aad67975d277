// System failures in the program's terms: a runtime error number (53 file
// not found, 75 path/file access error, ...) with the system's own
// description, and the message box that shows one.
#pragma once

#include <windows.h>

#include <string>

#include "base/error_info.h"

namespace orrivel::win32 {

inline constexpr wchar_t kProgramTitle[] = L"Orrivel";

// The system's description of a Win32 error code, without the line break.
std::string SystemErrorDescription(DWORD code);
ErrorInfo ErrorFromWin32(DWORD code);
inline ErrorInfo LastError() { return ErrorFromWin32(GetLastError()); }

// A message box with an OK button, titled "Orrivel".
void ShowMessage(const std::string& utf8Text);

}  // namespace orrivel::win32
