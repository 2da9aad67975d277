// Test fixture of the end-to-end tests: a private folder holding a copy of
// Orrivel.scr (so its Velmorand.ini is the test's own), and the runs of it
// under Wine on the test display.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace orrivel::e2e {

constexpr char kDefaultSettings[] = "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n";

class SaverTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Starts `wine Orrivel.scr <args...>` in the test folder.
  Process StartSaver(const std::vector<std::string>& args);
  // Starts wininspect with `args` (for `host`: its stdout goes to `outFile`).
  Process StartInspect(const std::vector<std::string>& args, const std::string& outFile);

  std::vector<WinInfo> Windows();
  // Polls the window list until `match` finds a window.
  std::optional<WinInfo> WaitForWindow(const std::function<bool(const WinInfo&)>& match,
                                       Millis timeout = 30s);
  // The visible top-level window titled `title`, waited for.
  std::optional<WinInfo> WaitForTopWindow(const std::string& title, Millis timeout = 30s);
  int CountTopWindows(const std::string& title);

  // The X window id of the visible window named `title` (xdotool), 0 if none.
  std::string XWindowId(const std::string& title);
  // Gives the X input focus to the window named `title`, as a window
  // manager would; false when there is none.
  bool Focus(const std::string& title);
  // True once the saver's process has ended or its window titled `title`
  // has gone (Wine takes a while to end a process; the window goes at once).
  bool Ends(Process& saver, Millis timeout, const std::string& title = "Tavrenn");
  void Key(const std::string& keysym);
  void MoveMouse(int x, int y);

  std::string SettingsPath() const { return dir_ / "Velmorand.ini"; }
  void WriteSettings(const std::string& text) { WriteFileBytes(SettingsPath(), text); }
  std::string ReadSettings() const { return ReadFileBytes(SettingsPath()); }
  // Settings of a picture run over the given files of the test folder.
  std::string PictureSettings(const std::vector<std::string>& names, const std::string& speed,
                              const std::string& order = "SEQ") const;
  // Writes a BMP into the test folder: top half `top`, bottom half `bottom`.
  void MakePicture(const std::string& name, int width, int height, std::uint32_t top,
                   std::uint32_t bottom);

  // Polls screenshots until the box of non-black pixels is non-empty and
  // matches `accept`; returns the last screenshot taken.
  std::optional<Image> WaitForScreen(const std::function<bool(const Image&)>& accept,
                                     Millis timeout = 15s);

  TempDir dir_;
  WindowsBuild build_;
  Size screen_;
};

}  // namespace orrivel::e2e
