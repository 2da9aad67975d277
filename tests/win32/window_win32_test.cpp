// The window base class, text conversion and error texts.
#include <gtest/gtest.h>

#include "../startup/win32_test_support.h"
#include "win32/error_text_win32.h"
#include "win32/text_win32.h"

namespace orrivel::win32 {
namespace {

using orrivel::testing::PlainWindow;
using orrivel::testing::Pump;

TEST(WindowTest, OnDestroyRunsOnceHoweverTheWindowGoes) {
  PlainWindow closed;
  PlainWindow fromOutside;
  ASSERT_TRUE(closed.Open());
  ASSERT_TRUE(fromOutside.Open());
  closed.Close();
  closed.Close();  // again: nothing happens
  DestroyWindow(fromOutside.hwnd());
  for (PlainWindow* w : {&closed, &fromOutside}) {
    EXPECT_FALSE(w->IsOpen());
    EXPECT_EQ(w->closes, 1);
  }
  Pump(10);
}

TEST(WindowTest, Title) {
  PlainWindow window;
  ASSERT_TRUE(window.Open(L"frmSS"));
  EXPECT_EQ(window.Title(), L"frmSS");
  window.SetTitle(L"Tavrenn");
  EXPECT_EQ(window.Title(), L"Tavrenn");
  EXPECT_EQ(FindWindowW(nullptr, L"Tavrenn"), window.hwnd());
  window.Close();
  Pump(10);
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
  } cases[] = {{ERROR_FILE_NOT_FOUND, 53},    {ERROR_ACCESS_DENIED, 75},
               {ERROR_SHARING_VIOLATION, 75}, {ERROR_NOT_READY, 71},
               {ERROR_PATH_NOT_FOUND, 76},    {ERROR_DISK_FULL, 61}};
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
