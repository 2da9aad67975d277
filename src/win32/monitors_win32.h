// The screens a full-screen saver covers: the primary monitor, where its
// window goes, and plain black windows over every other monitor.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "win32/window_win32.h"

namespace orrivel::win32 {

RECT PrimaryMonitorRect();
// Every monitor but the primary one.
std::vector<RECT> OtherMonitorRects();

// A plain black, topmost window over one monitor, owned by the saver's
// window. Mouse moves and characters over it go to the callbacks given.
class CoverWindow : public Window {
 public:
  struct Input {
    std::function<void()> onMouseMove;
    std::function<void()> onCharacter;
    std::function<void()> onClose;
  };
  CoverWindow(const wchar_t* className, HWND owner, const RECT& monitor, Input input);

 protected:
  void OnMouseMove(POINT, WPARAM) override;
  void OnChar(wchar_t) override;
  bool OnClose() override;

 private:
  Input input_;
};

// Covers every other monitor once; the windows go with `covers`.
void CoverOtherMonitors(const wchar_t* className, HWND owner, const CoverWindow::Input& input,
                        std::vector<std::unique_ptr<CoverWindow>>& covers);

}  // namespace orrivel::win32
