// The picture window: a borderless full-screen (or preview) slideshow.
// One instance per process, like the other forms; Main drives its start.
#pragma once

#include "win32/form_win32.h"

namespace orrivel {

class frmPic : public win32::Form {
 public:
  // The process's picture window (created on first use, not yet loaded).
  static frmPic& Instance();

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

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnUnload() override;

 private:
  frmPic() = default;
  struct State;
  State* state_ = nullptr;  // owned; lives while the window is loaded
};

}  // namespace orrivel
