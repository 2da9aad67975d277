#include "moviesaver/movie_run.h"

namespace orrivel {

MovieRunKind MovieRunKindFor(bool previewMode, std::string_view interactive) {
  if (previewMode) return MovieRunKind::Preview;
  return interactive == "FALSE" ? MovieRunKind::Plain : MovieRunKind::Interactive;
}

MovieLayout LayoutMovie(MovieRunKind kind, float windowWidth, float windowHeight) {
  MovieLayout layout;
  layout.playerWidth = windowWidth;
  layout.playerHeight = windowHeight;
  if (kind == MovieRunKind::Interactive) {
    layout.playerHeight = windowHeight - kEndStripHeight;
    layout.buttonTop = layout.playerTop + layout.playerHeight + kEndButtonGap;
    layout.buttonVisible = true;
  }
  return layout;
}

float SlideEndButton(float left, float windowWidth) {
  const float reach = kEndButtonWidth + left + kEndButtonStep;
  return reach >= windowWidth ? kEndButtonRestart : left + kEndButtonStep;
}

bool MouseWatch::OnTick(bool previewMode, int32_t x, int32_t y) {
  if (previewMode) return false;
  bool end = false;
  if (moveCount_ == 0) {
    moveCount_ = 1;
  } else if (moveCount_ > 2) {
    end = true;
  } else if (x != lastX_ && y != lastY_) {
    ++moveCount_;
  }
  lastX_ = x;
  lastY_ = y;
  return end;
}

}  // namespace orrivel
