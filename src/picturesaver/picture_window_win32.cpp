#include "picturesaver/picture_window_win32.h"

#include <cmath>
#include <string>
#include <vector>

#include "picturesaver/picture_win32.h"
#include "picturesaver/slideshow.h"
#include "startup/app_win32.h"
#include "win32/dpi_win32.h"
#include "win32/monitors_win32.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

constexpr UINT_PTR kRotateTimerId = 1;
constexpr int kMenuTextColorIndex = COLOR_MENUTEXT;  // system colour 7
// Design placement of imgPics, in twips, and its transparent design picture.
constexpr PictureBox kDesignBox{2160, 1800, 450, 195, false};
constexpr SIZE kDesignPicturePixels{30, 13};
// Bounds the event pump inside FormatPicture against a flood of input.
constexpr int kMaxPumpedMessages = 10000;

// Runs the events waiting for this thread once. A quit request is put back
// for the program's message loop.
void PumpPendingEvents() {
  MSG msg;
  for (int i = 0; i < kMaxPumpedMessages && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

// The picture itself: a child window so that moves over it are counted
// apart from moves over the background.
class PictureWindow::ImageView : public win32::Window {
 public:
  explicit ImageView(PictureWindow& owner) : owner_(owner) {
    CreateArgs args;
    args.className = kPicImageClass;
    args.title = L"imgPics";
    args.style = WS_CHILD | WS_VISIBLE;
    args.rect = {0, 0, 1, 1};
    args.parent = owner.hwnd();
    Create(args);
  }

 protected:
  void OnMouseMove(POINT, WPARAM) override { owner_.OnPictureMouseMove(); }
  void OnChar(wchar_t) override { owner_.OnCharacterKey(); }
  bool OnEraseBackground(HDC) override { return true; }
  void OnPaint(HDC hdc, const RECT&) override {
    RECT client{};
    GetClientRect(hwnd(), &client);
    FillRect(hdc, &client, GetSysColorBrush(kMenuTextColorIndex));
    if (owner_.picture_) owner_.picture_->Draw(hdc, client);
  }

 private:
  PictureWindow& owner_;
};

PictureWindow::PictureWindow(App& app) : app_(app), watch_(false) {}

PictureWindow::~PictureWindow() = default;

bool PictureWindow::Load() {
  if (IsOpen()) return true;
  watch_ = InputWatch(app_.PreviewMode());
  pictureIndex_ = 0;
  box_ = kDesignBox;
  picture_ = Picture::Transparent(kDesignPicturePixels);
  interval_ = 2000;
  fellBack_ = false;
  RECT screen = win32::PrimaryMonitorRect();
  CreateArgs args;
  args.className = kPicWindowClass;
  args.title = L"Orrivel";
  args.style = WS_POPUP | WS_CLIPCHILDREN;
  args.exStyle = WS_EX_TOOLWINDOW;
  args.rect = screen;
  args.background = GetSysColorBrush(kMenuTextColorIndex);
  if (!Create(args)) return false;
  image_ = std::make_unique<ImageView>(*this);
  PlaceImage();
  OnLoad();
  return true;
}

void PictureWindow::OnLoad() {
  if (!app_.PreviewMode()) {
    ShowCursor(FALSE);
    cursorHidden_ = true;
  }
  // A display time that is not a usable number (possible only after a failed
  // settings read) runs the slideshow at 5 seconds; one beyond the timer's
  // range at its longest interval.
  interval_ = IntervalFromSpeed(app_.Settings().Speed).milliseconds;
  if (interval_ > 0) SetTimer(hwnd(), kRotateTimerId, interval_, nullptr);
  OnRotateTimer();
}

void PictureWindow::Show() {
  if (!IsOpen()) return;
  RECT screen = win32::PrimaryMonitorRect();
  SetWindowPos(hwnd(), HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
               screen.bottom - screen.top, SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd());
  SetFocus(hwnd());
  CoverOtherMonitors();
}

void PictureWindow::CoverOtherMonitors() {
  win32::CoverWindow::Input input;
  input.onMouseMove = [this] { OnWindowMouseMove(); };
  input.onCharacter = [this] { OnCharacterKey(); };
  input.onClose = [this] { app_.EndSaver(); };
  win32::CoverOtherMonitors(kPicCoverClass, hwnd(), input, covers_);
}

void PictureWindow::OnRotateTimer() {
  // A tick that arrives through the event pump of a running step waits for
  // the next interval instead of nesting a second step.
  if (!IsOpen() || stepping_ || fellBack_) return;
  stepping_ = true;
  Step();
  stepping_ = false;
}

// Any failure ends the step where it happens; the position already moved on,
// so the failing entry is skipped at the next tick.
void PictureWindow::Step() {
  SetStretchOff();
  const int count =
      static_cast<int>(std::min<size_t>(app_.Store().pictureList().size(), kMaxSlides));
  auto entry =
      ChooseNextSlide(pictureIndex_, count, SlideOrderFromSetting(app_.Settings().Random), random_);
  if (!entry) return;
  const float tpp = TwipsPerPixel();
  RECT client{};
  GetClientRect(hwnd(), &client);
  const float windowWidth = static_cast<float>(client.right * static_cast<double>(tpp));
  const float windowHeight = static_cast<float>(client.bottom * static_cast<double>(tpp));
  // The size the picture will be shown at, so a large one is reduced while
  // it is decoded.
  auto targetFor = [&](SIZE natural) {
    PictureBox box{0, 0, static_cast<float>(natural.cx * static_cast<double>(tpp)),
                   static_cast<float>(natural.cy * static_cast<double>(tpp)), false};
    if (!FitPicture(box, windowWidth, windowHeight)) return natural;
    return SIZE{std::max(1L, std::lround(box.width / tpp)),
                std::max(1L, std::lround(box.height / tpp))};
  };
  PictureLoadResult loaded =
      LoadPictureFile(win32::Utf8ToWide(app_.Store().pictureList()[*entry]), targetFor);
  if (!loaded.picture) {
    if (loaded.error.number == kErrFileNotFound && app_.Store().pictureList().size() < 2) {
      // The only picture is gone: fall back to the built-in movie, which
      // opens over this window once this tick is over. This window steps
      // no more: each further step would only fall back again.
      app_.Store().WriteSettings("", "", "", true, "", "", "", "");
      fellBack_ = true;
      KillTimer(hwnd(), kRotateTimerId);
      app_.RestartWithBuiltInMovie();
    }
    return;
  }
  picture_ = std::move(loaded.picture);
  SetStretchOff();
  FormatPicture();
}

void PictureWindow::SetStretchOff() {
  const float tpp = TwipsPerPixel();
  box_.stretch = false;
  box_.width = picture_->NaturalWidthTwips(tpp);
  box_.height = picture_->NaturalHeightTwips(tpp);
  PlaceImage();
}

void PictureWindow::FormatPicture() {
  if (!IsOpen()) return;
  SetPictureVisible(false);
  PumpPendingEvents();
  // An input handler run by the pump may have ended the saver.
  if (!IsOpen()) return;
  const double tpp = TwipsPerPixel();
  RECT client{};
  GetClientRect(hwnd(), &client);
  PictureBox box = box_;
  if (!FitPicture(box, static_cast<float>(client.right * tpp),
                  static_cast<float>(client.bottom * tpp))) {
    return;  // a window without size: the picture stays hidden
  }
  box_ = box;
  PlaceImage();
  SetPictureVisible(true);
}

void PictureWindow::PlaceImage() {
  if (!IsOpen() || !image_ || !image_->IsOpen()) return;
  const double tpp = TwipsPerPixel();
  const PictureBox& b = box_;
  auto px = [tpp](float twips) {
    double v = std::nearbyint(twips / tpp);
    return static_cast<int>(std::clamp(v, -1.0e7, 1.0e7));
  };
  // Repainted, so the background the control uncovers is drawn again.
  MoveWindow(image_->hwnd(), px(b.left), px(b.top), px(b.width), px(b.height), TRUE);
  InvalidateRect(image_->hwnd(), nullptr, TRUE);
}

void PictureWindow::SetPictureVisible(bool visible) {
  if (!IsOpen() || !image_ || !image_->IsOpen()) return;
  ShowWindow(image_->hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

float PictureWindow::TwipsPerPixel() const { return win32::TwipsPerPixel(hwnd()); }

void PictureWindow::OnCharacterKey() {
  if (IsOpen() && watch_.OnCharacterKey()) app_.EndSaver();
}

void PictureWindow::OnWindowMouseMove() {
  if (IsOpen() && watch_.OnFormMouseMove()) app_.EndSaver();
}

void PictureWindow::OnPictureMouseMove() {
  if (IsOpen() && watch_.OnPictureMouseMove()) app_.EndSaver();
}

void PictureWindow::OnTimer(UINT_PTR id) {
  if (id == kRotateTimerId) OnRotateTimer();
}

void PictureWindow::OnMouseMove(POINT, WPARAM) { OnWindowMouseMove(); }

void PictureWindow::OnChar(wchar_t) { OnCharacterKey(); }

bool PictureWindow::OnClose() {
  app_.EndSaver();
  return true;
}

void PictureWindow::OnUnload() {
  KillTimer(hwnd(), kRotateTimerId);
  covers_.clear();
  // Shown again only if this window hid it, so the count stays balanced.
  if (cursorHidden_) ShowCursor(TRUE);
  cursorHidden_ = false;
}

HWND PictureWindow::PictureHwnd() const { return image_ ? image_->hwnd() : nullptr; }

PictureBox PictureWindow::PictureBoxTwips() const { return box_; }

}  // namespace orrivel
