// The movie window on real windows: the three kinds of run, the watches,
// the player control playing a movie, and the fall-back when the chosen
// movie does not load.
#include "moviesaver/movie_window_win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../startup/win32_test_support.h"
#include "../swf/format/swf_writer.h"
#include "swf/player/stage_fit.h"
#include "win32/dpi_win32.h"

namespace orrivel {
namespace {

using testing::Pump;
using testing::PumpUntil;

// A one-frame movie with a blue stage and nothing on it.
std::vector<uint8_t> StillMovie() {
  using namespace swf::test;
  return Fws(6, Cat({Tag(9, SwfWriter().Rgb(0, 0, 255).Take()), Tag(1, {}), Tag(0, {})}));
}

void WriteFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

RECT ClientInScreen(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class MovieWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    app->EndSaver();
    Pump(20);
  }
  MovieWindow& Open(const char* interactive, const std::string& movie = "DEFAULT",
                    bool preview = false) {
    return Open(app, interactive, movie, preview);
  }
  static MovieWindow& Open(testing::TestApp& app, const char* interactive, const std::string& movie,
                           bool preview) {
    if (preview) app->EnterPreviewMode();
    app->Store().settings().Interactive = interactive;
    app->Store().settings().MovieFile = movie;
    MovieWindow& window = app->MovieSaver();
    EXPECT_TRUE(window.Load());
    if (!preview) window.Show();
    window.FormatMovie();
    return window;
  }
  testing::TestApp app;
};

TEST_F(MovieWindowTest, KindsOfRun) {
  struct Case {
    const char* interactive;
    bool preview;
    MovieRunKind kind;
    bool hook;
    bool button;
  } cases[] = {
      {"FALSE", false, MovieRunKind::Plain, true, false},
      {"", false, MovieRunKind::Interactive, false, true},
      {"FALSE", true, MovieRunKind::Preview, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interactive + std::string(c.preview ? " preview" : ""));
    testing::TestApp fresh;
    MovieWindow& w = Open(fresh, c.interactive, "DEFAULT", c.preview);
    wchar_t name[64] = {};
    GetClassNameW(w.hwnd(), name, 64);
    EXPECT_STREQ(name, kMovieWindowClass);
    EXPECT_EQ(w.Title(), L"frmSS");
    EXPECT_EQ(w.RunKind(), c.kind);
    EXPECT_EQ(w.KeyboardHookInstalled(), c.hook);
    EXPECT_EQ(IsWindowVisible(w.EndButton()) != 0, c.button);
    RECT window = ClientInScreen(w.hwnd());
    RECT player = ClientInScreen(w.Player().hwnd());
    EXPECT_EQ(player.top, window.top);
    EXPECT_EQ(player.right - player.left, window.right - window.left);
    if (c.button) {
      // A 400-twip strip: a 25-twip gap, then the button to the bottom edge.
      const float tpp = win32::TwipsPerPixel(w.hwnd());
      RECT button = ClientInScreen(w.EndButton());
      EXPECT_NEAR(window.bottom - player.bottom, 400 / tpp, 1);
      EXPECT_NEAR(button.bottom, window.bottom, 1);
      EXPECT_NEAR(button.right - button.left, 1695 / tpp, 1);
      wchar_t caption[64] = {};
      GetWindowTextW(w.EndButton(), caption, 64);
      EXPECT_STREQ(caption, L"End Screen Saver");
    } else {
      EXPECT_EQ(player.bottom, window.bottom);
    }
    EXPECT_EQ(w.Player().FrameNum(), -1) << "no built-in movie in a test program";
    fresh->EndSaver();
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.KeyboardHookInstalled());
  }
}

TEST_F(MovieWindowTest, PlainRunEndsOnTheTickAfterTwoDiagonalMoves) {
  MovieWindow& w = Open("FALSE");
  // The watch polls the cursor on its own timer while the test pumps.
  struct Step {
    POINT to;
    int count;
  } steps[] = {{{100, 100}, 1}, {{100, 140}, 1}, {{130, 140}, 1}, {{160, 170}, 2}};
  for (const Step& s : steps) {
    SetCursorPos(s.to.x, s.to.y);
    ASSERT_TRUE(PumpUntil([&] { return w.MoveCount() >= s.count; }, 500)) << s.to.x;
    Pump(60);
    ASSERT_TRUE(w.IsOpen());
    EXPECT_EQ(w.MoveCount(), s.count) << "one-axis moves do not count";
  }
  SetCursorPos(190, 200);
  EXPECT_TRUE(PumpUntil([&] { return !w.IsOpen(); }, 500))
      << "the tick after the second counted move ends the run";
}

