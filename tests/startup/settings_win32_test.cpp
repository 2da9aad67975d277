// The settings file on real Win32 files: where it goes when the program's
// folder cannot be written, the atomic replace, and paths outside the ANSI
// code page.
#include <gtest/gtest.h>

#include <optional>

#include "fake_settings_platform.h"
#include "startup/settings_platform_win32.h"
#include "win32/error_text_win32.h"
#include "win32_test_support.h"

namespace orrivel {
namespace {

using testing::ScratchFolder;

const std::string kDefaultBytes = "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n";

std::string ReadBytes(const std::wstring& path) {
  win32::Win32SettingsFiles files;
  std::string bytes;
  if (files.Read(win32::WideToUtf8(path), 1 << 20, bytes).failed()) return "<missing>";
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

int CountFiles(const std::wstring& folder) {
  int n = 0;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return n;
}

// Real files, except that creating files in one folder is refused the way a
// folder without write permission refuses it.
class RefusingFiles final : public SettingsFiles {
 public:
  std::string refusedFolder;
  win32::Win32SettingsFiles real;
  bool Exists(const std::string& p) override { return real.Exists(p); }
  ErrorInfo Read(const std::string& p, size_t l, std::string& b) override {
    return real.Read(p, l, b);
  }
  ErrorInfo WriteNew(const std::string& p, std::string_view b) override {
    if (p.rfind(refusedFolder + "\\", 0) == 0) return win32::ErrorFromWin32(ERROR_ACCESS_DENIED);
    return real.WriteNew(p, b);
  }
  ErrorInfo Replace(const std::string& f, const std::string& t) override {
    return real.Replace(f, t);
  }
  void Remove(const std::string& p) override { real.Remove(p); }
  ErrorInfo CreateFolder(const std::string& p) override { return real.CreateFolder(p); }
};

class SettingsWin32Test : public ::testing::Test {
 protected:
  ScratchFolder scratch{L"settings"};
  RefusingFiles files;
  win32::Win32AnsiCodePage codePage;
  win32::TickClock clock;
  testing::RecordedMessages messages;
  SettingsPlatform platform;

  void UseFolders(const std::wstring& program, const std::wstring& profile) {
    CreateDirectoryW(program.c_str(), nullptr);
    platform = {&files,
                &codePage,
                &clock,
                &messages,
                win32::WideToUtf8(program),
                win32::WideToUtf8(profile)};
    store.emplace(platform);
  }
  std::optional<SettingsStore> store;
};

TEST_F(SettingsWin32Test, UnwritableProgramFolderFallsBackToTheProfile) {
  CreateDirectoryW(scratch.Sub(L"profile").c_str(), nullptr);
  struct Case {
    const char* name;
    std::wstring program;
    bool refuse;
  } cases[] = {
      {"write refused", scratch.Sub(L"program"), true},
      // A "folder" that is really a file: creating anything in it fails.
      {"folder is a file", scratch.Sub(L"plain.txt"), false},
  };
  WriteBytes(scratch.Sub(L"plain.txt"), "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder::RemoveAll(scratch.Sub(L"profile\\Orrivel"));
    UseFolders(c.program, scratch.Sub(L"profile\\Orrivel"));
    files.refusedFolder = c.refuse ? platform.programFolder : "";
    store->ReadSettings();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadBytes(scratch.Sub(L"profile\\Orrivel\\Velmorand.ini")), kDefaultBytes);
    ASSERT_TRUE(store->WriteSettings("PIC", "", "", false, "a.jpg;", "SEQ", "7", ""));
    store->settings() = {};
    store->ReadSettings();
    EXPECT_EQ(store->settings().Speed, "7");
    EXPECT_EQ(store->pictureList(), std::vector<std::string>{"a.jpg"});
  }
  EXPECT_EQ(CountFiles(scratch.Sub(L"program")), 0);
}

TEST_F(SettingsWin32Test, ReplaceIsAtomicWhenTheTargetCannotBeReplaced) {
  UseFolders(scratch.Sub(L"program"), L"");
  const std::wstring target = scratch.Sub(L"program\\Velmorand.ini");
  ASSERT_TRUE(store->WriteSettings("MOVIE", "C:\\a.swf", "TRUE", false, "", "", "", "HIGH"));
  const std::string before = ReadBytes(target);
  // Another program holds the file open without sharing: the new text
  // cannot take its place, and the old text must survive whole.
  HANDLE lock = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(store->WriteSettings("MOVIE", "C:\\b.swf", "FALSE", false, "", "", "", "LOW"));
  EXPECT_EQ(store->LastWriteError().number, kErrPathFileAccess);
  CloseHandle(lock);
  EXPECT_EQ(ReadBytes(target), before);
  EXPECT_EQ(CountFiles(scratch.Sub(L"program")), 1);  // no temporary file left
  EXPECT_EQ(store->settings().MovieFile, "C:\\a.swf");
  // Once free, the replace goes through.
  ASSERT_TRUE(store->WriteSettings("MOVIE", "C:\\b.swf", "FALSE", false, "", "", "", "LOW"));
  EXPECT_NE(ReadBytes(target).find("SWFMOVIE = C:\\b.swf\r\n"), std::string::npos);
}

TEST_F(SettingsWin32Test, ReadFailureShowsTheSystemDescription) {
  UseFolders(scratch.Sub(L"program"), L"");
  // A folder where the file should be: opening it for reading fails.
  CreateDirectoryW(scratch.Sub(L"program\\Velmorand.ini").c_str(), nullptr);
  store->ReadSettings();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].substr(0, 5), "75   ");
  EXPECT_GT(messages.shown[0].size(), 5u);
}

