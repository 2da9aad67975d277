// The About box: the program's name and version in its title, the notice
// text in a coloured box, and "OK". Five presses of the right mouse button
// on its background show a hidden picture instead of the text; the count
// belongs to the box object, which lives for the whole run, so it carries
// over from one opening to the next. Window class "OrrivelAbout".
#pragma once

#include <windows.h>

#include "settingsdialog/dialog_controls_win32.h"
#include "startup/saver_window_win32.h"
#include "win32/unique_handle_win32.h"

namespace orrivel {

inline constexpr wchar_t kAboutClass[] = L"OrrivelAbout";
inline constexpr char kAboutCaption[] = "About Orrivel v.1.2.1";
// Resource of the hidden picture: type "JPEG", id 102.
inline constexpr int kAboutPictureId = 102;
inline constexpr int kAboutTextId = 10, kAboutPictureControlId = 11;

// The notice text, every line ended by CR LF.
const char* AboutNoticeText();

class AboutBox : public SaverWindow {
 public:
  AboutBox() = default;
  ~AboutBox() override;

  // Creates the window with its design state: text shown, picture hidden.
  bool Load() override;
  void Show() override;
  void Format() override {}
  // Opens the box, or brings it forward when it is open.
  void Open();

  int RightClickCount() const { return rightClickCount_; }
  bool PictureShown() const;

 protected:
  void OnMouseButton(UINT msg, POINT at, WPARAM keys) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void PlaceControls();
  void ShowPicture(bool show);

  int rightClickCount_ = 0;
  UINT dpi_ = 96;
  HWND text_ = nullptr, ok_ = nullptr;
  ImageBox picture_;
  win32::UniqueHandle<HGDIOBJ, win32::GdiObjectDeleter> font_, textBrush_;
};

}  // namespace orrivel
