// The picture window: a borderless full-screen (or preview) slideshow.
// One instance per process, like the other forms; Main drives its start.
//
// Window classes, for tools that look for them: "OrrivelPicWindow" (the
// form, caption "Orrivel" until Main renames it), "OrrivelPicImage" (the
// picture control imgPics, a child of the form) and "OrrivelPicCover" (the
// plain black windows over the other monitors).
#pragma once

#include <memory>

#include "picturesaver/picture_fit.h"
#include "win32/form_win32.h"

namespace orrivel {

class Picture;

inline constexpr wchar_t kPicWindowClass[] = L"OrrivelPicWindow";
inline constexpr wchar_t kPicImageClass[] = L"OrrivelPicImage";
inline constexpr wchar_t kPicCoverClass[] = L"OrrivelPicCover";

class frmPic : public win32::Form {
 public:
  // The process's picture window (created on first use, not yet loaded).
  static frmPic& Instance();
  ~frmPic() override;

  // Creates the hidden window and runs Form_Load (cursor, interval, first
  // step). Does nothing when already loaded.
  void Load();
  // Shows the loaded window full screen on the primary monitor (and covers
  // the other monitors with plain windows that end the run on input).
  void Show();
  // The slideshow step, also called directly by Main.
  void tmrRotate_Timer();
  // Fits and centres the current picture in the window.
  void FormatPicture();
  // imgPics.Visible
  void SetPictureVisible(bool visible);

  // Input, also forwarded by the cover windows.
  void Form_KeyPress();
  void Form_MouseMove();
  void imgPics_MouseMove();

  // For inspection (tests): the picture control, its placement in twips, the
  // counters and position, the picture shown, the timer interval.
  HWND PictureWindow() const;
  PictureBox PictureBoxTwips() const;
  int FormMoveCount() const;
  int PictureMoveCount() const;
  int PictureIndex() const;
  const Picture* CurrentPicture() const;
  unsigned TimerInterval() const;
  size_t CoverCount() const;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnUnload() override;

 private:
  frmPic() = default;
  struct State;
  void Form_Load();
  void Step();
  void SetStretchOff();
  void PlaceImage();
  float TwipsPerPixel() const;
  void CoverOtherMonitors();
  static LRESULT CALLBACK ImageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CoverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  std::unique_ptr<State> state_;  // replaced at each Load; kept after unload
};

}  // namespace orrivel
