// The movie window's rules, free of any window: the kind of run, where the
// player and the "End Screen Saver" button go, the mouse watch of a plain
// run and the button's slide along the strip of an interactive run.
// Lengths are in twips.
#pragma once

#include <cstdint>
#include <string_view>

namespace orrivel {

enum class MovieRunKind { Preview, Plain, Interactive };

// A preview whatever the settings say; otherwise plain only for exactly
// "FALSE", so an empty value (a first run) is interactive.
MovieRunKind MovieRunKindFor(bool previewMode, std::string_view interactive);

// The end button's design placement.
inline constexpr float kEndButtonLeft = 840;
inline constexpr float kEndButtonTop = 3600;
inline constexpr float kEndButtonWidth = 1695;
inline constexpr float kEndButtonHeight = 375;
// The strip an interactive run leaves below the player, and the gap above the button.
inline constexpr float kEndStripHeight = 400;
inline constexpr float kEndButtonGap = 25;
inline constexpr float kEndButtonStep = 5;
inline constexpr float kEndButtonRestart = 50;

struct MovieLayout {
  float playerLeft = 0, playerTop = 0, playerWidth = 0, playerHeight = 0;
  bool buttonVisible = false;
  float buttonTop = kEndButtonTop;
};

// The player fills the window, less the strip in an interactive run, whose
// button then sits just below the player.
MovieLayout LayoutMovie(MovieRunKind kind, float windowWidth, float windowHeight);

// One tick of the end button: 5 twips to the right, back to 50 once its
// right edge would come within 5 twips of the window's.
float SlideEndButton(float left, float windowWidth);

// The plain run's mouse watch, sampled at each tick of its timer: the first
// sample is only recorded, then two samples that moved in both x and y are
// counted, and the tick after the second ends the run.
class MouseWatch {
 public:
  // True when the run ends now. A preview never ends this way.
  bool OnTick(bool previewMode, int32_t x, int32_t y);
  int MoveCount() const { return moveCount_; }

 private:
  int16_t moveCount_ = 0;
  // Whole 32-bit positions, so screens beyond 32767 pixels count right too.
  int32_t lastX_ = 0, lastY_ = 0;
};

}  // namespace orrivel
