#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "swf/player/frame_clock.h"
#include "swf/player/stage_fit.h"

namespace orrivel::swf {
namespace {

Rect Stage(int w, int h, int x0 = 0, int y0 = 0) { return Rect{x0, x0 + w * 20, y0, y0 + h * 20}; }

TEST(ShowAllTest, Geometry) {
  struct Case {
    int stageW, stageH, targetW, targetH;
    double scale, left, top, width, height;
  } cases[] = {{550, 400, 1920, 1080, 2.7, 217, 0, 1485, 1080},
               {550, 400, 550, 400, 1, 0, 0, 550, 400},
               {550, 400, 1100, 800, 2, 0, 0, 1100, 800},
               {400, 300, 200, 200, 0.5, 0, 25, 200, 150},
               {100, 400, 800, 600, 1.5, 325, 0, 150, 600},
               {800, 600, 152, 112, 0.186666666666667, 1, 0, 149.333333333, 112},
               {1, 1, 1, 1, 1, 0, 0, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.stageW << "x" << c.stageH << " in " << c.targetW);
    const StageFit fit = FitShowAll(Stage(c.stageW, c.stageH), c.targetW, c.targetH);
    EXPECT_NEAR(fit.scale, c.scale, 1e-9);
    EXPECT_EQ(fit.left, c.left);
    EXPECT_EQ(fit.top, c.top);
    EXPECT_NEAR(fit.width, c.width, 1e-6);
    EXPECT_NEAR(fit.height, c.height, 1e-6);
    // The stage fits, and the two margins differ by at most one pixel.
    EXPECT_LE(fit.left + fit.width, c.targetW + 1e-6);
    EXPECT_LE(fit.top + fit.height, c.targetH + 1e-6);
    EXPECT_LE(std::fabs((c.targetW - fit.left - fit.width) - fit.left), 1.0 + 1e-6);
    EXPECT_LE(std::fabs((c.targetH - fit.top - fit.height) - fit.top), 1.0 + 1e-6);
  }
}

TEST(ShowAllTest, StageOriginMapsToTheStageCorner) {
  const Rect stage = Stage(550, 400, -200, 100);
  const StageFit fit = FitShowAll(stage, 1920, 1080);
  const Matrix m = fit.ToDevice(stage);
  EXPECT_NEAR(m.ApplyX(stage.xMin, stage.yMin), fit.left, 1e-9);
  EXPECT_NEAR(m.ApplyY(stage.xMin, stage.yMin), fit.top, 1e-9);
  EXPECT_NEAR(m.ApplyX(stage.xMax, stage.yMax), fit.left + fit.width, 1e-9);
  EXPECT_NEAR(m.ApplyY(stage.xMax, stage.yMax), fit.top + fit.height, 1e-9);
}

TEST(ShowAllTest, NothingToFitIsEmpty) {
  EXPECT_TRUE(FitShowAll(Rect{}, 100, 100).Empty());
  EXPECT_TRUE(FitShowAll(Rect{0, 100, 0, -5}, 100, 100).Empty());
  EXPECT_TRUE(FitShowAll(Stage(550, 400), 0, 100).Empty());
  EXPECT_TRUE(FitShowAll(Stage(550, 400), 100, -1).Empty());
  // Extreme stages stay finite.
  const StageFit huge = FitShowAll(Rect{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}, 64, 48);
  EXPECT_FALSE(huge.Empty());
  EXPECT_TRUE(std::isfinite(huge.scale));
}

TEST(FrameClockTest, EffectiveRate) {
  struct RateCase {
    double declared, effective;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const RateCase& c :
       {RateCase{24, 24}, RateCase{0, 12}, RateCase{-3, 12}, RateCase{nan, 12}, RateCase{inf, 12},
        RateCase{1000, 120}, RateCase{0.01, 0.25}, RateCase{0.5, 0.5}}) {
    EXPECT_EQ(FrameClock::EffectiveRate(c.declared), c.effective) << c.declared;
  }
}

TEST(FrameClockTest, RunsDueFramesAndDropsLongStalls) {
  FrameClock clock;
  clock.SetRate(20);
  struct Step {
    double elapsed;
    int frames;
  };
  const Step steps[] = {
      {0.02, 0}, {0.04, 1}, {0.115, 2}, {0.0, 0},
      {10.0, 4}, {0.0, 0},  {-1, 0},    {std::numeric_limits<double>::quiet_NaN(), 0},
      {0.05, 1}};
  for (const Step& s : steps) EXPECT_EQ(clock.Advance(s.elapsed), s.frames) << s.elapsed;
  clock.SetRate(0);  // still plays
  EXPECT_NEAR(clock.SecondsPerFrame(), 1.0 / 12, 1e-12);
  EXPECT_EQ(clock.Advance(1.0), 4);  // capped, not twelve
}

}  // namespace
}  // namespace orrivel::swf
