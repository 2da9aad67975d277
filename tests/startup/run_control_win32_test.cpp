// Preview embedding into a real host window, the keyboard hook's callback
// and the earlier-instance check.
#include <gtest/gtest.h>

#include "startup/preview_win32.h"
#include "startup/run_control_win32.h"
#include "win32_test_support.h"

namespace orrivel {
namespace {

using testing::PlainForm;
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

std::string HandleText(HWND hwnd) {
  return std::to_string(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)));
}

class PreviewTest : public ::testing::Test {
 protected:
  void TearDown() override {
    win32::Form::UnloadAll();
    Pump(50);
  }
};

TEST_F(PreviewTest, BecomesAVisibleChildAtTheHostsOriginAndSize) {
  HostWindow host(100, 200, 152, 112);
  ASSERT_NE(host.get(), nullptr);
  for (const char* separator : {" ", ":", "  "}) {
    SCOPED_TRACE(separator);
    PlainForm form;
    ASSERT_TRUE(form.Load());
    HWND before = GetForegroundWindow();
    SetArgumentText(std::string("/p") + separator + HandleText(host.get()));
    ASSERT_FALSE(EmbedInPreview(form).failed());
    HWND hwnd = form.hwnd();
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
    EXPECT_NE(GetForegroundWindow(), hwnd);
    EXPECT_EQ(GetForegroundWindow(), before);
    form.Unload();
  }
}

TEST_F(PreviewTest, BadNumbersFailByValueAndChangeNothing) {
  for (const char* text : {"/p 12ab", "/p", "/p ", "/p 99999999999"}) {
    SCOPED_TRACE(text);
    PlainForm form;
    ASSERT_TRUE(form.Load());
    SetArgumentText(text);
    ErrorInfo error = EmbedInPreview(form);
    EXPECT_TRUE(error.failed());
    EXPECT_FALSE(GetWindowLongPtrW(form.hwnd(), GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(IsWindowVisible(form.hwnd()));
  }
}

TEST_F(PreviewTest, HandleThatIsNotAWindowLeavesItInvisibleAndEndsTheRun) {
  PlainForm form;
  ASSERT_TRUE(form.Load());
  SetArgumentText("/p 0");
  EXPECT_FALSE(EmbedInPreview(form).failed());
  EXPECT_FALSE(IsWindowVisible(form.hwnd()));
  RECT rect{};
  GetWindowRect(form.hwnd(), &rect);
  EXPECT_EQ(rect.right - rect.left, 0);
  // With no host to draw in, the watch ends the run instead of leaving an
  // invisible process behind.
  EXPECT_TRUE(PumpUntil([&] { return !form.IsLoaded(); }, 1000));
  EXPECT_EQ(form.unloads, 1);
}

TEST_F(PreviewTest, RunEndsWithinASecondOfTheHostGoingAway) {
  HostWindow host(0, 0, 200, 150);
  PlainForm embedded;
  PlainForm other;  // a second window of the run: it goes too
  ASSERT_TRUE(embedded.Load());
  ASSERT_TRUE(other.Load());
  EmbedInPreviewWindow(embedded, host.get());
  Pump(300);
  EXPECT_TRUE(embedded.IsLoaded());
  DWORD start = GetTickCount();
  host.Destroy();
  DWORD destroyed = GetTickCount();
  EXPECT_TRUE(PumpUntil([&] { return !embedded.IsLoaded() && !other.IsLoaded(); }, 1000));
  EXPECT_LT(GetTickCount() - destroyed, 1000u) << "destroying took " << destroyed - start;
  // The embedded window's unload handler ran exactly once, although the
  // system destroyed it with its parent.
  EXPECT_EQ(embedded.unloads, 1);
  EXPECT_EQ(other.unloads, 1);
}

TEST(KeyboardHookTest, NegativeCodesPassOnAnyOtherUnloadsEverything) {
  PlainForm first;
  PlainForm second;
  ASSERT_TRUE(first.Load());
  ASSERT_TRUE(second.Load());
  ASSERT_NE(InstallKeyboardHook(), nullptr);
  KeyboardHookProc(-1, 'A', 0);
  EXPECT_TRUE(first.IsLoaded());
  EXPECT_TRUE(second.IsLoaded());
  EXPECT_EQ(KeyboardHookProc(HC_ACTION, VK_SHIFT, 0), 0);
  EXPECT_FALSE(first.IsLoaded());
  EXPECT_FALSE(second.IsLoaded());
  EXPECT_EQ(first.unloads, 1);
  UnhookWindowsHookEx(KeyboardHook);
  KeyboardHook = nullptr;
  Pump(20);
}

TEST(KeyboardHookTest, InstalledHookEndsTheRunOnARealKey) {
  PlainForm form;
  ASSERT_TRUE(form.Load());
  ShowWindow(form.hwnd(), SW_SHOW);
  SetForegroundWindow(form.hwnd());
  SetFocus(form.hwnd());
  Pump(100);
  ASSERT_NE(InstallKeyboardHook(), nullptr);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_SHIFT;  // a modifier alone ends it too
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
  bool ended = testing::PumpUntil([&] { return !form.IsLoaded(); }, 1000);
  UnhookWindowsHookEx(KeyboardHook);
  KeyboardHook = nullptr;
  if (!ended && GetFocus() != form.hwnd()) {
    GTEST_SKIP() << "the window did not get the keyboard focus on this display";
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(form.unloads, 1);
}

TEST(CheckPrevInstanceTest, EndsOnlyWithAnEarlierInstanceAndATavrennWindow) {
  // A first instance: nothing ends, even with a window titled "Tavrenn".
  PlainForm saver;
  ASSERT_TRUE(saver.Load(L"Tavrenn"));
  HANDLE earlier = CreateMutexW(nullptr, FALSE, L"Local\\Orrivel.Instance");
  NoteEarlierInstance();
  ASSERT_TRUE(PrevInstance());
  saver.SetCaption(L"preview");
  CheckPrevInstance();  // an earlier instance, but only a preview: goes on
  SUCCEED();
  saver.SetCaption(L"Tavrenn");
  EXPECT_EXIT(CheckPrevInstance(), ::testing::ExitedWithCode(0), "");
  saver.Unload();
  CloseHandle(earlier);
}

}  // namespace
}  // namespace orrivel
