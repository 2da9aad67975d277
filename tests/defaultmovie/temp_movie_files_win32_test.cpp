// The temporary copies on real Win32 files. A test program carries no
// Orrivel.rc, so the resource comes from a copy of this program that gets
// a FLASH resource added and is loaded as data.
#include "defaultmovie/temp_movie_files_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "win32/text_win32.h"

namespace orrivel {
namespace {

using win32::Utf8ToWide;
using win32::WideToUtf8;

const std::string kMovie(1416, '\x5a');

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

std::string ReadAll(const std::string& path) {
  HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(1 << 16, '\0');
  DWORD read = 0;
  ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(h);
  return bytes.substr(0, read);
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

class TempMovieFilesWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder whose name the ANSI code page cannot hold, as TMP.
    folder_ = TempFolder() + L"orrivel-\u0394\u00e9-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    DWORD n = GetEnvironmentVariableW(L"TMP", oldTmp_, MAX_PATH);
    hadTmp_ = n > 0 && n < MAX_PATH;
    SetEnvironmentVariableW(L"TMP", (folder_ + L"\\").c_str());

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    module_ = folder_ + L"\\with-movie.exe";
    ASSERT_TRUE(CopyFileW(self, module_.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceW(module_.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(UpdateResourceW(
        update, L"FLASH", MAKEINTRESOURCEW(101), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        const_cast<char*>(kMovie.data()), static_cast<DWORD>(kMovie.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    handle_ = LoadLibraryExW(module_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    if (handle_ != nullptr) FreeLibrary(handle_);
    SetEnvironmentVariableW(L"TMP", hadTmp_ ? oldTmp_ : nullptr);
    DeleteFileW(module_.c_str());
    EXPECT_TRUE(RemoveDirectoryW(folder_.c_str())) << "a file was left behind";
  }
  int FilesInFolder() const {
    int n = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
      n += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return n;
  }

  std::wstring folder_, module_;
  wchar_t oldTmp_[MAX_PATH] = {};
  bool hadTmp_ = false;
  HMODULE handle_ = nullptr;
};

TEST_F(TempMovieFilesWin32Test, CopiesGoToFreshTemporaryFilesAndAreDeleted) {
  win32::Win32TempFilePlatform platform(handle_);
  TempMovieFiles store(platform);
  const std::string first = store.ResourceToTempFile(kDefaultMovieId, kDefaultMovieType);
  const std::string second = store.ResourceToTempFile(kDefaultMovieId, kDefaultMovieType);

  const std::string prefix = WideToUtf8(folder_) + "\\~fs";
  for (const std::string& path : {first, second}) {
    ASSERT_EQ(path.substr(0, prefix.size()), prefix) << path;
    EXPECT_EQ(_stricmp(path.substr(path.size() - 4).c_str(), ".tmp"), 0) << path;
    EXPECT_EQ(ReadAll(path), kMovie);  // byte for byte
  }
  EXPECT_NE(first, second);
  store.DeleteTempFiles();
  EXPECT_FALSE(Exists(first));
  EXPECT_FALSE(Exists(second));
}

TEST_F(TempMovieFilesWin32Test, WriteFailuresGiveTheirNumbersAndLeaveNoFile) {
  win32::Win32TempFilePlatform platform(handle_);
  TempMovieFiles store(platform);
  const std::string inFolder = WideToUtf8(folder_) + "\\movie.swf";
  struct Case {
    uint16_t id;
    std::string path;
    int expected;
  } cases[] = {
      {102, inFolder, kErrResourceNotFound},
      {101, "", kErrPathFileAccess},
      {101, WideToUtf8(folder_) + "\\no such folder\\movie.swf", kErrPathNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(store.WriteResourceToFile(c.id, kDefaultMovieType, c.path), c.expected);
  }
  // A failed extraction removes the empty file the system made for it.
  EXPECT_EQ(store.ResourceToTempFile(102, kDefaultMovieType), "");
  EXPECT_EQ(FilesInFolder(), 1);  // the resource program only

  // A longer file already there is cut to the movie's length.
  EXPECT_EQ(store.WriteResourceToFile(101, "flash", inFolder), 0);
  HANDLE h = CreateFileW(Utf8ToWide(inFolder).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  SetFilePointer(h, 5000, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_EQ(store.ResourceToTempFile(101, kDefaultMovieType, inFolder), inFolder);
  EXPECT_EQ(ReadAll(inFolder), kMovie);
  store.DeleteTempFiles();
  EXPECT_FALSE(Exists(inFolder));
}

}  // namespace
}  // namespace orrivel
