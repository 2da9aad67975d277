// The player's clock. Window timers come at the system's 15.6 ms grain, too
// coarse to hold 24 to 60 fps steady, and raising the system-wide timer
// resolution costs every program power. Instead one small thread sleeps on
// a high-resolution waitable timer until each frame is due and then posts
// one message to the player's window, so the frame is drawn on the window's
// own thread between its other messages (the 5 ms mouse watch included).
// At most one frame message waits in the queue at a time: a slow frame
// never piles up a backlog.
#pragma once

#include <windows.h>

#include <atomic>
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
  // The window took the frame message: the next may be posted.
  void Acknowledge() { pending_.store(false); }

 private:
  void Run(double secondsPerFrame);

  HWND target_;
  UINT message_;
  win32::UniqueKernelHandle stop_;
  std::thread thread_;
  std::atomic<bool> pending_{false};
};

}  // namespace orrivel
