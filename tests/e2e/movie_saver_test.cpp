// End-to-end runs of the movie saver: the built-in movie playing full
// screen, the ways each kind of run ends under real input, a user's movie,
// the fall-back from one that does not load, and no temporary copy left.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "saver_fixture.h"

namespace orrivel::e2e {
namespace {

constexpr char kPlainSettings[] =
    "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\nINTERACTIVE = FALSE\r\n";

// Temporary copies of the built-in movie in the Wine prefix ("~fs*.tmp").
int CountTempCopies() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix == nullptr) return 0;
  int n = 0;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(std::string(prefix) + "/drive_c/users", ec),
       end;
       it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("~fs", 0) == 0) ++n;
  }
  return n;
}

// Fraction of pixels that differ between two screenshots.
double Changed(const Image& a, const Image& b) {
  if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0;
  size_t n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) n += !Near(a.pixels[i], b.pixels[i], 8);
  return static_cast<double>(n) / a.pixels.size();
}

class MovieSaverTest : public SaverTest {
 protected:
  // With no settings text, the run starts without a settings file.
  Process StartPlain(const std::string& settings = kPlainSettings) {
    tempBefore_ = CountTempCopies();
    if (!settings.empty()) WriteSettings(settings);
    Process saver = StartSaver({"/s"});
    window_ = WaitForTopWindow("Tavrenn");
    return saver;
  }
  // The movie moves: two screenshots a second apart differ, and the
  // picture is more than a flat colour.
  void ExpectMoviePlays() {
    std::optional<Image> first = WaitForScreen([](const Image&) { return true; });
    ASSERT_TRUE(first) << "nothing drawn";
    std::this_thread::sleep_for(1s);
    std::optional<Image> second = TakeScreenshot();
    ASSERT_TRUE(second);
    EXPECT_GT(Changed(*first, *second), 0.005) << "the movie stands still";
  }
  void ExpectNoTempCopyLeft(Process& saver) {
    ASSERT_TRUE(saver.WaitExit(15s));
    EXPECT_EQ(CountTempCopies(), tempBefore_) << "a temporary copy of the movie was left behind";
  }

  int tempBefore_ = 0;
  std::optional<WinInfo> window_;
};

TEST_F(MovieSaverTest, PlainRunPlaysTheBuiltInMovieAndEndsOnAnyKey) {
  Process saver = StartPlain();
  ASSERT_TRUE(window_) << "no visible window titled \"Tavrenn\"";
  EXPECT_EQ(window_->className, "OrrivelMovieWindow");
  EXPECT_EQ(window_->width(), screen_.width);
  EXPECT_EQ(window_->height(), screen_.height);
  ExpectMoviePlays();
  ASSERT_TRUE(Focus("Tavrenn"));
  Key("Shift_L");  // a modifier alone ends it too
  EXPECT_TRUE(Ends(saver, 5s)) << "a key did not end the saver";
  ExpectNoTempCopyLeft(saver);
  EXPECT_EQ(ReadSettings(), kPlainSettings);
}

TEST_F(MovieSaverTest, PlainRunEndsAfterTwoDiagonalMouseMoves) {
  Process saver = StartPlain();
  ASSERT_TRUE(window_);
  MoveMouse(100, 100);
  std::this_thread::sleep_for(300ms);
  // Moves along one axis do not count.
  for (int i = 1; i <= 4; ++i) MoveMouse(100 + 20 * i, 100), std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(Ends(saver, 500ms)) << "moves along one axis ended the saver";
  MoveMouse(200, 150);
  std::this_thread::sleep_for(100ms);
  MoveMouse(250, 200);
  EXPECT_TRUE(Ends(saver, 5s)) << "two diagonal moves did not end the saver";
  ExpectNoTempCopyLeft(saver);
}

TEST_F(MovieSaverTest, InteractiveRunEndsOnlyThroughItsButton) {
  // A first run, without a settings file, is interactive.
  Process saver = StartPlain("");
  ASSERT_TRUE(window_);
  auto button = WaitForWindow(
      [](const WinInfo& w) { return !w.topLevel && w.title == "End Screen Saver" && w.visible; });
  ASSERT_TRUE(button) << "no visible \"End Screen Saver\" button";
  EXPECT_EQ(button->bottom, window_->bottom);
  ASSERT_TRUE(Focus("Tavrenn"));
  Key("a");
  for (int i = 0; i < 6; ++i) MoveMouse(50 + 40 * i, 60 + 30 * i);
  EXPECT_FALSE(Ends(saver, 1s)) << "keys or the mouse ended an interactive run";
  // The button slides: find it where it is now and click it.
  auto now = WaitForWindow([](const WinInfo& w) { return w.title == "End Screen Saver"; });
  ASSERT_TRUE(now);
  EXPECT_NE(now->left, button->left) << "the button does not move";
  MoveMouse((now->left + now->right) / 2 + 10, (now->top + now->bottom) / 2);
  Capture("xdotool click 1");
  EXPECT_TRUE(Ends(saver, 5s)) << "clicking the button did not end the saver";
  ExpectNoTempCopyLeft(saver);
}

TEST_F(MovieSaverTest, UsersMoviePlaysAndAMissingOneFallsBack) {
  const std::string corpus = std::string(ORRIVEL_CORPUS_DIR);
  ASSERT_TRUE(FileExists(corpus)) << "no corpus at " << corpus;
  struct Case {
    std::string movie;
    bool loads;
  } cases[] = {
      {corpus + "/ruffle/visual/gradient_issue_9892/test.swf", true},
      {dir_ / "gone.swf", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.movie);
    const std::string settings = "MOVIEORPIC = MOVIE\r\nSWFMOVIE = " + WinePath(c.movie) +
                                 "\r\nINTERACTIVE = FALSE\r\nQUALITY = HIGH\r\n";
    Process saver = StartPlain(settings);
    ASSERT_TRUE(window_);
    EXPECT_TRUE(WaitForScreen([](const Image&) { return true; })) << "nothing drawn";
    if (c.loads) {
      EXPECT_EQ(ReadSettings(), settings);
    } else {
      EXPECT_TRUE(PollUntil([&] { return ReadSettings() == kDefaultSettings; }, 10s))
          << "settings hold \"" << ReadSettings() << "\"";
      ExpectMoviePlays();
    }
    ASSERT_TRUE(Focus("Tavrenn"));
    Key("a");
    ExpectNoTempCopyLeft(saver);
  }
}

}  // namespace
}  // namespace orrivel::e2e
