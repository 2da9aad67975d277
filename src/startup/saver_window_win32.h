// What the start-up does with either saver window: load it (create it
// hidden and run its load handler), show it full screen, and start it
// (FormatMovie or FormatPicture). A saver window tells the application
// when it is gone, however it went, so the run ends with the last one.
#pragma once

#include <functional>

#include "win32/window_win32.h"

namespace orrivel {

class SaverWindow : public win32::Window {
 public:
  // Does nothing when already loaded; false when the window could not be made.
  virtual bool Load() = 0;
  virtual void Show() = 0;
  virtual void Format() = 0;

  // Called once the window is gone (set by the application).
  void SetOnClosed(std::function<void()> onClosed) { onClosed_ = std::move(onClosed); }

 protected:
  // The window's own clean-up (cursor, hook, timers, temporary files).
  virtual void OnUnload() {}

 private:
  void OnDestroy() final {
    OnUnload();
    if (onClosed_) onClosed_();
  }
  std::function<void()> onClosed_;
};

}  // namespace orrivel
