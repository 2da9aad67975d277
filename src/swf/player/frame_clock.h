// Turns elapsed wall-clock time into movie frames at the movie's frame rate.
#pragma once

namespace orrivel::swf {

class FrameClock {
 public:
  static constexpr double kDefaultRate = 12;  // for a rate of 0 or garbage
  static constexpr double kMinRate = 0.25;
  static constexpr double kMaxRate = 120;
  // A long stall (a suspended machine, a debugger) never runs a burst of frames.
  static constexpr int kMaxFramesPerAdvance = 4;

  // Usable rate for a declared one: non-finite or non-positive rates play at
  // the default, others are held between the minimum and the maximum.
  static double EffectiveRate(double declaredFps);

  void SetRate(double declaredFps);
  double SecondsPerFrame() const { return 1.0 / rate_; }
  // Adds elapsed seconds; returns the frames now due, at most the cap (the
  // rest of a backlog beyond the cap is dropped).
  int Advance(double elapsedSeconds);
  void Reset() { pending_ = 0; }

 private:
  double rate_ = kDefaultRate;
  double pending_ = 0;
};

}  // namespace orrivel::swf
