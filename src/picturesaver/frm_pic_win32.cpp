#include "picturesaver/frm_pic_win32.h"

#include <cmath>
#include <string>
#include <vector>

#include "picturesaver/picture_win32.h"
#include "picturesaver/slideshow.h"
#include "startup/mod_main.h"
#include "win32/dpi_win32.h"
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

RECT PrimaryMonitorRect() {
  HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) return info.rcMonitor;
  return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool RegisterChildClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance, name, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0;
}

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

struct frmPic::State {
  explicit State(bool preview) : watch(preview) {}
  InputWatch watch;
  int16_t pictureIndex = 0;
  ClockRandom random;
  PictureBox box = kDesignBox;
  std::unique_ptr<Picture> picture = Picture::Transparent(kDesignPicturePixels);
  HWND image = nullptr;  // imgPics
  std::vector<HWND> covers;
  unsigned interval = 2000;  // design value, replaced by Form_Load
  bool cursorHidden = false;
  bool stepping = false;
};

frmPic& frmPic::Instance() {
  static frmPic instance;
  return instance;
}

frmPic::~frmPic() = default;

void frmPic::Load() {
  if (IsLoaded()) return;
  state_ = std::make_unique<State>(PreviewMode);
  RECT screen = PrimaryMonitorRect();
  if (!CreateFormWindow(kPicWindowClass, WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW, L"Orrivel",
                        screen.left, screen.top, screen.right - screen.left,
                        screen.bottom - screen.top, nullptr, GetSysColorBrush(kMenuTextColorIndex))) {
    return;
  }
  if (RegisterChildClass(kPicImageClass, &frmPic::ImageProc, nullptr)) {
    state_->image = CreateWindowExW(0, kPicImageClass, L"imgPics", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1,
                                    hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (state_->image != nullptr) {
      SetWindowLongPtrW(state_->image, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
  }
  PlaceImage();
  Form_Load();
}

void frmPic::Form_Load() {
  if (!PreviewMode) {
    ShowCursor(FALSE);
    state_->cursorHidden = true;
  }
  // A display time that is not a usable number (possible only after a failed
  // settings read) runs the slideshow at 5 seconds; one beyond the timer's
  // range at its longest interval.
  state_->interval = IntervalFromSpeed(SaverSettings.Speed).milliseconds;
  if (state_->interval > 0) SetTimer(hwnd(), kRotateTimerId, state_->interval, nullptr);
  tmrRotate_Timer();
}

void frmPic::Show() {
  if (!IsLoaded()) return;
  RECT screen = PrimaryMonitorRect();
  SetWindowPos(hwnd(), HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
               screen.bottom - screen.top, SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd());
  SetFocus(hwnd());
  CoverOtherMonitors();
}

void frmPic::CoverOtherMonitors() {
  if (!state_->covers.empty() || !RegisterChildClass(kPicCoverClass, &frmPic::CoverProc,
                                                     static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)))) {
    return;
  }
  RECT primary = PrimaryMonitorRect();
  std::vector<RECT> others;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
        MONITORINFO info{};
  info.cbSize = sizeof(info);
        if (GetMonitorInfoW(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY)) {
          reinterpret_cast<std::vector<RECT>*>(data)->push_back(info.rcMonitor);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&others));
  for (const RECT& r : others) {
    if (EqualRect(&r, &primary)) continue;
    HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPicCoverClass, L"", WS_POPUP,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (cover == nullptr) continue;
    SetWindowLongPtrW(cover, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(cover, SW_SHOWNOACTIVATE);
    state_->covers.push_back(cover);
  }
}

void frmPic::tmrRotate_Timer() {
  // A tick that arrives through the event pump of a running step waits for
  // the next interval instead of nesting a second step.
  if (!IsLoaded() || state_->stepping) return;
  State* state = state_.get();
  state->stepping = true;
  Step();
  state->stepping = false;
}

// Any failure ends the step where it happens; the position already moved on,
// so the failing entry is skipped at the next tick.
void frmPic::Step() {
  SetStretchOff();
  const int count = static_cast<int>(std::min<size_t>(PictureList.size(), kMaxSlides));
  auto entry = ChooseNextSlide(state_->pictureIndex, count,
                               SlideOrderFromSetting(SaverSettings.Random), state_->random);
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
    return SIZE{std::max(1L, std::lround(box.width / tpp)), std::max(1L, std::lround(box.height / tpp))};
  };
  PictureLoadResult loaded = LoadPictureFile(win32::Utf8ToWide(PictureList[*entry]), targetFor);
  if (!loaded.picture) {
    if (loaded.error.number == kErrFileNotFound && PictureList.size() < 2) {
      // The only picture is gone: fall back to the built-in movie.
      WriteSettings("", "", "", true, "", "", "", "");
      Main();
    }
    return;
  }
  state_->picture = std::move(loaded.picture);
  SetStretchOff();
  FormatPicture();
}

