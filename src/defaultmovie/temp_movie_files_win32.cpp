#include "defaultmovie/temp_movie_files_win32.h"

#include "win32/error_text_win32.h"
#include "win32/text_win32.h"
#include "win32/unique_handle_win32.h"

namespace orrivel::win32 {

std::string Win32TempFilePlatform::TempPath() {
  // MAX_PATH + 1 is the longest answer the system gives; a larger result
  // is the size it would have needed.
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return WideToUtf8(std::wstring_view(buffer, length));
}

std::string Win32TempFilePlatform::TempFileName(const std::string& dir, const std::string& prefix,
                                                uint16_t unique) {
  // The system fails (instead of overrunning) when the folder leaves no room
  // in MAX_PATH for the name it makes.
  wchar_t buffer[MAX_PATH] = {};
  if (GetTempFileNameW(Utf8ToWide(dir).c_str(), Utf8ToWide(prefix).c_str(), unique, buffer) == 0)
    return {};
  return WideToUtf8(buffer);
}

int Win32TempFilePlatform::WriteResource(uint16_t id, std::string_view type,
                                         const std::string& path) {
  // A neutral language finds the resource whatever language it is stored
  // under; the system upper-cases a type name before looking for it, so
  // "Flash" finds FLASH.
  const std::wstring typeName = Utf8ToWide(type);
  HRSRC found = FindResourceExW(module_, typeName.c_str(), MAKEINTRESOURCEW(id),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  HGLOBAL loaded = found != nullptr ? LoadResource(module_, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return kErrResourceNotFound;
  const DWORD size = SizeofResource(module_, found);
  if (path.empty()) return kErrPathFileAccess;

  // Opened as it is when it exists (a temporary file was just created
  // empty), created when missing.
  UniqueFile file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return LastError().number;
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes, size, &written, nullptr)) return LastError().number;
  if (written != size) return kErrDiskFull;
  // A longer file that was there before must not keep its tail after the movie.
  if (!SetEndOfFile(file.get())) return LastError().number;
  if (!file.Close()) return LastError().number;
  return 0;
}

bool Win32TempFilePlatform::RemoveFile(const std::string& path) {
  return DeleteFileW(Utf8ToWide(path).c_str()) != 0;
}

}  // namespace orrivel::win32
