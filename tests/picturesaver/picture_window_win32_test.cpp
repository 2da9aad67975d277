#include "picturesaver/picture_window_win32.h"

#include <gtest/gtest.h>

#include "picture_files_win32.h"
#include "picturesaver/picture_win32.h"
#include "../startup/win32_test_support.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

using testing::PicturePath;

const auto* const kCom = ::testing::AddGlobalTestEnvironment(new testing::ComEnvironment);

std::string Utf8Path(const std::wstring& name) { return win32::WideToUtf8(PicturePath(name)); }

RECT ScreenRect() {
  HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(monitor, &info);
  return info.rcMonitor;
}

// Drops the quit request that unloading the last form leaves behind.
void DrainMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class PictureWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RECT screen = ScreenRect();
    // Sizes tell the pictures apart: A 40 x 30, C 60 x 20, big twice the screen.
    auto red = [](UINT, UINT) { return 0xFFFF0000u; };
    ASSERT_TRUE(testing::WritePicture(PicturePath(L"a.png"), GUID_ContainerFormatPng, 40, 30, red));
    ASSERT_TRUE(testing::WritePicture(PicturePath(L"c.bmp"), GUID_ContainerFormatBmp, 60, 20, red));
    ASSERT_TRUE(testing::WritePicture(PicturePath(L"big.jpg"), GUID_ContainerFormatJpeg,
                                      2 * (screen.right - screen.left),
                                      2 * (screen.bottom - screen.top), red));
  }
  void SetUp() override {
    DrainMessages();
    app->Store().settings().Random = std::string("SEQ");
    app->Store().settings().Speed = std::string("0");  // no ticks: the test makes the steps
  }
  void TearDown() override {
    app->EndSaver();
    DrainMessages();
  }
  testing::TestApp app;
  std::vector<std::string>& PictureList = app->Store().pictureList();
  SaverSettingsRecord& SaverSettings = app->Store().settings();
  PictureWindow& Window() { return app->PictureSaver(); }
  LONG NaturalWidth() {
    const Picture* p = Window().CurrentPicture();
    return p ? p->NaturalPixels().cx : -1;
  }
};

TEST_F(PictureWindowTest, ListOrderSkipsAMissingEntryAndGoesOn) {
  PictureList = {Utf8Path(L"a.png"), Utf8Path(L"missing.png"), Utf8Path(L"c.bmp")};
  Window().Load();  // first step: entry 1, missing
  ASSERT_TRUE(Window().IsOpen());
  EXPECT_EQ(Window().PictureIndex(), 1);
  EXPECT_EQ(NaturalWidth(), 30) << "the design picture stays";
  Window().OnRotateTimer();
  EXPECT_EQ(NaturalWidth(), 60);
  Window().OnRotateTimer();
  EXPECT_EQ(NaturalWidth(), 40);
  Window().OnRotateTimer();  // missing again: the previous picture stays, unscaled
  EXPECT_EQ(NaturalWidth(), 40);
  EXPECT_TRUE(Window().IsOpen());
}

TEST_F(PictureWindowTest, EmptyListKeepsTheWindowPlain) {
  Window().Load();
  Window().OnRotateTimer();
  EXPECT_TRUE(Window().IsOpen());
  EXPECT_EQ(NaturalWidth(), 30);
}

TEST_F(PictureWindowTest, WindowIsBorderlessFullScreenWithThePictureCentred) {
  PictureList = {Utf8Path(L"a.png")};
  SaverSettings.Speed = std::string("15");
  Window().Load();
  Window().Show();
  HWND hwnd = Window().hwnd();
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  EXPECT_STREQ(name, kPicWindowClass);
  GetWindowTextW(hwnd, name, 64);
  EXPECT_STREQ(name, L"Orrivel");
  LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  RECT r{}, screen = ScreenRect();
  GetWindowRect(hwnd, &r);
  EXPECT_TRUE(EqualRect(&r, &screen));
  EXPECT_EQ(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND),
            reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_MENUTEXT)));
  EXPECT_EQ(Window().TimerInterval(), 15000u);

  HWND image = Window().PictureHwnd();
  GetClassNameW(image, name, 64);
  EXPECT_STREQ(name, kPicImageClass);
  EXPECT_TRUE(IsWindowVisible(image));
  RECT ir{};
  GetWindowRect(image, &ir);
  EXPECT_EQ(ir.right - ir.left, 40);
  EXPECT_EQ(ir.bottom - ir.top, 30);
  EXPECT_NEAR(ir.left - screen.left, (screen.right - screen.left - 40) / 2, 1);
  EXPECT_NEAR(ir.top - screen.top, (screen.bottom - screen.top - 30) / 2, 1);
}

