// The movie window. For now a plain black stand-in for the player: full
// screen (or inside the preview), ending on input like the picture saver.
// Window class "OrrivelMovieWindow", design caption "frmSS".
#pragma once

#include "win32/form_win32.h"

namespace orrivel {

inline constexpr wchar_t kMovieWindowClass[] = L"OrrivelMovieWindow";

class frmSS : public win32::Form {
 public:
  // The process's movie window (created on first use, not yet loaded).
  static frmSS& Instance();

  // Creates the hidden window covering the screen and runs Form_Load.
  // Does nothing when already loaded.
  void Load();
  // Shows the loaded window full screen, in front and with the focus.
  void Show();
  // Places the player and starts the movie (nothing to start yet).
  void FormatMovie();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnUnload() override;

 private:
  frmSS() = default;
  void Form_Load();
  void CountMouseMove();

  int formMoveCount_ = 0;
  bool cursorHidden_ = false;
};

}  // namespace orrivel
