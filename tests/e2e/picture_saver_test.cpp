// End-to-end runs of the picture saver started with /s: its window, what it
// draws, the input that ends it, and the settings file it leaves.
#include <gtest/gtest.h>

#include "saver_fixture.h"

namespace orrivel::e2e {
namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xCC2020;
constexpr std::uint32_t kBlue = 0x2040CC;
constexpr std::uint32_t kGreen = 0x20B040;
constexpr std::uint32_t kYellow = 0xE0D020;

bool NotBlack(std::uint32_t c) { return !Near(c, kBlack, 24); }

class PictureSaverTest : public SaverTest {
 protected:
  // Starts /s over one 200x100 picture shown for 15 s, and waits for its
  // full-screen window.
  Process StartOnePicture() {
    MakePicture("a.bmp", 200, 100, kRed, kBlue);
    settings_ = PictureSettings({"a.bmp"}, "15");
    WriteSettings(settings_);
    Process saver = StartSaver({"/s"});
    window_ = WaitForTopWindow("Tavrenn");
    return saver;
  }

  // Ends the run with a key that produces a character.
  void EndWithKey(Process& saver, const char* key = "a") {
    Focus("Tavrenn");
    Key(key);
    EXPECT_TRUE(saver.WaitExit(15s)) << key << " did not end the saver";
  }

