// The movie window: plays the chosen movie over the whole screen, or inside
// the host's preview window, and ends as its kind of run says: a plain run
// on any key (keyboard hook) or on mouse movement (the mouse watch), an
// interactive run through its sliding "End Screen Saver" button, a preview
// only when its host goes away.
// Window classes: "OrrivelMovieWindow" (design title "frmSS"), the player
// "OrrivelPlayer", and "OrrivelMovieCover" over the other monitors.
#pragma once

#include <memory>
#include <vector>

#include "moviesaver/movie_run.h"
#include "moviesaver/player_control_win32.h"
#include "startup/run_control_win32.h"
#include "startup/saver_window_win32.h"
#include "win32/monitors_win32.h"

namespace orrivel {

class App;

inline constexpr wchar_t kMovieWindowClass[] = L"OrrivelMovieWindow";
inline constexpr wchar_t kMovieCoverClass[] = L"OrrivelMovieCover";

class MovieWindow : public SaverWindow {
 public:
  explicit MovieWindow(App& app);
  ~MovieWindow() override;

  // Creates the hidden window with its controls and runs the load handler:
  // the keyboard hook of a plain run, the button's timer of an interactive one.
  bool Load() override;
  void Show() override;
  void Format() override { FormatMovie(); }

  // Places the player, picks the movie (falling back to the built-in one
  // when the chosen file does not load) and starts it.
  void FormatMovie();

  // The watches, one tick each.
  void OnMouseTimer();
  void OnEndButtonTimer();

  // For inspection (tests).
  MovieRunKind RunKind() const { return kind_; }
  PlayerControl& Player() { return player_; }
  HWND EndButton() const { return endButton_; }
  float EndButtonLeftTwips() const { return buttonLeft_; }
  bool KeyboardHookInstalled() const { return hook_.Installed(); }
  int MoveCount() const { return mouseWatch_.MoveCount(); }
  size_t CoverCount() const { return covers_.size(); }

 protected:
  void OnTimer(UINT_PTR id) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnKey(UINT msg, UINT virtualKey, LPARAM flags) override;
  bool OnClose() override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnUnload() override;

 private:
  void OnLoad();
  void PlaceEndButton();
  float TwipsPerPixel() const;
  std::string BuiltInMovie();
  void ReleaseRunResources();

  App& app_;
  MovieRunKind kind_ = MovieRunKind::Plain;
  PlayerControl player_;
  HWND endButton_ = nullptr;
  float buttonLeft_ = kEndButtonLeft, buttonTop_ = kEndButtonTop;
  MouseWatch mouseWatch_;
  KeyboardHook hook_;
  std::vector<std::unique_ptr<win32::CoverWindow>> covers_;
  bool cursorHidden_ = false;
};

}  // namespace orrivel
