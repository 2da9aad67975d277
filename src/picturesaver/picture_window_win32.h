// The picture window: a borderless full-screen (or preview) slideshow that
// ends on input. The application's start-up loads, shows and steps it.
//
// Window classes, for tools that look for them: "OrrivelPicWindow" (the
// window, titled "Orrivel" until the start-up renames it), "OrrivelPicImage"
// (the picture, a child of the window) and "OrrivelPicCover" (the plain
// black windows over the other monitors).
#pragma once

#include <memory>
#include <vector>

#include "picturesaver/picture_fit.h"
#include "picturesaver/slideshow.h"
#include "startup/saver_window_win32.h"
#include "win32/monitors_win32.h"

namespace orrivel {

class App;
class Picture;

inline constexpr wchar_t kPicWindowClass[] = L"OrrivelPicWindow";
inline constexpr wchar_t kPicImageClass[] = L"OrrivelPicImage";
inline constexpr wchar_t kPicCoverClass[] = L"OrrivelPicCover";

class PictureWindow : public SaverWindow {
 public:
  explicit PictureWindow(App& app);
  ~PictureWindow() override;

  // Creates the hidden window and runs the load handler (cursor, interval,
  // first step).
  bool Load() override;
  // Shows the window full screen on the primary monitor and covers the
  // other monitors with plain windows that end the run on the same input.
  void Show() override;
  void Format() override { FormatPicture(); }

  // The slideshow step: each tick of the rotate timer, and once from the start-up.
  void OnRotateTimer();
  // Fits and centres the current picture in the window.
  void FormatPicture();
  void SetPictureVisible(bool visible);

  // For inspection (tests): the picture's window and placement in twips,
  // the counters and position, the picture shown, the timer interval.
  HWND PictureHwnd() const;
  PictureBox PictureBoxTwips() const;
  int FormMoveCount() const { return watch_.FormMoveCount(); }
  int PictureMoveCount() const { return watch_.PictureMoveCount(); }
  int PictureIndex() const { return pictureIndex_; }
  const Picture* CurrentPicture() const { return picture_.get(); }
  unsigned TimerInterval() const { return interval_; }
  size_t CoverCount() const { return covers_.size(); }

 protected:
  void OnTimer(UINT_PTR id) override;
  void OnMouseMove(POINT at, WPARAM keys) override;
  void OnChar(wchar_t character) override;
  bool OnClose() override;
  void OnUnload() override;

 private:
  class ImageView;
  friend class ImageView;

  void OnLoad();
  void Step();
  void SetStretchOff();
  void PlaceImage();
  float TwipsPerPixel() const;
  void CoverOtherMonitors();
  void OnCharacterKey();
  void OnWindowMouseMove();
  void OnPictureMouseMove();

  App& app_;
  InputWatch watch_;
  int16_t pictureIndex_ = 0;
  ClockRandom random_;
  PictureBox box_;
  std::unique_ptr<Picture> picture_;
  std::unique_ptr<ImageView> image_;
  std::vector<std::unique_ptr<win32::CoverWindow>> covers_;
  unsigned interval_ = 2000;  // design value, replaced by the load handler
  bool cursorHidden_ = false;
  bool stepping_ = false;
  bool fellBack_ = false;
};

}  // namespace orrivel
