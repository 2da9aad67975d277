#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "raster_test_util.h"

namespace orrivel::swf::raster {
namespace {

using testing::CoveredArea;
using testing::Solid;
using testing::TestCanvas;

Path Polyline(std::initializer_list<Point> pts, bool closed = false) {
  Path p;
  bool first = true;
  for (const Point& q : pts) {
    if (first)
      p.MoveTo(q.x, q.y);
    else
      p.LineTo(q.x, q.y);
    first = false;
  }
  if (closed) p.Close();
  return p;
}

TestCanvas Draw(int w, int h, const Path& p, const Stroke& s) {
  TestCanvas c(w, h);
  StrokePath(c.canvas, p, s, Solid(0, 0, 0));
  return c;
}

Stroke WithCaps(float width, Stroke::Cap cap) {
  Stroke s;
  s.width = width;
  s.startCap = s.endCap = cap;
  return s;
}

TEST(StrokeTest, CapsExtendOpenEnds) {
  const Path line = Polyline({{2, 5}, {8, 5}});
  struct Case {
    Stroke::Cap cap;
    uint32_t lo, hi;  // alpha range of pixel (1, 4), just past the start
  };
  for (const Case& k : {Case{Stroke::Cap::None, 0, 0}, Case{Stroke::Cap::Square, 255, 255},
                        Case{Stroke::Cap::Round, 195, 206}}) {  // quarter disc: 0.785
    const TestCanvas c = Draw(10, 10, line, WithCaps(2, k.cap));
    EXPECT_GE(c.Alpha(1, 4), k.lo) << int(k.cap);
    EXPECT_LE(c.Alpha(1, 4), k.hi) << int(k.cap);
    EXPECT_EQ(c.Alpha(8, 5), c.Alpha(1, 4)) << "end cap mirrors start cap";
    EXPECT_EQ(c.Alpha(4, 4), 255u);
    EXPECT_EQ(c.Alpha(4, 5), 255u);
    EXPECT_EQ(c.Alpha(4, 3), 0u);
    EXPECT_EQ(c.Alpha(0, 4), 0u);
  }
}

TEST(StrokeTest, HairlineOnPixelCentresIsOnePixelWide) {
  const TestCanvas c = Draw(8, 5, Polyline({{1, 2.5f}, {7, 2.5f}}), WithCaps(1, Stroke::Cap::None));
  for (int x = 1; x < 7; ++x) {
    EXPECT_EQ(c.Alpha(x, 2), 255u);
    EXPECT_EQ(c.Alpha(x, 1), 0u);
    EXPECT_EQ(c.Alpha(x, 3), 0u);
  }
  // Between two rows, the line splits evenly.
  const TestCanvas d = Draw(8, 5, Polyline({{1, 2}, {7, 2}}), WithCaps(1, Stroke::Cap::None));
  EXPECT_EQ(d.Alpha(3, 1), 128u);
  EXPECT_EQ(d.Alpha(3, 2), 128u);
}

TEST(StrokeTest, JoinShapesAtOuterCorner) {
  // Right angle at (10, 10); the outer corner of the stroke is (12, 12).
  const Path corner = Polyline({{2, 10}, {10, 10}, {10, 2}});
  Stroke s = WithCaps(4, Stroke::Cap::None);
  s.join = Stroke::Join::Miter;
  const TestCanvas miter = Draw(16, 16, corner, s);
  s.join = Stroke::Join::Round;
  const TestCanvas round = Draw(16, 16, corner, s);
  s.join = Stroke::Join::Bevel;
  const TestCanvas bevel = Draw(16, 16, corner, s);
  EXPECT_EQ(miter.Alpha(11, 11), 255u);
  EXPECT_GT(round.Alpha(11, 11), 40u);
  EXPECT_LT(round.Alpha(11, 11), 215u);
  EXPECT_EQ(bevel.Alpha(11, 11), 0u);  // beyond the line x + y = 22
  for (const TestCanvas* c : {&miter, &round, &bevel}) {
    EXPECT_EQ(c->Alpha(10, 10), 255u);
    EXPECT_EQ(c->Alpha(9, 9), 255u);
    EXPECT_EQ(c->Alpha(7, 7), 0u);  // inside the corner
  }
}

TEST(StrokeTest, MiterIsCutOffAtTheLimit) {
  // A sharp turn whose miter tip would lie far right of (20, 10).
  const Path spike = Polyline({{2, 8}, {20, 10}, {2, 12}});
  Stroke s = WithCaps(2, Stroke::Cap::None);
  s.join = Stroke::Join::Miter;
  s.miterLimit = 3;  // cut 3 half widths = 3 px from the vertex
  const TestCanvas c = Draw(40, 20, spike, s);
  EXPECT_GT(c.Alpha(21, 9) + c.Alpha(21, 10), 300u);
  EXPECT_EQ(c.Alpha(23, 10), 0u);
  EXPECT_EQ(c.Alpha(23, 9), 0u);
  s.miterLimit = 20;
  const TestCanvas far = Draw(40, 20, spike, s);
  EXPECT_GT(far.Alpha(25, 9) + far.Alpha(25, 10), 200u);
}

TEST(StrokeTest, ClosedContourJoinsAllRoundAndHasNoCaps) {
  Stroke s = WithCaps(2, Stroke::Cap::Square);
  s.join = Stroke::Join::Miter;
  const Path square = Polyline({{4, 4}, {12, 4}, {12, 12}, {4, 12}}, true);
  const TestCanvas c = Draw(16, 16, square, s);
  for (auto [x, y] : {std::pair{3, 3}, {12, 3}, {12, 12}, {3, 12}}) {
    EXPECT_EQ(c.Alpha(x, y), 255u) << x << "," << y;
  }
  EXPECT_EQ(c.Alpha(8, 8), 0u);
  EXPECT_EQ(c.Alpha(2, 4), 0u);
  EXPECT_NEAR(CoveredArea(c), 10.0 * 10 - 6 * 6, 0.01);
}

TEST(StrokeTest, ClosedTwoPointContourIsDrawnOnce) {
  Stroke s = WithCaps(2, Stroke::Cap::None);
  s.join = Stroke::Join::Round;
  const TestCanvas c = Draw(12, 8, Polyline({{2.5f, 4}, {8.5f, 4}}, true), s);
  EXPECT_EQ(c.Alpha(5, 3), 255u);
  EXPECT_EQ(c.Alpha(5, 2), 0u);
  // Round joins at both turn-arounds act like round caps.
  EXPECT_NEAR(CoveredArea(c), 6 * 2 + 3.14159, 0.1);
}

TEST(StrokeTest, ThinCircleHasUniformAreaWithoutDoubleCounting) {
  Path circle;
  constexpr int kSides = 120;
  constexpr double kR = 20;
  for (int i = 0; i < kSides; ++i) {
    const double t = 2 * std::numbers::pi * i / kSides;
    const float x = float(25 + kR * std::cos(t)), y = float(25 + kR * std::sin(t));
    if (i == 0)
      circle.MoveTo(x, y);
    else
      circle.LineTo(x, y);
  }
  circle.Close();
  const TestCanvas c = Draw(50, 50, circle, WithCaps(1, Stroke::Cap::Round));
  const double perimeter = kSides * 2 * kR * std::sin(std::numbers::pi / kSides);
  EXPECT_NEAR(CoveredArea(c), perimeter, perimeter * 0.01);
}

TEST(StrokeTest, CurvedStrokeFollowsTheCurve) {
  Path arc;
  arc.MoveTo(2, 18);
  arc.QuadTo(12, -2, 22, 18);  // apex at (12, 8)
  const TestCanvas c = Draw(24, 20, arc, WithCaps(2, Stroke::Cap::None));
  EXPECT_GT(c.Alpha(12, 7) + c.Alpha(12, 8), 400u);
  EXPECT_EQ(c.Alpha(12, 4), 0u);
  EXPECT_EQ(c.Alpha(12, 12), 0u);
}

TEST(StrokeTest, ZeroLengthStrokeDrawsItsCap) {
  struct Case {
    Stroke::Cap cap;
    double area;
  };
  for (const Case& k : {Case{Stroke::Cap::Round, std::numbers::pi * 4},
                        Case{Stroke::Cap::Square, 16}, Case{Stroke::Cap::None, 0}}) {
    const TestCanvas c =
        Draw(10, 10, Polyline({{5, 5}, {5, 5}, {5.00001f, 5}}), WithCaps(4, k.cap));
    EXPECT_NEAR(CoveredArea(c), k.area, 0.2) << int(k.cap);
  }
}

TEST(StrokeRegressionTest, DegenerateInputDrawsNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float width : {0.0f, -1.0f, nan, std::numeric_limits<float>::infinity()}) {
    EXPECT_TRUE(
        StrokeToPath(Polyline({{1, 1}, {5, 5}}), WithCaps(width, Stroke::Cap::Round)).Empty());
  }
  EXPECT_TRUE(StrokeToPath(Polyline({{1, 1}, {nan, 5}}), Stroke{}).Empty());
  EXPECT_TRUE(StrokeToPath(Path{}, Stroke{}).Empty());
}

TEST(StrokeRegressionTest, HugeWidthAndCoordinatesStayBounded) {
  Stroke s = WithCaps(1e30f, Stroke::Cap::Round);
  s.join = Stroke::Join::Miter;
  const Path p = Polyline({{-1e30f, 5}, {5, 5}, {1e30f, -1e30f}, {3, 1e25f}});
  const Path out = StrokeToPath(p, s);
  EXPECT_LT(out.Points().size(), 5000u);
  TestCanvas c(8, 8);
  FillPath(c.canvas, out, FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_EQ(c.Alpha(4, 4), 255u);
}

}  // namespace
}  // namespace orrivel::swf::raster
