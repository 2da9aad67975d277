#include "moviesaver/movie_window_win32.h"

#include <cmath>

#include "startup/app_win32.h"
#include "win32/dpi_win32.h"
#include "win32/monitors_win32.h"

namespace orrivel {
namespace {

constexpr UINT_PTR kMouseTimer = 1;      // the plain run's mouse watch
constexpr UINT_PTR kEndButtonTimer = 2;  // the interactive run's sliding button
constexpr UINT kWatchMs = 5;             // the system may tick less often
constexpr UINT_PTR kPlayerId = 100;
constexpr UINT_PTR kEndButtonId = 101;

}  // namespace

MovieWindow::MovieWindow(App& app) : app_(app) {}

MovieWindow::~MovieWindow() = default;

bool MovieWindow::Load() {
  if (IsOpen()) return true;
  kind_ = MovieRunKindFor(app_.PreviewMode(), app_.Settings().Interactive);
  mouseWatch_ = MouseWatch();
  buttonLeft_ = kEndButtonLeft;
  buttonTop_ = kEndButtonTop;
  CreateArgs args;
  args.className = kMovieWindowClass;
  args.title = L"frmSS";
  args.style = WS_POPUP | WS_CLIPCHILDREN;
  args.exStyle = WS_EX_TOOLWINDOW;
  args.rect = win32::PrimaryMonitorRect();
  args.background = GetSysColorBrush(COLOR_BTNFACE);
  if (!Create(args)) return false;
  player_.Create(hwnd(), kPlayerId);
  endButton_ = CreateWindowExW(
      0, L"BUTTON", L"End Screen Saver", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1, hwnd(),
      reinterpret_cast<HMENU>(kEndButtonId), GetModuleHandleW(nullptr), nullptr);
  if (endButton_ != nullptr) {
    SendMessageW(endButton_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  }
  PlaceEndButton();
  SetTimer(hwnd(), kMouseTimer, kWatchMs, nullptr);
  OnLoad();
  return true;
}

void MovieWindow::OnLoad() {
  if (kind_ == MovieRunKind::Preview) return;
  if (kind_ == MovieRunKind::Plain) {
    // Without the hook, keys still end the run through the window's own
    // key messages (OnKey).
    hook_.Install([this] { app_.EndSaver(); });
    return;
  }
  // Interactive: the button moves, the mouse no longer ends the run, and
  // keys reach the movie.
  SetTimer(hwnd(), kEndButtonTimer, kWatchMs, nullptr);
  KillTimer(hwnd(), kMouseTimer);
  player_.SetInputEnabled(true);
}

void MovieWindow::Show() {
  if (!IsOpen()) return;
  const RECT screen = win32::PrimaryMonitorRect();
  SetWindowPos(hwnd(), HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
               screen.bottom - screen.top, SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd());
  SetFocus(kind_ == MovieRunKind::Interactive ? player_.hwnd() : hwnd());
  // The watches end the run for the covers too: the hook is thread-wide
  // and the mouse watch polls the cursor.
  win32::CoverOtherMonitors(kMovieCoverClass, hwnd(), {}, covers_);
}

float MovieWindow::TwipsPerPixel() const { return win32::TwipsPerPixel(hwnd()); }

std::string MovieWindow::BuiltInMovie() {
  return app_.TempFiles().ResourceToTempFile(kDefaultMovieId, kDefaultMovieType);
}

void MovieWindow::FormatMovie() {
  if (!IsOpen()) return;
  if (kind_ == MovieRunKind::Plain && !cursorHidden_) {
    ShowCursor(FALSE);
    cursorHidden_ = true;
  }
  const double tpp = TwipsPerPixel();
  RECT client{};
  GetClientRect(hwnd(), &client);
  const MovieLayout layout = LayoutMovie(kind_, static_cast<float>(client.right * tpp),
                                         static_cast<float>(client.bottom * tpp));
  player_.SetBoundsTwips(layout.playerLeft, layout.playerTop, layout.playerWidth,
                         layout.playerHeight);
  if (layout.buttonVisible) {
    buttonTop_ = player_.TopTwips() + player_.HeightTwips() + kEndButtonGap;
    PlaceEndButton();
    ShowWindow(endButton_, SW_SHOWNA);
  }

  // Sound in full-screen runs only: the host's small preview stays silent.
  player_.SetSoundEnabled(kind_ != MovieRunKind::Preview);
  const SaverSettingsRecord& settings = app_.Settings();
  if (settings.MovieFile == "DEFAULT") {
    player_.SetMovie(BuiltInMovie());
  } else {
    player_.SetMovie(settings.MovieFile);
    if (player_.FrameNum() == -1) {
      // The chosen movie does not load: the built-in one plays, now and in
      // later runs.
      player_.SetMovie(BuiltInMovie());
      if (!app_.Store().WriteSettings("", "", "", true, "", "", "", "")) {
        app_.ShowError(ErrorMessageText(app_.Store().LastWriteError(), 2));
        return;
      }
    }
  }
  if (app_.Settings().Quality == "LOW") player_.SetQuality2("Low");
}

void MovieWindow::PlaceEndButton() {
  if (endButton_ == nullptr) return;
  const double tpp = TwipsPerPixel();
  auto px = [tpp](float twips) { return static_cast<int>(std::lround(twips / tpp)); };
  SetWindowPos(endButton_, nullptr, px(buttonLeft_), px(buttonTop_), px(kEndButtonWidth),
               px(kEndButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

void MovieWindow::OnMouseTimer() {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return;
  if (mouseWatch_.OnTick(kind_ == MovieRunKind::Preview, cursor.x, cursor.y)) app_.EndSaver();
}

void MovieWindow::OnEndButtonTimer() {
  RECT client{};
  GetClientRect(hwnd(), &client);
  buttonLeft_ = SlideEndButton(buttonLeft_, static_cast<float>(client.right * TwipsPerPixel()));
  PlaceEndButton();
}

void MovieWindow::OnTimer(UINT_PTR id) {
  if (id == kMouseTimer) OnMouseTimer();
  if (id == kEndButtonTimer) OnEndButtonTimer();
}

void MovieWindow::OnCommand(UINT id, UINT code, HWND) {
  if (id == kEndButtonId && code == BN_CLICKED) app_.EndSaver();
}

void MovieWindow::OnKey(UINT msg, UINT, LPARAM) {
  // Reached only when the hook is missing in a plain run.
  if (kind_ == MovieRunKind::Plain && (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN)) {
    app_.EndSaver();
  }
}

bool MovieWindow::OnClose() {
  app_.EndSaver();
  return true;
}

LRESULT MovieWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ENDSESSION && wParam) {
    // The session ends: the process may be gone before the window is.
    ReleaseRunResources();
    return 0;
  }
  if (msg == WM_QUERYENDSESSION) return TRUE;
  return SaverWindow::OnMessage(msg, wParam, lParam);
}

void MovieWindow::ReleaseRunResources() {
  app_.TempFiles().DeleteTempFiles();
  hook_.Remove();
}

void MovieWindow::OnUnload() {
  KillTimer(hwnd(), kMouseTimer);
  KillTimer(hwnd(), kEndButtonTimer);
  ReleaseRunResources();
  // Shown again only if this window hid it, so the count stays balanced.
  if (cursorHidden_) ShowCursor(TRUE);
  cursorHidden_ = false;
  covers_.clear();
  endButton_ = nullptr;
}

}  // namespace orrivel
