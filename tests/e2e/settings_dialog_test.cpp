// End-to-end runs of the settings dialog: Orrivel.scr /c at 96 and 144 DPI,
// both layouts measured against the control table, switched with a real
// click, and closed with "&Cancel". Screenshots of each layout go to the
// test's output folder (screenshots/).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "saver_fixture.h"

namespace orrivel::e2e {
namespace {

constexpr char kTitle[] = "Orrivel Settings";

// Where a control of the table stands on the form, in twips.
struct Expected {
  const char* title;
  int left, top;
};

class SettingsDialogE2eTest : public SaverTest, public ::testing::WithParamInterface<int> {
 protected:
  void TearDown() override { SetDpi(96); }
  void SetDpi(int dpi) {
    Capture("timeout 60 wine reg add 'HKCU\\Control Panel\\Desktop' /v LogPixels /t REG_DWORD /d " +
            std::to_string(dpi) + " /f");
  }
  int Px(int twips) const { return static_cast<int>(std::lround(twips * GetParam() / 1440.0)); }
  std::optional<WinInfo> Child(const std::vector<WinInfo>& all, const std::string& title) {
    for (const WinInfo& w : all)
      if (!w.topLevel && w.visible && w.title == title) return w;
    return std::nullopt;
  }
  // Every control stands at its twips from the form's client origin, which
  // the first option button (at 120, 0) gives.
  void ExpectPlaces(const std::vector<Expected>& expected) {
    const std::vector<WinInfo> all = Windows();
    const auto origin = Child(all, "Flash Screen Saver");
    ASSERT_TRUE(origin);
    const int x0 = origin->left - Px(120), y0 = origin->top;
    for (const Expected& e : expected) {
      const auto w = Child(all, e.title);
      ASSERT_TRUE(w) << e.title;
      EXPECT_NEAR(w->left - x0, Px(e.left), 1) << e.title;
      EXPECT_NEAR(w->top - y0, Px(e.top), 1) << e.title;
    }
  }
  void SaveShot(const WinInfo& form, const std::string& name) {
    auto shot = TakeScreenshot();
    ASSERT_TRUE(shot);
    std::filesystem::create_directories("screenshots");
    const int left = std::max(0, form.left), top = std::max(0, form.top);
    WriteBmp("screenshots/settings-" + name + "-" + std::to_string(GetParam()) + "dpi.bmp",
             std::min(form.width(), shot->width - left),
             std::min(form.height(), shot->height - top),
             [&](int x, int y) { return shot->At(left + x, top + y); });
  }
  void ClickOn(const std::string& title) {
    const auto w = Child(Windows(), title);
    ASSERT_TRUE(w) << title;
    MoveMouse((w->left + w->right) / 2, (w->top + w->bottom) / 2);
    Capture("timeout 10 xdotool click 1");
  }
};

TEST_P(SettingsDialogE2eTest, BothLayoutsStandWhereTheTableSays) {
  SetDpi(GetParam());
  WriteSettings(kDefaultSettings);
  Process saver = StartSaver({"/c"});
  auto form = WaitForTopWindow(kTitle);
  ASSERT_TRUE(form) << "no settings dialog";
  EXPECT_NEAR(form->width(), Px(5615), 1);
  EXPECT_NEAR(form->height(), Px(4090), 1);
  ExpectPlaces({{"Set Path", 170, 780},
                {"Default Movie", 2930, 2700},
                {"&Ok", 50, 3365},
                {"About", 2745, 3365},
                {"&Cancel", 4130, 3365}});
  SaveShot(*form, "movie");

  ClickOn("Picture Screen Saver");
  ASSERT_TRUE(PollUntil(
      [&] {
        form = WaitForTopWindow(kTitle, 5s);
        return form && std::abs(form->width() - Px(7415)) <= 1;
      },
      20s, 200ms))
      << "the picture layout did not open";
  EXPECT_NEAR(form->height(), Px(5530), 1);
  ExpectPlaces({{">", 4430, 1980},
                {"Image List", 5690, 420},
                {"&Ok", 50, 4805},
                {"About", 4545, 4805},
                {"&Cancel", 5930, 4805}});
  SaveShot(*form, "picture");

  ClickOn("&Cancel");
  EXPECT_TRUE(Ends(saver, 30s, kTitle));
  EXPECT_EQ(ReadSettings(), kDefaultSettings);
}

INSTANTIATE_TEST_SUITE_P(Dpi, SettingsDialogE2eTest, ::testing::Values(96, 144),
                         [](const auto& info) { return std::to_string(info.param); });

}  // namespace
}  // namespace orrivel::e2e
