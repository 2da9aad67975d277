// Preview embedding into a real host window, the keyboard hook and the
// earlier-instance check.
#include <gtest/gtest.h>

#include "startup/run_control_win32.h"
#include "win32_test_support.h"

namespace orrivel {
namespace {

using testing::PlainWindow;
using testing::Pump;
using testing::PumpUntil;

// A visible top-level window standing in for the host's preview window.
class HostWindow {
 public:
  HostWindow(int x, int y, int w, int h) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrrivelTestPreviewHost";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, x, y, w, h,
                            nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~HostWindow() { Destroy(); }
  HWND get() const { return hwnd_; }
  void Destroy() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }

 private:
  HWND hwnd_ = nullptr;
};

TEST(PreviewTest, BecomesAVisibleChildAtTheHostsOriginAndSizeAndGoesWithIt) {
  HostWindow host(100, 200, 152, 112);
  ASSERT_NE(host.get(), nullptr);
  PlainWindow window;
  ASSERT_TRUE(window.Open());
  HWND before = GetForegroundWindow();
  EmbedInPreview(window, host.get());
  HWND hwnd = window.hwnd();
  EXPECT_EQ(GetParent(hwnd), host.get());
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(HWND_DESKTOP, host.get(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right - rect.left, 152);
  EXPECT_EQ(rect.bottom - rect.top, 112);
  EXPECT_EQ(GetForegroundWindow(), before) << "not activated";
  // The system destroys it with its host; its handler still runs once.
  host.Destroy();
  Pump(20);
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(window.closes, 1);
}

TEST(PreviewTest, HandleThatIsNotAWindowLeavesItInvisibleAtSizeZero) {
  PlainWindow window;
  ASSERT_TRUE(window.Open());
  EmbedInPreview(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  RECT rect{};
  GetWindowRect(window.hwnd(), &rect);
  EXPECT_EQ(rect.right - rect.left, 0);
}

TEST(KeyboardHookTest, RealKeyCallsTheHandlerBeforeTheWindowSeesIt) {
  PlainWindow window;
  ASSERT_TRUE(window.Open());
  ShowWindow(window.hwnd(), SW_SHOW);
  SetForegroundWindow(window.hwnd());
  SetFocus(window.hwnd());
  Pump(100);
  KeyboardHook hook;
  int calls = 0;
  ASSERT_TRUE(hook.Install([&] {
    ++calls;
    window.Close();
  }));
  EXPECT_EQ(KeyboardHook::Proc(-1, 'A', 0), 0) << "a negative code is passed on";
  EXPECT_EQ(calls, 0);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_SHIFT;  // a modifier alone ends it too
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
  bool ended = PumpUntil([&] { return !window.IsOpen(); }, 1000);
  hook.Remove();
  EXPECT_FALSE(hook.Installed());
  if (!ended && GetFocus() != window.hwnd()) {
    GTEST_SKIP() << "the window did not get the keyboard focus on this display";
  }
  EXPECT_TRUE(ended);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(window.closes, 1);
}

TEST(CheckPrevInstanceTest, EndsOnlyWithAnEarlierInstanceAndATavrennWindow) {
  PlainWindow saver;
  ASSERT_TRUE(saver.Open(L"Tavrenn"));
  const InstanceGuard first;
  const InstanceGuard second;
  ASSERT_TRUE(second.PrevInstance());
  saver.SetTitle(L"preview");
  second.CheckPrevInstance();  // an earlier instance, but only a preview: goes on
  saver.SetTitle(L"Tavrenn");
  EXPECT_EXIT(second.CheckPrevInstance(), ::testing::ExitedWithCode(0), "");
  saver.Close();
}

}  // namespace
}  // namespace orrivel
