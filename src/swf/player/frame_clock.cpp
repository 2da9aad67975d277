#include "swf/player/frame_clock.h"

#include <cmath>

namespace orrivel::swf {

double FrameClock::EffectiveRate(double declaredFps) {
  if (!std::isfinite(declaredFps) || declaredFps <= 0) return kDefaultRate;
  return std::fmin(std::fmax(declaredFps, kMinRate), kMaxRate);
}

void FrameClock::SetRate(double declaredFps) {
  rate_ = EffectiveRate(declaredFps);
  pending_ = 0;
}

int FrameClock::Advance(double elapsedSeconds) {
  if (!std::isfinite(elapsedSeconds) || elapsedSeconds < 0) elapsedSeconds = 0;
  const double spf = SecondsPerFrame();
  pending_ += elapsedSeconds;
  const double due = std::floor(pending_ / spf);
  if (due > kMaxFramesPerAdvance) {
    pending_ = 0;
    return kMaxFramesPerAdvance;
  }
  const int frames = static_cast<int>(due);
  pending_ -= frames * spf;
  return frames;
}

}  // namespace orrivel::swf
