#include "startup/settings_store.h"

#include <cstdio>

namespace orrivel {
namespace {

constexpr int kTempNameAttempts = 8;

std::string TempNameFor(const std::string& target, uint64_t ticks, int attempt) {
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%llx-%d.tmp", static_cast<unsigned long long>(ticks),
                attempt);
  return target + suffix;
}

void ShowSettingsError(SettingsPlatform& platform, const ErrorInfo& error) {
  if (platform.messages != nullptr) platform.messages->ShowError(ErrorMessageText(error, 3));
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

std::string SettingsReadPath(SettingsPlatform& platform) {
  if (!platform.fallbackFolder.empty()) {
    std::string perUser = JoinPath(platform.fallbackFolder, kSettingsFileName);
    if (platform.files->Exists(perUser)) return perUser;
  }
  return JoinPath(platform.programFolder, kSettingsFileName);
}

ErrorInfo ReplaceFileAtomically(SettingsPlatform& platform, const std::string& target,
                                std::string_view bytes) {
  uint64_t ticks = platform.clock != nullptr ? platform.clock->Ticks() : 0;
  ErrorInfo error;
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string temp = TempNameFor(target, ticks, attempt);
    if (platform.files->Exists(temp)) continue;  // a leftover or a concurrent writer's
    error = platform.files->WriteNew(temp, bytes);
    if (!error.failed()) error = platform.files->Replace(temp, target);
    if (error.failed()) platform.files->Remove(temp);
    return error;
  }
  return error.failed() ? error : MakeError(kErrPathFileAccess);
}

ErrorInfo WriteSettingsBytes(SettingsPlatform& platform, std::string_view bytes) {
  std::string perUser;
  if (!platform.fallbackFolder.empty()) {
    perUser = JoinPath(platform.fallbackFolder, kSettingsFileName);
    // Reading prefers an existing per-user file, so writing must go there too.
    if (platform.files->Exists(perUser)) return ReplaceFileAtomically(platform, perUser, bytes);
  }
  // Trying is the only sure test of whether the program's folder can be
  // written (access lists, read-only media, redirection).
  ErrorInfo besideProgram =
      ReplaceFileAtomically(platform, JoinPath(platform.programFolder, kSettingsFileName), bytes);
  if (!besideProgram.failed() || perUser.empty()) return besideProgram;
  if (platform.files->CreateFolder(platform.fallbackFolder).failed()) return besideProgram;
  ErrorInfo inProfile = ReplaceFileAtomically(platform, perUser, bytes);
  return inProfile.failed() ? besideProgram : inProfile;
}

bool SettingsStore::WriteSettings(const std::string& movieOrPic, const std::string& movieFile,
                                  const std::string& interactive, bool writeDefault,
                                  const std::string& pics, const std::string& random,
                                  const std::string& speed, const std::string& quality) {
  lastWriteError_ =
      Write(movieOrPic, movieFile, interactive, writeDefault, pics, random, speed, quality);
  return !lastWriteError_.failed();
}

ErrorInfo SettingsStore::Write(const std::string& movieOrPic, const std::string& movieFile,
                               const std::string& interactive, bool writeDefault,
                               const std::string& pics, const std::string& random,
                               const std::string& speed, const std::string& quality) {
  SettingsPlatform& platform = platform_;
  std::string text;
  if (writeDefault) {
    // The record switches to the built-in movie even when the file cannot be
    // written: the caller goes on with the built-in movie either way.
    settings_.MovieFile = "DEFAULT";
    settings_.MovieOrPic = "MOVIE";
    text = DefaultSettingsText();
  } else {
    text = BuildSettingsText(movieOrPic, movieFile, interactive, pics, random, speed, quality);
  }
  ErrorInfo error = WriteSettingsBytes(platform, EncodeSettingsBytes(text, *platform.codePage));
  if (error.failed() || writeDefault) return error;
  settings_.MovieFile = movieFile;
  settings_.Interactive = interactive;
  settings_.MovieOrPic = movieOrPic;
  return {};
}

ErrorInfo SettingsStore::SplitPictureList() {
  if (settings_.Pics.empty()) {
    return Write("", "", "", true, "", "", "", "");
  }
  for (std::string& entry : SplitPicsText(settings_.Pics)) {
    pictureList_.push_back(std::move(entry));
  }
  return {};
}

void SettingsStore::ReadSettings() {
  SettingsPlatform& platform = platform_;
  std::string bytes;
  ErrorInfo error = platform.files->Read(SettingsReadPath(platform), kMaxSettingsFileBytes, bytes);
  if (error.number == kErrFileNotFound) {
    // First run: the file is created with the built-in movie. A failure here
    // is reported, and the run goes on with the built-in movie in memory.
    ErrorInfo written = Write("", "", "", true, "", "", "", "");
    if (written.failed()) ShowSettingsError(platform, written);
    return;
  }
  if (!error.failed()) {
    error = ApplySettingsText(DecodeSettingsBytes(bytes, *platform.codePage), settings_);
  }
  if (!error.failed()) {
    if (settings_.MovieOrPic.empty()) {
      settings_.MovieOrPic = "MOVIE";
    } else if (settings_.MovieOrPic == "PIC") {
      error = SplitPictureList();
    }
  }
  if (error.failed()) {
    ShowSettingsError(platform, error);
    return;
  }
  if (settings_.MovieFile.empty() && settings_.MovieOrPic == "MOVIE") {
    settings_.MovieFile = "DEFAULT";
  }
  if (settings_.Interactive.empty()) settings_.Interactive = "FALSE";
  if (!IsSettingsNumber(settings_.Speed)) settings_.Speed = "5";
}

}  // namespace orrivel