TEST_F(SettingsWin32Test, PathsOutsideTheCodePageRoundTripAsUtf8) {
  struct Case {
    std::wstring folder;  // the program's folder, too
    std::wstring movie;
    bool expectAnsi;
  } cases[] = {
      {L"plain", L"C:\\Films\\a.swf", true},
      {L"Ταινίες", L"C:\\Ταινίες\\κύμα.swf", false},
      {L"映画", L"D:\\映画\\海.swf", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(win32::WideToUtf8(c.movie));
    UseFolders(scratch.Sub(c.folder), L"");
    std::string movie = win32::WideToUtf8(c.movie);
    ASSERT_TRUE(store->WriteSettings("MOVIE", movie, "TRUE", false, "", "", "", "HIGH"));
    std::string bytes = ReadBytes(scratch.Sub(c.folder + L"\\Velmorand.ini"));
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) == 0, !c.expectAnsi);
    if (c.expectAnsi) {
      EXPECT_EQ(bytes, "MOVIEORPIC = MOVIE\r\nSWFMOVIE = " + movie +
                           "\r\nINTERACTIVE = TRUE\r\nQUALITY = HIGH\r\n");
    }
    store->settings() = {};
    store->ReadSettings();
    EXPECT_EQ(store->settings().MovieFile, movie);
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(SettingsWin32Test, AnsiLettersStayInTheCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
  UseFolders(scratch.Sub(L"program"), L"");
  ASSERT_TRUE(store->WriteSettings("PIC", "", "", false, "C:\\Café\\ñ.jpg;", "SEQ", "5", ""));
  EXPECT_EQ(ReadBytes(scratch.Sub(L"program\\Velmorand.ini")),
            "MOVIEORPIC = PIC\r\nPICS = C:\\Caf\xE9\\\xF1.jpg;\r\nRANDOM = SEQ\r\nSPEED = 5\r\n");
  store->settings() = {};
  store->ReadSettings();
  EXPECT_EQ(store->pictureList(), std::vector<std::string>{"C:\\Café\\ñ.jpg"});
}

}  // namespace
}  // namespace orrivel
