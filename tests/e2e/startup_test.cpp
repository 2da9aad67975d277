// End-to-end runs of the start-up: the settings file written on the way to
// the built-in movie, and the preview inside a host window.
#include <gtest/gtest.h>

#include <set>

#include "saver_fixture.h"

namespace orrivel::e2e {
namespace {

using StartupTest = SaverTest;

TEST_F(StartupTest, MissingSettingsFileIsCreatedForTheBuiltInMovie) {
  ASSERT_FALSE(FileExists(SettingsPath()));
  Process saver = StartSaver({"/s"});
  EXPECT_TRUE(PollUntil([&] { return ReadSettings() == kDefaultSettings; }, 30s))
      << "settings file holds \"" << ReadSettings() << "\"";
  EXPECT_TRUE(WaitForTopWindow("Tavrenn")) << "no saver window opened";
  EXPECT_TRUE(saver.Running());
}

TEST_F(StartupTest, SingleMissingPictureFallsBackToTheMovie) {
  WriteSettings(PictureSettings({"gone.jpg"}, "5"));
  Process saver = StartSaver({"/s"});
  EXPECT_TRUE(PollUntil([&] { return ReadSettings() == kDefaultSettings; }, 30s))
      << "settings file holds \"" << ReadSettings() << "\"";
  // The movie window opens over the picture window, which stays loaded:
  // two full-screen windows of two kinds.
  std::set<std::string> classes;
  PollUntil(
      [&] {
        classes.clear();
        for (const auto& w : Windows())
          if (w.topLevel && w.visible && w.title == "Tavrenn") classes.insert(w.className);
        return classes.size() >= 2;
      },
      30s, 200ms);
  EXPECT_GE(classes.size(), 2u) << "the movie window did not open";
  EXPECT_TRUE(saver.Running());
}

// Without a recognised switch the saver runs full screen like /s, but keeps
// the caption its window was designed with.
struct DesignCaptionCase {
  const char* name;
  bool pictures;
  const char* caption;
  const char* argument;
};

void PrintTo(const DesignCaptionCase& c, std::ostream* os) { *os << c.name; }

class DesignCaptionTest : public SaverTest,
                          public ::testing::WithParamInterface<DesignCaptionCase> {};

TEST_P(DesignCaptionTest, FullScreenWindowKeepsItsCaption) {
  const DesignCaptionCase& c = GetParam();
  if (c.pictures) {
    MakePicture("a.bmp", 64, 64, 0xCC2020, 0x2040CC);
    WriteSettings(PictureSettings({"a.bmp"}, "15"));
  } else {
    WriteSettings(kDefaultSettings);
  }
  std::vector<std::string> args;
  if (*c.argument) args.push_back(c.argument);
  Process saver = StartSaver(args);
  auto window = WaitForTopWindow(c.caption);
  ASSERT_TRUE(window) << "no visible window titled \"" << c.caption << "\"";
  EXPECT_EQ(window->width(), screen_.width);
  EXPECT_EQ(window->height(), screen_.height);
  EXPECT_EQ(CountTopWindows("Tavrenn"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, DesignCaptionTest,
    ::testing::Values(DesignCaptionCase{"PicturesNoArgument", true, "Orrivel", ""},
                      DesignCaptionCase{"PicturesUnknownSwitch", true, "Orrivel", "/a"},
                      DesignCaptionCase{"MovieNoArgument", false, "frmSS", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// /p <hwnd>: the saver's window becomes a visible child of the host window,
// at its origin and its size; it ignores input, and the saver ends when the
// host window goes away.
struct PreviewCase {
  const char* name;
  bool pictures;
};

void PrintTo(const PreviewCase& c, std::ostream* os) { *os << c.name; }

class PreviewTest : public SaverTest, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(PreviewTest, EmbedsInTheHostAndEndsWithIt) {
  std::string wanted = kDefaultSettings;
  if (GetParam().pictures) {
    MakePicture("a.bmp", 300, 200, 0xCC2020, 0x2040CC);
    wanted = PictureSettings({"a.bmp"}, "15");
  }
  WriteSettings(wanted);

  std::string quit = dir_ / "host.quit";
  std::string hostOut = dir_ / "host.out";
  Process host = StartInspect({"host", "152", "112", WinePath(quit)}, hostOut);
  std::uint64_t hostHwnd = 0;
  ASSERT_TRUE(PollUntil(
      [&] {
        hostHwnd = std::strtoull(ReadFileBytes(hostOut).c_str(), nullptr, 10);
        return hostHwnd != 0;
      },
      20s))
      << "the test host window did not open";

  Process saver = StartSaver({"/p", std::to_string(hostHwnd)});
  auto child = WaitForWindow([&](const WinInfo& w) {
    return !w.topLevel && w.parent == hostHwnd && w.title == "preview" && w.visible;
  });
  ASSERT_TRUE(child) << "no visible child window titled \"preview\" in the host";
  EXPECT_EQ(child->left, 100);
  EXPECT_EQ(child->top, 200);
  EXPECT_EQ(child->width(), 152);
  EXPECT_EQ(child->height(), 112);
  EXPECT_EQ(CountTopWindows("Tavrenn"), 0);

  // Input over the preview does not end it.
  for (int i = 0; i < 6; ++i) MoveMouse(120 + 5 * i, 250);
  EXPECT_FALSE(saver.WaitExit(700ms)) << "mouse moves ended the preview";
  EXPECT_TRUE(
      WaitForWindow([&](const WinInfo& w) { return w.hwnd == child->hwnd && w.visible; }, 1s))
      << "mouse moves closed the preview window";

  WriteFileBytes(quit, "");
  ASSERT_TRUE(host.WaitExit(20s)) << "the test host did not close";
  auto closed = std::chrono::steady_clock::now();
  ASSERT_TRUE(saver.WaitExit(5s)) << "the preview outlived its host";
  auto delay = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - closed);
  EXPECT_LE(delay.count(), 1000) << "the preview ended " << delay.count() << " ms after its host";
  EXPECT_EQ(ReadSettings(), wanted);
}

INSTANTIATE_TEST_SUITE_P(Modes, PreviewTest,
                         ::testing::Values(PreviewCase{"Movie", false},
                                           PreviewCase{"Pictures", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orrivel::e2e
