// The settings dialog's own controls: a frame that holds other controls
// (drawn as a group box, with an optional caption and decorative lines),
// and a picture box that shows a picture stretched to its size.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "picturesaver/picture_win32.h"
#include "settingsdialog/dialog_layout.h"
#include "win32/window_win32.h"

namespace orrivel {

// Pixels for twips at `dpi`.
inline int TwipsAt(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// A container: notifications of the controls inside go on to the top-level
// window, so one handler serves the whole dialog.
class FrameBox : public win32::Window {
 public:
  bool Create(HWND parent, UINT_PTR id, const std::wstring& caption, HFONT font);
  void SetFont(HFONT font) { font_ = font; }
  // Lines in twips of the frame, drawn over its background.
  void SetLines(std::span<const FrameLine> lines) { lines_.assign(lines.begin(), lines.end()); }
  // Draws the lines into `hdc`, whose origin lies at `origin` in the frame.
  void PaintLines(HDC hdc, POINT origin) const;

 protected:
  void OnPaint(HDC hdc, const RECT& dirty) override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(UINT id, UINT code, HWND control) override;

 private:
  std::wstring caption_;
  HFONT font_ = nullptr;
  std::vector<FrameLine> lines_;
};

// Shows a picture stretched to the box, without keeping its proportions.
class ImageBox : public win32::Window {
 public:
  // The box lies over `frame`'s lines, which show where no picture covers them.
  bool Create(HWND parent, UINT_PTR id, const FrameBox* frame = nullptr);
  void SetPicture(std::unique_ptr<Picture> picture);
  // Premultiplied BGRA pixels, rows top-down.
  void SetPixels(std::vector<uint32_t> pixels, int width, int height);
  void Clear();
  bool HasPicture() const { return picture_ != nullptr || !pixels_.empty(); }

 protected:
  void OnPaint(HDC hdc, const RECT& dirty) override;
  bool OnEraseBackground(HDC) override { return true; }

 private:
  const FrameBox* frame_ = nullptr;
  std::unique_ptr<Picture> picture_;
  std::vector<uint32_t> pixels_;
  int width_ = 0, height_ = 0;
};

}  // namespace orrivel