  std::string settings_;
  std::optional<WinInfo> window_;
};

TEST_F(PictureSaverTest, WindowCoversTheScreenAndSettingsStayUnchanged) {
  Process saver = StartOnePicture();
  ASSERT_TRUE(window_) << "no visible window titled \"Tavrenn\"";
  EXPECT_EQ(window_->left, 0);
  EXPECT_EQ(window_->top, 0);
  EXPECT_EQ(window_->width(), screen_.width);
  EXPECT_EQ(window_->height(), screen_.height);
  EXPECT_EQ(CountTopWindows("Orrivel"), 0) << "the design caption was not replaced";
  EXPECT_TRUE(saver.Running());
  EndWithKey(saver);
  EXPECT_EQ(ReadSettings(), settings_) << "a picture run must leave the settings file as it was";
}

TEST_F(PictureSaverTest, OnlyKeysWithACharacterEndIt) {
  Process saver = StartOnePicture();
  ASSERT_TRUE(window_);
  ASSERT_TRUE(Focus("Tavrenn"));
  for (const char* key : {"Right", "Up", "F1", "Shift_L"}) {
    Key(key);
    EXPECT_FALSE(Ends(saver, 700ms)) << key << " ended the saver";
  }
  EndWithKey(saver, "space");
}

TEST_F(PictureSaverTest, EndsOnTheFifthMouseMove) {
  Process saver = StartOnePicture();
  ASSERT_TRUE(window_);
  ASSERT_TRUE(Focus("Tavrenn"));
  // Wine, like Windows, may deliver one mouse-move event when the window
  // appears under the pointer; that one counts too. So moves 1 to 3 must
  // leave the saver running, and it must have ended by move 5.
  EXPECT_FALSE(Ends(saver, 500ms)) << "ended before any mouse move";
  int endedAt = 0;
  for (int i = 1; i <= 5 && !endedAt; ++i) {
    MoveMouse(20 + 10 * i, 20);  // over the background, away from the picture
    if (Ends(saver, i < 4 ? 300ms : 3000ms)) endedAt = i;
  }
  EXPECT_TRUE(endedAt == 4 || endedAt == 5) << "ended on mouse move " << endedAt << " (0: never)";
  EXPECT_TRUE(saver.WaitExit(15s));
}

// A picture smaller than the screen keeps its size and is centred; a larger
// one is scaled down with its proportions kept. Top half red, bottom half
// blue, so a picture drawn upside down fails too.
struct FitCase {
  const char* name;
  int width, height;
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class PictureFitTest : public PictureSaverTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(PictureFitTest, IsCentredOnTheScreen) {
  const FitCase& c = GetParam();
  MakePicture("p.bmp", c.width, c.height, kRed, kBlue);
  WriteSettings(PictureSettings({"p.bmp"}, "15"));
  Process saver = StartSaver({"/s"});
  ASSERT_TRUE(WaitForTopWindow("Tavrenn"));

  double scale =
      std::min({1.0, double(screen_.width) / c.width, double(screen_.height) / c.height});
  double w = c.width * scale, h = c.height * scale;
  Box want{int((screen_.width - w) / 2 + 0.5), int((screen_.height - h) / 2 + 0.5),
           int((screen_.width + w) / 2 + 0.5), int((screen_.height + h) / 2 + 0.5)};
  auto close = [](const Box& a, const Box& b) {
    return std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 &&
           std::abs(a.right - b.right) <= 1 && std::abs(a.bottom - b.bottom) <= 1;
  };
  Box got;
  auto shot = WaitForScreen([&](const Image& img) {
    got = BoundingBox(img, NotBlack);
    return close(got, want);
  });
  ASSERT_TRUE(shot);
  EXPECT_TRUE(close(got, want)) << "picture at " << got.left << "," << got.top << "-" << got.right
                                << "," << got.bottom << ", expected " << want.left << ","
                                << want.top << "-" << want.right << "," << want.bottom;
  int cx = (want.left + want.right) / 2;
  EXPECT_TRUE(Near(shot->At(cx, want.top + (want.bottom - want.top) / 4), kRed, 40)) << "top half";
  EXPECT_TRUE(Near(shot->At(cx, want.bottom - 1 - (want.bottom - want.top) / 4), kBlue, 40))
      << "bottom half";
  EXPECT_TRUE(Near(shot->At(0, 0), kBlack, 8) || want.left == 0) << "background is not black";
  EndWithKey(saver);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PictureFitTest,
                         ::testing::Values(FitCase{"Small", 200, 100}, FitCase{"Wide", 2000, 500},
                                           FitCase{"Tall", 500, 2000}),
                         [](const auto& info) { return std::string(info.param.name); });

// List order, /s: the start makes two steps (B hidden, then C), then the
// timer shows A, B, C, ... every two seconds (room for slow screenshots).
TEST_F(PictureSaverTest, ShowsThePicturesInListOrder) {
  MakePicture("a.bmp", 120, 80, kRed, kRed);
  MakePicture("b.bmp", 120, 80, kGreen, kGreen);
  MakePicture("c.bmp", 120, 80, kYellow, kYellow);
  WriteSettings(PictureSettings({"a.bmp", "b.bmp", "c.bmp"}, "2"));
  Process saver = StartSaver({"/s"});
  ASSERT_TRUE(WaitForTopWindow("Tavrenn"));
  std::vector<std::uint32_t> seen;
  PollUntil(
      [&] {
        auto img = TakeScreenshot();
        if (!img) return false;
        std::uint32_t c = img->At(img->width / 2, img->height / 2);
        for (std::uint32_t known : {kRed, kGreen, kYellow})
          if (Near(c, known, 30) && (seen.empty() || seen.back() != known)) seen.push_back(known);
        return seen.size() >= 4;
      },
      15s, 100ms);
  std::vector<std::uint32_t> want{kYellow, kRed, kGreen, kYellow};
  EXPECT_EQ(seen, want);
  EndWithKey(saver);
}

TEST_F(PictureSaverTest, SecondStartEndsWithoutAWindow) {
  Process first = StartOnePicture();
  ASSERT_TRUE(window_);
  Process second = StartSaver({"/s"});
  int most = 0;
  bool ended = PollUntil(
      [&] {
        most = std::max(most, CountTopWindows("Tavrenn"));
        return !second.Running();
      },
      20s, 100ms);
  EXPECT_TRUE(ended) << "the second /s start did not end";
  EXPECT_EQ(most, 1) << "the second start opened a window";
  EXPECT_TRUE(first.Running()) << "the second start ended the first";
  EndWithKey(first, "Escape");
}

}  // namespace
}  // namespace orrivel::e2e
