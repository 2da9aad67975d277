// An in-memory settings platform: files in a map, folders that refuse
// writes, an ASCII code page, a fixed clock and a recorded message box.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "startup/settings_store.h"

namespace orrivel::testing {

class FakeFiles final : public SettingsFiles {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> readOnlyFolders;
  std::set<std::string> folders;
  bool failReplace = false;
  bool failWriteMidway = false;  // leaves half the bytes in the new file
  std::optional<ErrorInfo> readError;
  int writes = 0;

  static std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
  }
  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  ErrorInfo Read(const std::string& path, size_t limit, std::string& bytes) override {
    if (readError) return *readError;
    auto it = files.find(path);
    if (it == files.end()) return MakeError(kErrFileNotFound);
    if (it->second.size() > limit) return MakeError(kErrOutOfMemory);
    bytes = it->second;
    return {};
  }
  ErrorInfo WriteNew(const std::string& path, std::string_view bytes) override {
    if (readOnlyFolders.count(FolderOf(path)) != 0)
      return {kErrPathFileAccess, "Access is denied."};
    if (files.count(path) != 0) return MakeError(kErrPathFileAccess);
    ++writes;
    if (failWriteMidway) {
      files[path] = std::string(bytes.substr(0, bytes.size() / 2));
      return {kErrDiskFull, "There is not enough space on the disk."};
    }
    files[path] = std::string(bytes);
    return {};
  }
  ErrorInfo Replace(const std::string& from, const std::string& to) override {
    if (failReplace) return {kErrPathFileAccess, "Access is denied."};
    files[to] = files[from];
    files.erase(from);
    return {};
  }
  void Remove(const std::string& path) override { files.erase(path); }
  ErrorInfo CreateFolder(const std::string& path) override {
    if (readOnlyFolders.count(FolderOf(path)) != 0) return MakeError(kErrPathFileAccess);
    folders.insert(path);
    return {};
  }
};

// A code page of ASCII only, so anything else is written as UTF-8 (real code
// pages are tested in settings_win32_test.cpp).
class FakeCodePage final : public AnsiCodePage {
 public:
  std::optional<std::string> Encode(std::string_view utf8) const override {
    for (unsigned char c : utf8) {
      if (c >= 0x80) return std::nullopt;
    }
    return std::string(utf8);
  }
  std::string Decode(std::string_view ansi) const override { return std::string(ansi); }
};

class FixedClock final : public Clock {
 public:
  uint64_t Ticks() override { return 0x1234; }
};

class RecordedMessages final : public MessageSink {
 public:
  std::vector<std::string> shown;
  void ShowError(const std::string& text) override { shown.push_back(text); }
};

inline constexpr char kProgramFolder[] = "C:\\Program Files\\Orrivel";
inline constexpr char kProfileFolder[] = "C:\\Users\\u\\AppData\\Roaming\\Orrivel";
inline const std::string kProgramFile = std::string(kProgramFolder) + "\\Velmorand.ini";
inline const std::string kProfileFile = std::string(kProfileFolder) + "\\Velmorand.ini";

// A store over the fake platform, starting every test from an empty record.
// The names below read like the store's operations, so the cases stay short.
class SettingsTest : public ::testing::Test {
 protected:
  FakeFiles files;
  FakeCodePage codePage;
  FixedClock clock;
  RecordedMessages messages;
  SettingsPlatform platform{&files, &codePage, &clock, &messages, kProgramFolder, kProfileFolder};
  SettingsStore store{platform};
  SaverSettingsRecord& SaverSettings = store.settings();
  std::vector<std::string>& PictureList = store.pictureList();

  void SetUp() override {
    SaverSettings = {};
    PictureList.clear();
  }
  void ReadSettings() { store.ReadSettings(); }
  bool WriteSettings(const std::string& movieOrPic, const std::string& movieFile,
                     const std::string& interactive, bool writeDefault, const std::string& pics,
                     const std::string& random, const std::string& speed,
                     const std::string& quality) {
    return store.WriteSettings(movieOrPic, movieFile, interactive, writeDefault, pics, random,
                               speed, quality);
  }
  const ErrorInfo& LastWriteSettingsError() const { return store.LastWriteError(); }
};

}  // namespace orrivel::testing
