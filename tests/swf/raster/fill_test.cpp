#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>

#include "raster_test_util.h"

namespace orrivel::swf::raster {
namespace {

using testing::CoveredArea;
using testing::Polygon;
using testing::Rect;
using testing::Solid;
using testing::TestCanvas;

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kHalfWhite = 0x80808080;

void ExpectPixels(const TestCanvas& c, const std::vector<uint32_t>& want) {
  ASSERT_EQ(c.pixels.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(c.pixels[i], want[i]) << "pixel " << i % c.canvas.width << "," << i / c.canvas.width;
  }
}

TEST(FillPathTest, PixelAlignedRectIsExact) {
  TestCanvas c(4, 4);
  FillPath(c.canvas, Rect(1, 1, 3, 3), FillRule::NonZero, Solid(255, 0, 0));
  const uint32_t r = 0xFFFF0000;
  ExpectPixels(c, {0, 0, 0, 0, 0, r, r, 0, 0, r, r, 0, 0, 0, 0, 0});
}

TEST(FillPathTest, HalfCoveredPixelsGetHalfAlpha) {
  TestCanvas c(3, 3);
  FillPath(c.canvas, Rect(0.5f, 0, 2.5f, 3), FillRule::NonZero, Solid(255, 255, 255));
  ExpectPixels(c, {kHalfWhite, kWhite, kHalfWhite, kHalfWhite, kWhite, kHalfWhite,
                   kHalfWhite, kWhite, kHalfWhite});
}

TEST(FillPathTest, DiagonalSplitsPixelsInHalfAndTopEdgeIsExact) {
  TestCanvas c(3, 3);
  // Triangle (0,0)-(3,0)-(0,3): diagonal pixels are half covered.
  FillPath(c.canvas, Polygon({{0, 0}, {3, 0}, {0, 3}}), FillRule::NonZero, Solid(255, 255, 255));
  ExpectPixels(c, {kWhite, kWhite, kHalfWhite, kWhite, kHalfWhite, 0, kHalfWhite, 0, 0});
}

TEST(FillPathTest, QuarterPixelSquare) {
  TestCanvas c(3, 3);
  FillPath(c.canvas, Rect(1.25f, 1.25f, 1.75f, 1.75f), FillRule::NonZero, Solid(0, 0, 255));
  EXPECT_EQ(c.At(1, 1), 0x40000040u);  // 0.25 * 255 = 63.75 -> 64
  EXPECT_EQ(c.At(0, 1), 0u);
  EXPECT_EQ(c.At(2, 1), 0u);
}

TEST(FillPathTest, TranslucentOverOpaqueRoundsCorrectly) {
  TestCanvas c(1, 1, 0xFF0000FF);  // opaque blue
  FillPath(c.canvas, Rect(0, 0, 1, 1), FillRule::NonZero, Solid(255, 0, 0, 128));
  // red 128 premultiplied, blue 255 * 127 / 255 = 127.
  EXPECT_EQ(c.At(0, 0), 0xFF80007Fu);
}

TEST(FillPathTest, CircleAreaMatchesPolygonArea) {
  TestCanvas c(64, 64);
  Path p;
  constexpr int kSides = 200;
  constexpr double kRadius = 23.3;
  for (int i = 0; i < kSides; ++i) {
    const double t = 2 * std::numbers::pi * i / kSides;
    const float x = float(31.7 + kRadius * std::cos(t)), y = float(30.2 + kRadius * std::sin(t));
    if (i == 0) p.MoveTo(x, y); else p.LineTo(x, y);
  }
  p.Close();
  FillPath(c.canvas, p, FillRule::NonZero, Solid(0, 0, 0));
  const double area = kSides / 2.0 * kRadius * kRadius * std::sin(2 * std::numbers::pi / kSides);
  EXPECT_NEAR(CoveredArea(c), area, 0.5);  // rounding of boundary pixels only
}

TEST(FillPathTest, QuadraticCurveArea) {
  // Region under the parabola from (0,8) via control (8,-8) to (16,8): the
  // segment between chord and curve has 2/3 of the control triangle area.
  TestCanvas c(16, 16);
  Path p;
  p.MoveTo(0, 8);
  p.QuadTo(8, -8, 16, 8);
  p.Close();
  FillPath(c.canvas, p, FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_NEAR(CoveredArea(c), 2.0 / 3.0 * (16 * 16 / 2.0), 0.6);
}

// Five-pointed star drawn in one stroke: its centre pentagon has winding 2.
Path Star(float cx, float cy, float r) {
  Path p;
  for (int i = 0; i < 5; ++i) {
    const double t = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
    const float x = cx + r * float(std::cos(t)), y = cy + r * float(std::sin(t));
    if (i == 0) p.MoveTo(x, y); else p.LineTo(x, y);
  }
  p.Close();
  return p;
}

TEST(FillPathTest, FillRulesOnSelfOverlappingStar) {
  struct Case {
    FillRule rule;
    bool antiAlias;
    uint32_t centreAlpha;
  };
  for (const Case& k : {Case{FillRule::NonZero, true, 255}, Case{FillRule::EvenOdd, true, 0},
                        Case{FillRule::NonZero, false, 255}, Case{FillRule::EvenOdd, false, 0}}) {
    TestCanvas c(40, 40);
    FillPath(c.canvas, Star(20, 20, 18), k.rule, Solid(0, 0, 0), {.antiAlias = k.antiAlias});
    EXPECT_EQ(c.Alpha(20, 20), k.centreAlpha) << int(k.rule) << k.antiAlias;
    EXPECT_EQ(c.Alpha(20, 5), 255u) << "top point";
    EXPECT_EQ(c.Alpha(1, 1), 0u);
  }
}

TEST(FillPathTest, AliasedModeCoversPixelsWhoseCentreIsInside) {
  struct Case {
    float x0, x1;
    int first, last;  // covered columns, inclusive; first > last: none
  };
  for (const Case& k : {Case{0.4f, 1.6f, 0, 1}, Case{0.6f, 1.4f, 1, 0}, Case{0.5f, 1.5f, 0, 0},
                        Case{0.49f, 0.51f, 0, 0}, Case{-3, 2.2f, 0, 1}, Case{1.5f, 9, 1, 3}}) {
    TestCanvas c(4, 1);
    FillPath(c.canvas, Rect(k.x0, 0, k.x1, 1), FillRule::NonZero, Solid(0, 0, 0),
             {.antiAlias = false});
    for (int x = 0; x < 4; ++x) {
      const bool covered = x >= k.first && x <= k.last;
      EXPECT_EQ(c.Alpha(x, 0), covered ? 255u : 0u) << k.x0 << ".." << k.x1 << " x=" << x;
    }
  }
}

TEST(FillPathTest, AliasedModeUsesRowCentres) {
  TestCanvas c(1, 4);
  FillPath(c.canvas, Rect(0, 0.5f, 1, 2.4f), FillRule::NonZero, Solid(0, 0, 0),
           {.antiAlias = false});
  EXPECT_EQ(c.Alpha(0, 0), 255u);  // centre 0.5 lies on the top edge: inside
  EXPECT_EQ(c.Alpha(0, 1), 255u);
  EXPECT_EQ(c.Alpha(0, 2), 0u);    // centre 2.5 is below 2.4
}

TEST(FillPathTest, ClipMaskMultipliesCoverage) {
  TestCanvas c(3, 1);
  Mask m{3, 1, {255, 128, 0}};
  FillPath(c.canvas, Rect(0, 0, 3, 1), FillRule::NonZero, Solid(255, 255, 255), {.clip = &m});
  EXPECT_EQ(c.At(0, 0), kWhite);
  EXPECT_EQ(c.At(1, 0), kHalfWhite);
  EXPECT_EQ(c.At(2, 0), 0u);
}

TEST(FillPathTest, ClipMaskSmallerThanCanvasClipsTheRest) {
  TestCanvas c(3, 2);
  Mask m{2, 1, {255, 255}};
  FillPath(c.canvas, Rect(0, 0, 3, 2), FillRule::NonZero, Solid(0, 0, 0), {.clip = &m});
  EXPECT_EQ(c.Alpha(1, 0), 255u);
  EXPECT_EQ(c.Alpha(2, 0), 0u);
  EXPECT_EQ(c.Alpha(0, 1), 0u);
}

TEST(FillMaskTest, KeepsMaximumOfOldAndNewCoverage) {
  Mask m{4, 1, {0, 200, 0, 0}};
  FillMask(m, Rect(0.5f, 0, 2, 1), FillRule::NonZero);
  EXPECT_EQ(m.coverage, (std::vector<uint8_t>{128, 255, 0, 0}));
  FillMask(m, Rect(3, 0, 3.25f, 1), FillRule::NonZero);
  EXPECT_EQ(m.coverage[3], 64);
}

TEST(ClearTest, WritesPremultipliedColourWithoutBlending) {
  TestCanvas c(2, 2, 0xFFFFFFFF);
  Clear(c.canvas, {255, 0, 0, 128});
  for (uint32_t p : c.pixels) EXPECT_EQ(p, 0x80800000u);
}

TEST(FillPathTest, RespectsStride) {
  std::vector<uint32_t> px(4 * 2, 0x12345678);
  Canvas c{px.data(), 2, 2, 4};
  FillPath(c, Rect(0, 0, 2, 2), FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_EQ(px[0], 0xFF000000u);
  EXPECT_EQ(px[5], 0xFF000000u);
  EXPECT_EQ(px[2], 0x12345678u);
  EXPECT_EQ(px[7], 0x12345678u);
}

// Regressions: hostile geometry must stay bounded and never touch memory
// outside the canvas.
TEST(FillPathRegressionTest, NonFiniteCoordinatesDrawNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {nan, inf, -inf}) {
    TestCanvas c(8, 8);
    Path p = Rect(1, 1, 6, 6);
    p.MoveTo(0, 0);
    p.QuadTo(bad, 3, 5, 5);
    FillPath(c.canvas, p, FillRule::NonZero, Solid(0, 0, 0));
    EXPECT_EQ(CoveredArea(c), 0.0);
  }
}

TEST(FillPathRegressionTest, HugeCoordinatesAreClippedQuickly) {
  const auto start = std::chrono::steady_clock::now();
  TestCanvas c(16, 16);
  // A rectangle far bigger than the canvas covers all of it exactly.
  FillPath(c.canvas, Rect(-1e30f, -1e30f, 1e30f, 1e30f), FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_DOUBLE_EQ(CoveredArea(c), 256.0);
  // A curve with an absurd bend and off-canvas triangles.
  Path p;
  p.MoveTo(-1e20f, 5);
  p.QuadTo(3e38f, -3e38f, 1e20f, 8);
  p.Close();
  p.Append(Polygon({{-100, -100}, {-50, -100}, {-60, -40}}), {});
  p.Append(Polygon({{1e9f, 1e9f}, {2e9f, 1e9f}, {2e9f, 3e9f}}), {});
  TestCanvas d(16, 16);
  FillPath(d.canvas, p, FillRule::EvenOdd, Solid(0, 0, 0));
  FillPath(d.canvas, Star(8, 8, 3e37f), FillRule::NonZero, Solid(0, 0, 0), {.antiAlias = false});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(200));
}

TEST(FillPathRegressionTest, ShapeLeftOfCanvasKeepsWindingForPixelsRight) {
  // Only the rectangle's right edge is inside the canvas.
  TestCanvas c(4, 1);
  FillPath(c.canvas, Rect(-1000, -5, 1.5f, 5), FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_EQ(c.Alpha(0, 0), 255u);
  EXPECT_EQ(c.Alpha(1, 0), 128u);
  EXPECT_EQ(c.Alpha(2, 0), 0u);
}

TEST(FillPathRegressionTest, EdgesOnCanvasBorderStayInside) {
  // Edges exactly at the right and bottom border must not write past them.
  std::vector<uint32_t> px(5 * 5, 0xAAAAAAAA);
  Canvas c{px.data(), 4, 4, 5};
  FillPath(c, Rect(3.5f, 3.5f, 4, 4), FillRule::NonZero, Solid(0, 0, 0));
  FillPath(c, Polygon({{0, 0}, {4, 4}, {0, 4}}), FillRule::NonZero, Solid(0, 0, 0),
           {.antiAlias = false});
  for (int y = 0; y < 5; ++y) EXPECT_EQ(px[size_t(y) * 5 + 4], 0xAAAAAAAAu);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(px[20 + x], 0xAAAAAAAAu);
}

TEST(FillPathRegressionTest, DegenerateInputDrawsNothing) {
  TestCanvas c(4, 4);
  Path empty;
  FillPath(c.canvas, empty, FillRule::NonZero, Solid(0, 0, 0));
  Path point;
  point.MoveTo(1, 1);
  point.Close();
  FillPath(c.canvas, point, FillRule::NonZero, Solid(0, 0, 0));
  FillPath(c.canvas, Polygon({{0, 0}, {4, 4}, {2, 2}}), FillRule::NonZero, Solid(0, 0, 0));
  Canvas none{};
  FillPath(none, Rect(0, 0, 4, 4), FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_EQ(CoveredArea(c), 0.0);
}

}  // namespace
}  // namespace orrivel::swf::raster

namespace orrivel::swf::raster {
namespace {

TEST(AdditiveFillTest, FillsSharingAnEdgeLeaveNoSeam) {
  // Two triangles meeting along a diagonal, as two fills of one shape.
  const Path upper = testing::Polygon({{0, 0}, {4, 0}, {4, 3}});
  const Path lower = testing::Polygon({{0, 0}, {4, 3}, {0, 3}});
  const Paint red = testing::Solid(255, 0, 0), blue = testing::Solid(0, 0, 255);
  // Source-over lets the background through along the seam.
  testing::TestCanvas plain(4, 3);
  FillPath(plain.canvas, upper, FillRule::NonZero, red);
  FillPath(plain.canvas, lower, FillRule::NonZero, blue);
  EXPECT_LT(plain.Alpha(1, 1), 255u);
  // Additive drawing into a transparent layer covers the seam fully.
  testing::TestCanvas layer(4, 3);
  FillPath(layer.canvas, upper, FillRule::NonZero, red, {.additive = true});
  FillPath(layer.canvas, lower, FillRule::NonZero, blue, {.additive = true});
  for (uint32_t p : layer.pixels) EXPECT_GE(p >> 24, 254u);  // coverage rounding only
  const uint32_t seam = layer.At(1, 1);
  EXPECT_GT((seam >> 16) & 0xFF, 0u);
  EXPECT_GT(seam & 0xFF, 0u);
  // Away from the seam the colours are exact.
  EXPECT_EQ(layer.At(3, 0), 0xFFFF0000u);
  EXPECT_EQ(layer.At(0, 2), 0xFF0000FFu);
}

TEST(AdditiveFillTest, SaturatesInsteadOfWrapping) {
  testing::TestCanvas c(2, 1, 0xF0F0F0F0);
  FillPath(c.canvas, testing::Rect(0, 0, 2, 1), FillRule::NonZero, testing::Solid(255, 255, 255),
           {.additive = true});
  EXPECT_EQ(c.At(0, 0), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace orrivel::swf::raster
