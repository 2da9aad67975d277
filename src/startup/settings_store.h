// Moving the settings between the file and SaverSettings: where the file
// lives, how it is read, defaulted and replaced. The platform (files, code
// page, clock, message box) comes in through small interfaces so tests can
// give fixed answers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_info.h"
#include "startup/settings_format.h"
#include "startup/text_codec.h"

namespace orrivel {

// A settings file larger than this is not read (untrusted input).
inline constexpr size_t kMaxSettingsFileBytes = 16u << 20;

class SettingsFiles {
 public:
  virtual ~SettingsFiles() = default;
  virtual bool Exists(const std::string& path) = 0;
  // The whole file; error 53 when it does not exist, 7 when it is larger
  // than `limit` bytes.
  virtual ErrorInfo Read(const std::string& path, size_t limit, std::string& bytes) = 0;
  // Creates `path` (failing when it exists), writes `bytes`, flushes and closes.
  virtual ErrorInfo WriteNew(const std::string& path, std::string_view bytes) = 0;
  // Moves `from` over `to` in one step, replacing `to` when it exists.
  virtual ErrorInfo Replace(const std::string& from, const std::string& to) = 0;
  virtual void Remove(const std::string& path) = 0;
  // Creates the folder; succeeds when it already exists.
  virtual ErrorInfo CreateFolder(const std::string& path) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t Ticks() = 0;  // any steadily changing count
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // A message box with an OK button, titled "Orrivel".
  virtual void ShowError(const std::string& text) = 0;
};

struct SettingsPlatform {
  SettingsFiles* files = nullptr;
  const AnsiCodePage* codePage = nullptr;
  Clock* clock = nullptr;
  MessageSink* messages = nullptr;
  std::string programFolder;   // the folder that holds the program file
  std::string fallbackFolder;  // per-user folder (%APPDATA%\Orrivel); empty: none
};

std::string JoinPath(std::string_view folder, std::string_view name);

// The file that reading uses: the per-user file when it exists, else the
// one beside the program.
std::string SettingsReadPath(SettingsPlatform& platform);

// Writes the encoded settings atomically. Target: the per-user file when it
// already exists; otherwise the file beside the program, and the per-user
// file when the program's folder cannot be written.
ErrorInfo WriteSettingsBytes(SettingsPlatform& platform, std::string_view bytes);

// Replaces `target` through a temporary file beside it: the old file stays
// whole until the new one is complete.
ErrorInfo ReplaceFileAtomically(SettingsPlatform& platform, const std::string& target,
                                std::string_view bytes);

// The settings of one run: the record as read, the picture list split from
// it, and the operations that move them between memory and the file.
class SettingsStore {
 public:
  explicit SettingsStore(SettingsPlatform& platform) : platform_(platform) {}

  // Reads the settings file into the record (and, for pictures, the list).
  // Creates the file with the built-in movie when it is missing. Never stops
  // the start-up: failures are shown through the platform's message sink.
  void ReadSettings();
  // Writes the file in one of its three layouts, then updates the record as
  // the readers expect. False when the file could not be written;
  // LastWriteError() tells why.
  bool WriteSettings(const std::string& movieOrPic, const std::string& movieFile,
                     const std::string& interactive, bool writeDefault, const std::string& pics,
                     const std::string& random, const std::string& speed,
                     const std::string& quality);
  const ErrorInfo& LastWriteError() const { return lastWriteError_; }

  SaverSettingsRecord& settings() { return settings_; }
  const SaverSettingsRecord& settings() const { return settings_; }
  std::vector<std::string>& pictureList() { return pictureList_; }
  const std::vector<std::string>& pictureList() const { return pictureList_; }
  SettingsPlatform& platform() { return platform_; }

 private:
  ErrorInfo Write(const std::string& movieOrPic, const std::string& movieFile,
                  const std::string& interactive, bool writeDefault, const std::string& pics,
                  const std::string& random, const std::string& speed, const std::string& quality);
  // Appends the entries of Pics to the list; with an empty Pics it writes
  // the built-in movie settings instead.
  ErrorInfo SplitPictureList();

  SettingsPlatform& platform_;
  SaverSettingsRecord settings_;
  std::vector<std::string> pictureList_;
  ErrorInfo lastWriteError_;
};

}  // namespace orrivel