TEST_F(MovieWindowTest, PlainRunWithoutItsHookStillEndsOnAKey) {
  MovieWindow& w = Open("FALSE");
  // Sent straight to the window, as it would arrive with no hook in place.
  SendMessageW(w.hwnd(), WM_KEYDOWN, 'A', 1);
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(MovieWindowTest, InteractiveButtonSlidesAndEndsTheRunWhenClicked) {
  MovieWindow& w = Open("TRUE");
  RECT before = ClientInScreen(w.EndButton());
  for (int i = 0; i < 30; ++i) w.OnEndButtonTimer();
  EXPECT_FLOAT_EQ(w.EndButtonLeftTwips(), 840 + 30 * 5);
  RECT after = ClientInScreen(w.EndButton());
  EXPECT_GT(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  // The mouse does not end an interactive run.
  for (int i = 0; i < 6; ++i) {
    SetCursorPos(10 * i, 10 * i);
    Pump(20);
  }
  ASSERT_TRUE(w.IsOpen());
  SendMessageW(w.EndButton(), BM_CLICK, 0, 0);
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(MovieWindowTest, InteractiveRunDeliversTheMouseToTheMoviesButtons) {
  const char* movie = ORRIVEL_CORPUS_DIR "/ruffle/from_shumway/button3/test.swf";
  ASSERT_NE(GetFileAttributesA(movie), INVALID_FILE_ATTRIBUTES) << "no corpus at " << movie;
  MovieWindow& w = Open("TRUE", movie);
  ASSERT_EQ(w.Player().FrameNum(), 0);
  RECT client{};
  GetClientRect(w.Player().hwnd(), &client);
  // Where the stage's (250, 200) lies in the control, which shows all of the stage.
  const swf::StageFit fit = swf::FitShowAll({0, 11000, 0, 8000}, client.right, client.bottom);
  const LPARAM at = MAKELPARAM(static_cast<int>(fit.left + 250 * fit.scale),
                               static_cast<int>(fit.top + 200 * fit.scale));
  Pump(200);
  const uint64_t still = w.Player().FramesRendered();
  // Input reaches the player on its worker thread, in order.
  SendMessageW(w.Player().hwnd(), WM_MOUSEMOVE, 0, at);
  EXPECT_TRUE(PumpUntil([&] { return w.Player().FramesRendered() >= still + 1; }, 2000));
  Pump(50);
  EXPECT_EQ(w.Player().FramesRendered(), still + 1) << "the button shows its over state";
  SendMessageW(w.Player().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(w.Player().hwnd(), WM_LBUTTONUP, 0, at);
  EXPECT_TRUE(PumpUntil([&] { return w.Player().FramesRendered() >= still + 2; }, 2000))
      << "and its down state";
  EXPECT_TRUE(w.IsOpen()) << "the movie's input does not end the run";
}

TEST_F(MovieWindowTest, UserMoviePlaysAndAStillFrameCostsNoRender) {
  const std::wstring path = app.folder().Sub(L"still.swf");
  WriteFile(path, StillMovie());
  MovieWindow& w = Open("FALSE", win32::WideToUtf8(path));
  EXPECT_EQ(w.Player().FrameNum(), 0);
  Pump(500);  // 24 fps: about a dozen frames
  EXPECT_EQ(w.Player().FramesRendered(), 1u);
  EXPECT_GE(w.Player().FramesUnchanged(), 5u);
  // What is on screen is the stage colour (show all: the stage is centred).
  RECT r = ClientInScreen(w.Player().hwnd());
  HDC screen = GetDC(nullptr);
  COLORREF centre = GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(centre, RGB(0, 0, 255));
  EXPECT_TRUE(app.messages.shown.empty());
}

TEST_F(MovieWindowTest, PlaysAtTheMoviesFrameRateRedrawingLittle) {
  MovieWindow& w = Open("FALSE", ORRIVEL_SOURCE_DIR "/resources/default_movie.swf");
  ASSERT_EQ(w.Player().FrameNum(), 0);
  Pump(300);
  const uint64_t frames0 = w.Player().FramesRendered() + w.Player().FramesUnchanged();
  const uint64_t pixels0 = w.Player().PixelsRendered();
  const DWORD start = GetTickCount();
  Pump(2000);
  const double seconds = (GetTickCount() - start) / 1000.0;
  const double fps =
      (w.Player().FramesRendered() + w.Player().FramesUnchanged() - frames0) / seconds;
  EXPECT_NEAR(fps, 18, 3) << "the built-in movie runs at 18 frames a second";
  RECT r{};
  GetClientRect(w.Player().hwnd(), &r);
  const double share = (w.Player().PixelsRendered() - pixels0) / (fps * seconds) /
                       (static_cast<double>(r.right) * r.bottom);
  EXPECT_LT(share, 0.15) << "each frame redraws only the little that moved";
}

TEST_F(MovieWindowTest, MovieThatDoesNotLoadFallsBackAndRewritesTheSettings) {
  const std::wstring damaged = app.folder().Sub(L"damaged.swf");
  WriteFile(damaged, {'F', 'W', 'S', 6, 1, 2});
  for (const std::string& movie : {win32::WideToUtf8(damaged),
                                   app.folder().utf8() + "\\missing.swf", std::string("default")}) {
    SCOPED_TRACE(movie);
    WriteFile(app.SettingsFile(), {'P', 'I', 'C', 'S', ' ', '=', ' ', 'a', ';'});
    app->Store().settings().MovieOrPic = "PIC";
    MovieWindow& w = Open("FALSE", movie);
    EXPECT_EQ(ReadText(app.SettingsFile()), "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
    EXPECT_EQ(app->Settings().MovieFile, "DEFAULT");
    EXPECT_EQ(app->Settings().MovieOrPic, "MOVIE");
    EXPECT_TRUE(app.messages.shown.empty());
    w.Close();
  }
}

TEST_F(MovieWindowTest, FallBackThatCannotWriteReportsNumberTwoSpacesDescription) {
  // A settings "file" that is a folder cannot be replaced.
  CreateDirectoryW(app.SettingsFile().c_str(), nullptr);
  app->Store().settings().Quality = "LOW";
  Open("FALSE", app.folder().utf8() + "\\missing.swf");
  ASSERT_EQ(app.messages.shown.size(), 1u);
  const std::string& text = app.messages.shown[0];
  const size_t digits = text.find_first_not_of("0123456789");
  ASSERT_GT(digits, 0u);
  EXPECT_EQ(text.substr(digits, 2), "  ") << text;
  EXPECT_NE(text[digits + 2], ' ') << text;
  EXPECT_EQ(app->Settings().MovieFile, "DEFAULT") << "the built-in movie plays on";
  RemoveDirectoryW(app.SettingsFile().c_str());
}

TEST_F(MovieWindowTest, PreviewEndsWhenItsHostGoesAway) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OrrivelTestHost";
  RegisterClassW(&wc);
  HWND host = CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112,
                              nullptr, nullptr, wc.hInstance, nullptr);
  testing::TestApp preview(
      "/p " + std::to_string(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host))),
      L"preview");
  WriteFile(preview.SettingsFile(),
            {'M', 'O', 'V', 'I', 'E', 'O', 'R', 'P', 'I', 'C', '=', 'M', 'O', 'V', 'I', 'E'});
  preview->Main();
  MovieWindow* w = preview->Movie();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Title(), L"preview");
  EXPECT_EQ(GetParent(w->hwnd()), host);
  EXPECT_EQ(w->RunKind(), MovieRunKind::Preview);
  Pump(100);
  EXPECT_TRUE(preview->AnyWindowOpen());
  DestroyWindow(host);
  EXPECT_TRUE(PumpUntil([&] { return !preview->AnyWindowOpen(); }, 1000));
}

}  // namespace
}  // namespace orrivel
