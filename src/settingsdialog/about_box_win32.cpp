#include "settingsdialog/about_box_win32.h"

#include <commctrl.h>

#include <climits>

#include "swf/render/wic_image_decoder_win32.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

constexpr COLORREF kTextColor = RGB(192, 0, 0);
constexpr COLORREF kTextBackground = RGB(209, 221, 254);
constexpr int kClientWidth = 4575, kClientHeight = 3405;
constexpr TwipRect kTextRect{120, 120, 4335, 2775};
constexpr TwipRect kOkRect{1800, 3000, 975, 375};
// The whole inner area but one pixel at the right and three at the bottom.
constexpr TwipRect kPictureRect{0, 0, 4560, 3360};
constexpr uint64_t kMaxPicturePixels = 4'000'000;

constexpr char kNotice[] =
    "This screen saver is freeware. \r\n"
    "The maker of Orrivel cannot be held liable for any damages incurred by the use of this "
    "product. \r\n"
    "You may use this product free of charge for an unlimited period of time. \r\n"
    "If you like Orrivel, please send an e-mail to the maker\r\n"
    "and say thanks! \r\n"
    "\r\n"
    "               \r\n"
    "                E-mail: orrivel@example.org\r\n"
    "                Web: https://orrivel.example.org/\r\n"
    "\r\n"
    "(c) 2026 Orrivel\r\n";

void Place(HWND control, const TwipRect& r, UINT dpi) {
  const int left = TwipsAt(r.left, dpi), top = TwipsAt(r.top, dpi);
  SetWindowPos(control, nullptr, left, top, TwipsAt(r.left + r.width, dpi) - left,
               TwipsAt(r.top + r.height, dpi) - top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

const char* AboutNoticeText() { return kNotice; }

AboutBox::~AboutBox() { Close(); }

bool AboutBox::Load() {
  if (IsOpen()) return true;
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  CreateArgs args;
  args.className = kAboutClass;
  args.title = win32::Utf8ToWide(kAboutCaption);
  args.style = style;
  args.rect = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 100, CW_USEDEFAULT + 100};
  args.background = GetSysColorBrush(COLOR_BTNFACE);
  args.icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (!Create(args)) return false;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Tab order is stacking order: "OK" first, so it has the focus; the
  // picture lies under both.
  ok_ = CreateWindowExW(0, WC_BUTTONW, L"OK",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0, 0, 0,
                        0, hwnd(), reinterpret_cast<HMENU>(IDOK), instance, nullptr);
  text_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, win32::Utf8ToWide(kNotice).c_str(),
                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE |
                          ES_READONLY | ES_AUTOVSCROLL,
                      0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(kAboutTextId), instance, nullptr);
  if (ok_ == nullptr || text_ == nullptr || !picture_.Create(hwnd(), kAboutPictureControlId)) {
    Close();
    return false;
  }
  ShowWindow(picture_.hwnd(), SW_HIDE);
  SetWindowPos(picture_.hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(kAboutPictureId), L"JPEG")) {
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
    swf::WicImageDecoder decoder;
    if (bytes != nullptr) {
      if (auto image = decoder.Decode({bytes, SizeofResource(instance, found)}, kMaxPicturePixels))
        picture_.SetPixels(std::move(image->pixels), image->width, image->height);
    }
  }
  textBrush_.reset(CreateSolidBrush(kTextBackground));
  dpi_ = GetDpiForWindow(hwnd());
  PlaceControls();
  return true;
}

void AboutBox::PlaceControls() {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, static_cast<int>(dpi_), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(font.lfFaceName, L"MS Shell Dlg 2");
  font_.reset(CreateFontIndirectW(&font));
  SendMessageW(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  Place(ok_, kOkRect, dpi_);
  Place(text_, kTextRect, dpi_);
  Place(picture_.hwnd(), kPictureRect, dpi_);
  RECT outer{0, 0, TwipsAt(kClientWidth, dpi_), TwipsAt(kClientHeight, dpi_)};
  AdjustWindowRectExForDpi(&outer, static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE)), FALSE, 0,
                           dpi_);
  SetWindowPos(hwnd(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AboutBox::Show() {
  if (IsIconic(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  BringWindowToTop(hwnd());
}

void AboutBox::Open() {
  const bool wasOpen = IsOpen();
  if (!Load()) return;
  Show();
  if (!wasOpen) SetFocus(ok_);
}

bool AboutBox::PictureShown() const { return IsOpen() && IsWindowVisible(picture_.hwnd()); }

void AboutBox::ShowPicture(bool show) {
  ShowWindow(picture_.hwnd(), show ? SW_SHOW : SW_HIDE);
  ShowWindow(text_, show ? SW_HIDE : SW_SHOW);
}

void AboutBox::OnMouseButton(UINT msg, POINT, WPARAM) {
  if (msg != WM_LBUTTONDOWN && msg != WM_RBUTTONDOWN && msg != WM_MBUTTONDOWN) return;
  // The count stops at the largest 16-bit number instead of wrapping round.
  if (msg == WM_RBUTTONDOWN && rightClickCount_ < SHRT_MAX) ++rightClickCount_;
  if (rightClickCount_ > 4) ShowPicture(true);
}

void AboutBox::OnCommand(UINT id, UINT code, HWND) {
  if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
    ShowPicture(false);
    Close();
  }
}

LRESULT AboutBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == text_) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kTextColor);
        SetBkColor(dc, kTextBackground);
        return reinterpret_cast<LRESULT>(textBrush_.get());
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      PlaceControls();
      return 0;
    }
    default:
      break;
  }
  return SaverWindow::OnMessage(msg, wParam, lParam);
}

}  // namespace orrivel
