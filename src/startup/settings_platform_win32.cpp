#include "startup/settings_platform_win32.h"

#include <shlobj.h>

#include <algorithm>
#include <climits>

#include "win32/error_text_win32.h"
#include "win32/text_win32.h"
#include "win32/unique_handle_win32.h"

namespace orrivel::win32 {

bool Win32SettingsFiles::Exists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorInfo Win32SettingsFiles::Read(const std::string& path, size_t limit, std::string& bytes) {
  UniqueFile file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD code = GetLastError();
    // A missing folder means a missing file: the caller creates both.
    return ErrorFromWin32(code == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : code);
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return LastError();
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > limit) {
    return MakeError(kErrOutOfMemory);
  }
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) return LastError();
    if (got == 0) break;  // shrank while reading
    done += got;
  }
  bytes.resize(done);
  return {};
}

ErrorInfo Win32SettingsFiles::WriteNew(const std::string& path, std::string_view bytes) {
  UniqueFile file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return LastError();
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) return LastError();
    done += written;
  }
  if (!FlushFileBuffers(file.get())) return LastError();
  if (!file.Close()) return LastError();
  return {};
}

ErrorInfo Win32SettingsFiles::Replace(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  return {};
}

void Win32SettingsFiles::Remove(const std::string& path) { DeleteFileW(Utf8ToWide(path).c_str()); }

ErrorInfo Win32SettingsFiles::CreateFolder(const std::string& path) {
  if (CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr)) return {};
  DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS) {
    DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  }
  return ErrorFromWin32(code);
}

std::optional<std::string> Win32AnsiCodePage::Encode(std::string_view utf8) const {
  if (utf8.empty()) return std::string();
  if (GetACP() == CP_UTF8) return std::string(utf8);  // the system itself is UTF-8
  std::wstring wide = Utf8ToWide(utf8);
  if (wide.empty() || wide.size() > INT_MAX / 4) return std::nullopt;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string ansi(n, '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      ansi.data(), n, nullptr, &usedDefault);
  if (usedDefault) return std::nullopt;
  // Text that was not valid UTF-8 came back as U+FFFD; keep it in UTF-8.
  if (WideToUtf8(wide) != utf8) return std::nullopt;
  return ansi;
}

std::string Win32AnsiCodePage::Decode(std::string_view ansi) const {
  if (ansi.empty() || ansi.size() > INT_MAX) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return WideToUtf8(wide);
}

uint64_t TickClock::Ticks() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return static_cast<uint64_t>(counter.QuadPart) ^
         (static_cast<uint64_t>(GetCurrentProcessId()) << 40);
}

void MessageBoxSink::ShowError(const std::string& text) { ShowMessage(text); }

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  return WideToUtf8(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

std::string ProfileSettingsFolder() {
  PWSTR roaming = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming)) &&
      roaming != nullptr && roaming[0] != L'\0') {
    folder = WideToUtf8(roaming) + "\\Orrivel";
  }
  CoTaskMemFree(roaming);
  return folder;
}

}  // namespace orrivel::win32
