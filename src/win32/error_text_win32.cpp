#include "win32/error_text_win32.h"

#include "win32/text_win32.h"

namespace orrivel::win32 {
namespace {

int RuntimeNumberOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return kErrPathNotFound;
    case ERROR_NOT_READY:
      return kErrDriveNotReady;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kErrDiskFull;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return kErrOutOfMemory;
    default:
      return kErrPathFileAccess;
  }
}

}  // namespace

std::string SystemErrorDescription(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", n);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return WideToUtf8(text);
}

ErrorInfo ErrorFromWin32(DWORD code) {
  if (code == ERROR_SUCCESS) code = ERROR_ACCESS_DENIED;  // failed without saying why
  int number = RuntimeNumberOf(code);
  std::string description = SystemErrorDescription(code);
  if (description.empty()) description = DefaultErrorDescription(number);
  return {number, description};
}

void ShowMessage(const std::string& utf8Text) {
  MessageBoxW(nullptr, Utf8ToWide(utf8Text).c_str(), kProgramTitle,
              MB_OK | MB_SETFOREGROUND | MB_TASKMODAL);
}

}  // namespace orrivel::win32
