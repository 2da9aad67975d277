// The settings platform of a real run: Win32 files (atomic replace with
// MoveFileExW), the system's ANSI code page, the tick count and a message
// box titled "Orrivel".
#pragma once

#include <windows.h>

#include "startup/settings_store.h"

namespace orrivel::win32 {

class Win32SettingsFiles final : public SettingsFiles {
 public:
  bool Exists(const std::string& path) override;
  ErrorInfo Read(const std::string& path, size_t limit, std::string& bytes) override;
  ErrorInfo WriteNew(const std::string& path, std::string_view bytes) override;
  ErrorInfo Replace(const std::string& from, const std::string& to) override;
  void Remove(const std::string& path) override;
  ErrorInfo CreateFolder(const std::string& path) override;
};

// CP_ACP without best-fit mapping, so a character that would change on the
// way (say Greek in a Western code page) sends the file to UTF-8.
class Win32AnsiCodePage final : public AnsiCodePage {
 public:
  std::optional<std::string> Encode(std::string_view utf8) const override;
  std::string Decode(std::string_view ansi) const override;
};

class TickClock final : public Clock {
 public:
  uint64_t Ticks() override;
};

class MessageBoxSink final : public MessageSink {
 public:
  void ShowError(const std::string& text) override;
};

// The folder that holds the running program, and %APPDATA%\Orrivel.
std::string ProgramFolder();
std::string ProfileSettingsFolder();

// The parts of the real platform, owned together by the application.
struct Win32SettingsPlatform {
  Win32SettingsFiles files;
  Win32AnsiCodePage codePage;
  TickClock clock;
  MessageBoxSink messages;
  SettingsPlatform platform{&files,    &codePage,       &clock,
                            &messages, ProgramFolder(), ProfileSettingsFolder()};
};

}  // namespace orrivel::win32
