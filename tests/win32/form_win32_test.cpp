// The window base class, twips, text conversion and error texts.
#include <gtest/gtest.h>

#include "../startup/win32_test_support.h"
#include "win32/dpi_win32.h"
#include "win32/error_text_win32.h"
#include "win32/text_win32.h"

namespace orrivel::win32 {
namespace {

using orrivel::testing::PlainForm;
using orrivel::testing::Pump;

TEST(FormTest, UnloadAllRunsEachUnloadHandlerOnceAndPostsQuit) {
  PlainForm a;
  PlainForm b;
  ASSERT_TRUE(a.Load());
  ASSERT_TRUE(b.Load());
  EXPECT_EQ(Form::LoadedForms().size(), 2u);
  Form::UnloadAll();
  EXPECT_TRUE(Form::LoadedForms().empty());
  EXPECT_EQ(a.unloads, 1);
  EXPECT_EQ(b.unloads, 1);
  a.Unload();  // again: nothing happens
  EXPECT_EQ(a.unloads, 1);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(FormTest, WindowDestroyedFromOutsideStillRunsItsUnloadHandler) {
  PlainForm form;
  ASSERT_TRUE(form.Load());
  DestroyWindow(form.hwnd());
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_EQ(form.unloads, 1);
  EXPECT_TRUE(Form::LoadedForms().empty());
  Pump(10);
}

TEST(FormTest, Caption) {
  PlainForm form;
  ASSERT_TRUE(form.Load(L"frmSS"));
  EXPECT_EQ(form.Caption(), L"frmSS");
  form.SetCaption(L"Tavrenn");
  EXPECT_EQ(form.Caption(), L"Tavrenn");
  EXPECT_EQ(FindWindowW(nullptr, L"Tavrenn"), form.hwnd());
  form.Unload();
  Pump(10);
}

TEST(DpiTest, TwipsPerPixelFollowsTheRealDpi) {
  UINT dpi = DpiOf(nullptr);
  ASSERT_GT(dpi, 0u);
  EXPECT_FLOAT_EQ(TwipsPerPixel(nullptr), 1440.0f / dpi);
  EXPECT_FLOAT_EQ(PixelsToTwips(152, nullptr), 152.0f * 1440.0f / dpi);
  EXPECT_EQ(TwipsToPixels(PixelsToTwips(113, nullptr), nullptr), 113);
}

TEST(TextTest, Utf8AndWideRoundTrip) {
  for (const char* text : {"", "plain", "Café", "Ταινίες", "映画", "😀"}) {
    EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
  }
  EXPECT_EQ(Utf8ToWide("Ω"), L"\u03A9");
}

TEST(ErrorTextTest, RuntimeNumbersWithTheSystemsDescription) {
  struct Case {
    DWORD code;
    int number;
  } cases[] = {{ERROR_FILE_NOT_FOUND, 53}, {ERROR_ACCESS_DENIED, 75},
               {ERROR_SHARING_VIOLATION, 75}, {ERROR_NOT_READY, 71},
               {ERROR_PATH_NOT_FOUND, 76}, {ERROR_DISK_FULL, 61}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ErrorInfo error = ErrorFromWin32(c.code);
    EXPECT_EQ(error.number, c.number);
    EXPECT_FALSE(error.description.empty());
    EXPECT_NE(error.description.back(), '\n');
  }
}

}  // namespace
}  // namespace orrivel::win32