void frmPic::SetStretchOff() {
  const float tpp = TwipsPerPixel();
  state_->box.stretch = false;
  state_->box.width = state_->picture->NaturalWidthTwips(tpp);
  state_->box.height = state_->picture->NaturalHeightTwips(tpp);
  PlaceImage();
}

void frmPic::FormatPicture() {
  if (!IsLoaded()) return;
  SetPictureVisible(false);
  PumpPendingEvents();
  // An input handler run by the pump may have ended the saver.
  if (!IsLoaded()) return;
  const double tpp = TwipsPerPixel();
  RECT client{};
  GetClientRect(hwnd(), &client);
  PictureBox box = state_->box;
  if (!FitPicture(box, static_cast<float>(client.right * tpp), static_cast<float>(client.bottom * tpp))) {
    return;  // a window without size: the picture stays hidden
  }
  state_->box = box;
  PlaceImage();
  SetPictureVisible(true);
}

void frmPic::PlaceImage() {
  if (!IsLoaded() || state_->image == nullptr) return;
  const double tpp = TwipsPerPixel();
  const PictureBox& b = state_->box;
  auto px = [tpp](float twips) {
    double v = std::nearbyint(twips / tpp);
    return static_cast<int>(std::clamp(v, -1.0e7, 1.0e7));
  };
  // Repainted, so the background the control uncovers is drawn again.
  MoveWindow(state_->image, px(b.left), px(b.top), px(b.width), px(b.height), TRUE);
  InvalidateRect(state_->image, nullptr, TRUE);
}

void frmPic::SetPictureVisible(bool visible) {
  if (!IsLoaded() || state_->image == nullptr) return;
  ShowWindow(state_->image, visible ? SW_SHOWNA : SW_HIDE);
}

float frmPic::TwipsPerPixel() const { return win32::TwipsPerPixel(hwnd()); }

void frmPic::Form_KeyPress() {
  if (IsLoaded() && state_->watch.OnCharacterKey()) EndSaver();
}

void frmPic::Form_MouseMove() {
  if (IsLoaded() && state_->watch.OnFormMouseMove()) EndSaver();
}

void frmPic::imgPics_MouseMove() {
  if (IsLoaded() && state_->watch.OnPictureMouseMove()) EndSaver();
}

LRESULT frmPic::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CHAR: Form_KeyPress(); return 0;
    case WM_MOUSEMOVE: Form_MouseMove(); return 0;
    case WM_TIMER:
      if (wParam == kRotateTimerId) tmrRotate_Timer();
      return 0;
    case WM_CLOSE: EndSaver(); return 0;
    default: return Form::HandleMessage(msg, wParam, lParam);
  }
}

void frmPic::OnUnload() {
  KillTimer(hwnd(), kRotateTimerId);
  for (HWND cover : state_->covers) DestroyWindow(cover);
  state_->covers.clear();
  // Shown again only if this window hid it, so the count stays balanced.
  if (state_->cursorHidden) ShowCursor(TRUE);
  state_->cursorHidden = false;
  state_->image = nullptr;  // destroyed with the form
}

LRESULT CALLBACK frmPic::ImageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<frmPic*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || !self->state_) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_MOUSEMOVE: self->imgPics_MouseMove(); return 0;
    case WM_CHAR: self->Form_KeyPress(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT client{};
      GetClientRect(hwnd, &client);
      FillRect(hdc, &client, GetSysColorBrush(kMenuTextColorIndex));
      if (self->state_->picture) self->state_->picture->Draw(hdc, client);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK frmPic::CoverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<frmPic*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_MOUSEMOVE: self->Form_MouseMove(); return 0;
    case WM_CHAR: self->Form_KeyPress(); return 0;
    case WM_CLOSE: EndSaver(); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

HWND frmPic::PictureWindow() const { return state_ ? state_->image : nullptr; }
PictureBox frmPic::PictureBoxTwips() const { return state_ ? state_->box : PictureBox{}; }
int frmPic::FormMoveCount() const { return state_ ? state_->watch.FormMoveCount() : 0; }
int frmPic::PictureMoveCount() const { return state_ ? state_->watch.PictureMoveCount() : 0; }
int frmPic::PictureIndex() const { return state_ ? state_->pictureIndex : 0; }
const Picture* frmPic::CurrentPicture() const { return state_ ? state_->picture.get() : nullptr; }
unsigned frmPic::TimerInterval() const { return state_ ? state_->interval : 0; }
size_t frmPic::CoverCount() const { return state_ ? state_->covers.size() : 0; }

}  // namespace orrivel
