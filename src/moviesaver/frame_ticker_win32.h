// The player's clock. Window timers come at the system's 15.6 ms grain, too
// coarse to hold 24 to 60 fps steady, and raising the system-wide timer
// resolution costs every program power. Instead one small thread sleeps on
// a high-resolution waitable timer until each frame is due and then posts
// one message to the player's window, so the frame is drawn on the window's
// own thread between its other messages (the 5 ms mouse watch included).
// A posted message comes before input and timer messages, so the next one
// is posted only after the window has drawn the last frame and a short
// breath later: keys, the mouse and the 5 ms mouse watch always get their
// turn, and a frame slower than the movie's rate drops frames instead of
// piling up a backlog.
#pragma once

#include <windows.h>

#include <thread>

#include "win32/unique_handle_win32.h"

namespace orrivel {

class FrameTicker {
 public:
  // Posts `message` to `target` when each frame is due.
  FrameTicker(HWND target, UINT message);
  ~FrameTicker();
  FrameTicker(const FrameTicker&) = delete;
  FrameTicker& operator=(const FrameTicker&) = delete;

  // (Re)starts at the given frame period; stops with 0 or less.
  void Start(double secondsPerFrame);
  void Stop();
  // The window has drawn the frame: the next may be posted.
  void Acknowledge() { SetEvent(drawn_.get()); }

 private:
  void Run(double secondsPerFrame);

  HWND target_;
  UINT message_;
  win32::UniqueKernelHandle stop_;
  win32::UniqueKernelHandle drawn_;
  std::thread thread_;
};

}  // namespace orrivel
