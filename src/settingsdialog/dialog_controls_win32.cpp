#include "settingsdialog/dialog_controls_win32.h"

#include <uxtheme.h>
#include <vssym32.h>

namespace orrivel {
namespace {

constexpr wchar_t kFrameClass[] = L"OrrivelFrame";
constexpr wchar_t kImageClass[] = L"OrrivelImage";

COLORREF LineColorRef(LineColor color) {
  switch (color) {
    case LineColor::InactiveCaption:
      return GetSysColor(COLOR_INACTIVECAPTION);
    case LineColor::WindowBackground:
      return GetSysColor(COLOR_WINDOW);
    case LineColor::Plain:
      break;
  }
  return GetSysColor(COLOR_WINDOWTEXT);
}

}  // namespace

bool FrameBox::Create(HWND parent, UINT_PTR id, const std::wstring& caption, HFONT font) {
  caption_ = caption;
  font_ = font;
  CreateArgs args;
  args.className = kFrameClass;
  args.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_GROUP;
  args.exStyle = WS_EX_CONTROLPARENT;
  args.parent = parent;
  args.childId = id;
  args.background = GetSysColorBrush(COLOR_BTNFACE);
  return win32::Window::Create(args);
}

void FrameBox::OnPaint(HDC hdc, const RECT&) {
  RECT box;
  GetClientRect(hwnd(), &box);
  SelectObject(hdc, font_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(hdc, &metrics);
  // The border runs through the middle of the caption line.
  RECT border = box;
  border.top += metrics.tmHeight / 2;
  SIZE text{};
  GetTextExtentPoint32W(hdc, caption_.c_str(), static_cast<int>(caption_.size()), &text);
  const int textLeft = metrics.tmAveCharWidth;
  RECT gap{textLeft - 2, 0, textLeft + text.cx + 2, metrics.tmHeight};
  if (!caption_.empty()) ExcludeClipRect(hdc, gap.left, gap.top, gap.right, gap.bottom);
  if (HTHEME theme = OpenThemeData(hwnd(), L"BUTTON")) {
    DrawThemeBackground(theme, hdc, BP_GROUPBOX, GBS_NORMAL, &border, nullptr);
    CloseThemeData(theme);
  } else {
    DrawEdge(hdc, &border, EDGE_ETCHED, BF_RECT);
  }
  SelectClipRgn(hdc, nullptr);
  if (!caption_.empty()) {
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
    TextOutW(hdc, textLeft, 0, caption_.c_str(), static_cast<int>(caption_.size()));
  }
  PaintLines(hdc, POINT{0, 0});
}

void FrameBox::PaintLines(HDC hdc, POINT origin) const {
  const UINT dpi = GetDpiForWindow(hwnd());
  for (const FrameLine& line : lines_) {
    HPEN pen = CreatePen(PS_SOLID, 1, LineColorRef(line.color));
    HGDIOBJ old = SelectObject(hdc, pen);
    MoveToEx(hdc, TwipsAt(line.x1, dpi) - origin.x, TwipsAt(line.y1, dpi) - origin.y, nullptr);
    LineTo(hdc, TwipsAt(line.x2, dpi) - origin.x, TwipsAt(line.y2, dpi) - origin.y);
    SelectObject(hdc, old);
    DeleteObject(pen);
  }
}

void FrameBox::OnCommand(UINT id, UINT code, HWND control) {
  SendMessageW(GetAncestor(hwnd(), GA_ROOT), WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(control));
}

LRESULT FrameBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (HWND root = GetAncestor(hwnd(), GA_ROOT); root != hwnd())
        return SendMessageW(root, msg, wParam, lParam);
      break;
    default:
      break;
  }
  return Window::OnMessage(msg, wParam, lParam);
}

bool ImageBox::Create(HWND parent, UINT_PTR id, const FrameBox* frame) {
  frame_ = frame;
  CreateArgs args;
  args.className = kImageClass;
  args.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  args.parent = parent;
  args.childId = id;
  return win32::Window::Create(args);
}

void ImageBox::SetPicture(std::unique_ptr<Picture> picture) {
  picture_ = std::move(picture);
  pixels_.clear();
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageBox::SetPixels(std::vector<uint32_t> pixels, int width, int height) {
  picture_.reset();
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageBox::Clear() {
  if (!HasPicture()) return;
  picture_.reset();
  pixels_.clear();
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageBox::OnPaint(HDC hdc, const RECT&) {
  RECT box;
  GetClientRect(hwnd(), &box);
  FillRect(hdc, &box, GetSysColorBrush(COLOR_BTNFACE));
  if (frame_ != nullptr) {
    POINT origin{0, 0};
    MapWindowPoints(hwnd(), frame_->hwnd(), &origin, 1);
    frame_->PaintLines(hdc, origin);
  }
  if (picture_) {
    picture_->Draw(hdc, box);
  } else if (!pixels_.empty()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(hdc, HALFTONE);
    SetBrushOrgEx(hdc, 0, 0, nullptr);
    StretchDIBits(hdc, 0, 0, box.right, box.bottom, 0, 0, width_, height_, pixels_.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
  }
}

}  // namespace orrivel