TEST_F(PictureWindowTest, LargePictureIsFittedAndKeptOnlyAtItsShownSize) {
  PictureList = {Utf8Path(L"big.jpg")};
  Window().Load();
  RECT screen = ScreenRect();
  PictureBox box = Window().PictureBoxTwips();
  EXPECT_TRUE(box.stretch);
  EXPECT_FLOAT_EQ(box.left, 0);
  EXPECT_FLOAT_EQ(box.top, 0);
  RECT ir{};
  GetWindowRect(Window().PictureHwnd(), &ir);
  EXPECT_EQ(ir.right - ir.left, screen.right - screen.left);
  EXPECT_EQ(ir.bottom - ir.top, screen.bottom - screen.top);
  EXPECT_EQ(Window().CurrentPicture()->Pixels().width, screen.right - screen.left);
}

TEST_F(PictureWindowTest, FifthMouseMoveOverEitherPartEndsTheSaver) {
  PictureList = {Utf8Path(L"a.png")};
  Window().Load();
  Window().Show();
  for (int i = 0; i < 4; ++i) {
    SendMessageW(Window().hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    SendMessageW(Window().PictureHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  }
  ASSERT_TRUE(Window().IsOpen());
  EXPECT_EQ(Window().FormMoveCount(), 4);
  EXPECT_EQ(Window().PictureMoveCount(), 4);
  SendMessageW(Window().PictureHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_FALSE(Window().IsOpen());
}

TEST_F(PictureWindowTest, OnlyCharacterKeysEndTheSaver) {
  PictureList = {Utf8Path(L"a.png")};
  Window().Load();
  Window().Show();
  for (WPARAM key : {WPARAM{VK_LEFT}, WPARAM{VK_F1}, WPARAM{VK_SHIFT}, WPARAM{VK_DOWN}}) {
    PostMessageW(Window().hwnd(), WM_KEYDOWN, key, 1);
    DrainMessages();
    ASSERT_TRUE(Window().IsOpen()) << "key " << key;
  }
  PostMessageW(Window().hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
  DrainMessages();
  EXPECT_FALSE(Window().IsOpen());
}

TEST_F(PictureWindowTest, PreviewIgnoresInput) {
  app->EnterPreviewMode();
  PictureList = {Utf8Path(L"a.png")};
  Window().Load();
  for (int i = 0; i < 10; ++i) SendMessageW(Window().hwnd(), WM_MOUSEMOVE, 0, 0);
  SendMessageW(Window().hwnd(), WM_CHAR, 'a', 1);
  EXPECT_TRUE(Window().IsOpen());
  EXPECT_EQ(Window().FormMoveCount(), 0);
}

TEST_F(PictureWindowTest, WindowWithoutSizeLeavesThePictureHidden) {
  PictureList = {Utf8Path(L"a.png")};
  Window().Load();
  SetWindowPos(Window().hwnd(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  Window().FormatPicture();
  EXPECT_TRUE(Window().IsOpen());
  EXPECT_FALSE(IsWindowVisible(Window().PictureHwnd()) ||
               (GetWindowLongW(Window().PictureHwnd(), GWL_STYLE) & WS_VISIBLE));
}

TEST_F(PictureWindowTest, InputHandledInsideTheFittingPumpEndsTheStepSafely) {
  PictureList = {Utf8Path(L"a.png"), Utf8Path(L"c.bmp")};
  Window().Load();
  PostMessageW(Window().hwnd(), WM_CHAR, 'x', 1);
  Window().OnRotateTimer();  // the pump in the fitting runs the key and unloads
  EXPECT_FALSE(Window().IsOpen());
  Window().OnRotateTimer();  // later calls from Main are harmless
  Window().FormatPicture();
  Window().SetPictureVisible(true);
}

}  // namespace
}  // namespace orrivel
