// The process-wide state of the start-up module, and the settings operations
// bound to the installed platform.
#include "startup/mod_main.h"

#include "startup/settings_store.h"

namespace orrivel {

SaverSettingsRecord SaverSettings;
std::vector<std::string> PictureList;
bool PreviewMode = false;

namespace {

// Used until the shell installs the real platform: no files, no messages.
class NoFiles final : public SettingsFiles {
 public:
  bool Exists(const std::string&) override { return false; }
  ErrorInfo Read(const std::string&, size_t, std::string&) override {
    return MakeError(kErrFileNotFound);
  }
  ErrorInfo WriteNew(const std::string&, std::string_view) override {
    return MakeError(kErrPathFileAccess);
  }
  ErrorInfo Replace(const std::string&, const std::string&) override {
    return MakeError(kErrPathFileAccess);
  }
  void Remove(const std::string&) override {}
  ErrorInfo CreateFolder(const std::string&) override { return MakeError(kErrPathFileAccess); }
};

class Latin1Only final : public AnsiCodePage {
 public:
  std::optional<std::string> Encode(std::string_view utf8) const override {
    for (unsigned char c : utf8) {
      if (c >= 0x80) return std::nullopt;
    }
    return std::string(utf8);
  }
  std::string Decode(std::string_view ansi) const override { return std::string(ansi); }
};

SettingsPlatform& NullPlatform() {
  static NoFiles files;
  static Latin1Only codePage;
  static SettingsPlatform platform{&files, &codePage, nullptr, nullptr, "", ""};
  return platform;
}

SettingsPlatform* installed = nullptr;
ErrorInfo lastWriteError;

}  // namespace

void InstallSettingsPlatform(SettingsPlatform* platform) { installed = platform; }

SettingsPlatform& CurrentSettingsPlatform() {
  return installed != nullptr ? *installed : NullPlatform();
}

const ErrorInfo& LastWriteSettingsError() { return lastWriteError; }

void ReadSettings() { ReadSettingsFrom(CurrentSettingsPlatform()); }

bool WriteSettings(const std::string& movieOrPic, const std::string& movieFile,
                   const std::string& interactive, bool writeDefault, const std::string& pics,
                   const std::string& random, const std::string& speed,
                   const std::string& quality) {
  lastWriteError = WriteSettingsTo(CurrentSettingsPlatform(), movieOrPic, movieFile, interactive,
                                   writeDefault, pics, random, speed, quality);
  return !lastWriteError.failed();
}

void SplitPictureList() {
  // Called by ReadSettings only; a failure surfaces there.
  lastWriteError = SplitPictureListWith(CurrentSettingsPlatform());
}

}  // namespace orrivel
