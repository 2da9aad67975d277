#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "raster_test_util.h"
#include "swf/raster/parallel.h"

namespace orrivel::swf::raster {
namespace {

using testing::CoveredArea;
using testing::Polygon;
using testing::Rect;
using testing::Solid;
using testing::TestCanvas;

constexpr uint32_t W = 0xFFFFFFFF, H = 0x80808080, R = 0xFFFF0000, B = 0xFF000000;

// Literal small canvases: coverage of edges, rounding and the draw options.
TEST(FillPathTest, SmallCanvasesMatchLiteralPixels) {
  const Mask half{3, 1, {255, 128, 0}}, narrow{2, 1, {255, 255}};
  struct Case {
    const char* name;
    int w, h;
    uint32_t background;
    Path path;
    Paint paint;
    DrawOptions opt;
    std::vector<uint32_t> want;
  };
  const Paint white = Solid(255, 255, 255), black = Solid(0, 0, 0);
  const DrawOptions aliased{.antiAlias = false};
  const Case cases[] = {
      {"aligned rect",
       4,
       4,
       0,
       Rect(1, 1, 3, 3),
       Solid(255, 0, 0),
       {},
       {0, 0, 0, 0, 0, R, R, 0, 0, R, R, 0, 0, 0, 0, 0}},
      {"half columns", 3, 3, 0, Rect(0.5f, 0, 2.5f, 3), white, {}, {H, W, H, H, W, H, H, W, H}},
      {"diagonal",
       3,
       3,
       0,
       Polygon({{0, 0}, {3, 0}, {0, 3}}),
       white,
       {},
       {W, W, H, W, H, 0, H, 0, 0}},
      {"quarter pixel",
       3,
       3,
       0,
       Rect(1.25f, 1.25f, 1.75f, 1.75f),
       Solid(0, 0, 255),
       {},
       {0, 0, 0, 0, 0x40000040, 0, 0, 0, 0}},
      {"translucent over opaque",
       1,
       1,
       0xFF0000FF,
       Rect(0, 0, 1, 1),
       Solid(255, 0, 0, 128),
       {},
       {0xFF80007F}},
      {"clip mask", 3, 1, 0, Rect(0, 0, 3, 1), white, {.clip = &half}, {W, H, 0}},
      {"small clip mask", 3, 2, 0, Rect(0, 0, 3, 2), black, {.clip = &narrow}, {B, B, 0, 0, 0, 0}},
      {"left of canvas", 4, 1, 0, Rect(-1000, -5, 1.5f, 5), black, {}, {B, 0x80000000, 0, 0}},
      {"additive saturates", 2, 1, 0xF0F0F0F0, Rect(0, 0, 2, 1), white, {.additive = true}, {W, W}},
      // Aliased: a pixel is covered when its centre is inside (top edge inclusive).
      {"aliased rows", 1, 4, 0, Rect(0, 0.5f, 1, 2.4f), black, aliased, {B, B, 0, 0}},
      {"aliased 0.4-1.6", 4, 1, 0, Rect(0.4f, 0, 1.6f, 1), black, aliased, {B, B, 0, 0}},
      {"aliased 0.6-1.4", 4, 1, 0, Rect(0.6f, 0, 1.4f, 1), black, aliased, {0, 0, 0, 0}},
      {"aliased 0.5-1.5", 4, 1, 0, Rect(0.5f, 0, 1.5f, 1), black, aliased, {B, 0, 0, 0}},
      {"aliased thin", 4, 1, 0, Rect(0.49f, 0, 0.51f, 1), black, aliased, {B, 0, 0, 0}},
      {"aliased off left", 4, 1, 0, Rect(-3, 0, 2.2f, 1), black, aliased, {B, B, 0, 0}},
      {"aliased off right", 4, 1, 0, Rect(1.5f, 0, 9, 1), black, aliased, {0, B, B, B}},
  };
  for (const Case& k : cases) {
    TestCanvas c(k.w, k.h, k.background);
    FillPath(c.canvas, k.path, FillRule::NonZero, k.paint, k.opt);
    for (size_t i = 0; i < k.want.size(); ++i) {
      EXPECT_EQ(c.pixels[i], k.want[i]) << k.name << " pixel " << i;
    }
  }
}

TEST(FillPathTest, CircleAndCurveAreasMatchGeometry) {
  TestCanvas c(64, 64);
  Path p;
  constexpr int kSides = 200;
  constexpr double kRadius = 23.3;
  for (int i = 0; i < kSides; ++i) {
    const double t = 2 * std::numbers::pi * i / kSides;
    const float x = float(31.7 + kRadius * std::cos(t)), y = float(30.2 + kRadius * std::sin(t));
    if (i == 0)
      p.MoveTo(x, y);
    else
      p.LineTo(x, y);
  }
  p.Close();
  FillPath(c.canvas, p, FillRule::NonZero, Solid(0, 0, 0));
  const double area = kSides / 2.0 * kRadius * kRadius * std::sin(2 * std::numbers::pi / kSides);
  EXPECT_NEAR(CoveredArea(c), area, 0.5);  // rounding of boundary pixels only
  // Between chord and parabola lies 2/3 of the control triangle.
  TestCanvas q(16, 16);
  Path curve;
  curve.MoveTo(0, 8);
  curve.QuadTo(8, -8, 16, 8);
  curve.Close();
  FillPath(q.canvas, curve, FillRule::NonZero, Solid(0, 0, 0));
  EXPECT_NEAR(CoveredArea(q), 2.0 / 3.0 * (16 * 16 / 2.0), 0.6);
}

// Five-pointed star drawn in one stroke: its centre pentagon has winding 2.
Path Star(float cx, float cy, float r) {
  Path p;
  for (int i = 0; i < 5; ++i) {
    const double t = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
    const float x = cx + r * float(std::cos(t)), y = cy + r * float(std::sin(t));
    if (i == 0)
      p.MoveTo(x, y);
    else
      p.LineTo(x, y);
  }
  p.Close();
  return p;
}

TEST(FillPathTest, FillRulesOnSelfOverlappingStar) {
  for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd}) {
    for (bool antiAlias : {true, false}) {
      TestCanvas c(40, 40);
      FillPath(c.canvas, Star(20, 20, 18), rule, Solid(0, 0, 0), {.antiAlias = antiAlias});
      EXPECT_EQ(c.Alpha(20, 20), rule == FillRule::NonZero ? 255u : 0u) << antiAlias;
      EXPECT_EQ(c.Alpha(20, 5), 255u) << "top point";
      EXPECT_EQ(c.Alpha(1, 1), 0u);
    }
  }
}

TEST(FillMaskTest, KeepsMaximumOfOldAndNewCoverage) {
  Mask m{4, 1, {0, 200, 0, 0}};
  FillMask(m, Rect(0.5f, 0, 2, 1), FillRule::NonZero);
  FillMask(m, Rect(3, 0, 3.25f, 1), FillRule::NonZero);
  EXPECT_EQ(m.coverage, (std::vector<uint8_t>{128, 255, 0, 64}));
}

TEST(ClearTest, WritesPremultipliedColourWithoutBlending) {
  TestCanvas c(2, 2, 0xFFFFFFFF);
  Clear(c.canvas, {255, 0, 0, 128});
  for (uint32_t p : c.pixels) EXPECT_EQ(p, 0x80800000u);
}

// Regressions: hostile geometry stays bounded and never touches memory outside
// the canvas (the time it takes is measured in bench/raster_bench.cpp).
TEST(FillPathRegressionTest, StrideAndBordersAreNeverCrossed) {
  std::vector<uint32_t> px(5 * 5, 0xAAAAAAAA);
  Canvas c{px.data(), 4, 4, 5};
  FillPath(c, Rect(0, 0, 2, 2), FillRule::NonZero, Solid(0, 0, 0));
  FillPath(c, Rect(3.5f, 3.5f, 4, 4), FillRule::NonZero, Solid(0, 0, 0));
  FillPath(c, Polygon({{0, 0}, {4, 4}, {0, 4}}), FillRule::NonZero, Solid(0, 0, 0),
           {.antiAlias = false});
  EXPECT_EQ(px[6], 0xFF000000u);
  EXPECT_EQ(px[2], 0xAAAAAAAAu);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(px[size_t(i) * 5 + 4], 0xAAAAAAAAu);
    EXPECT_EQ(px[20 + size_t(i)], 0xAAAAAAAAu);
  }
}

TEST(FillPathRegressionTest, HugeCoordinatesAreClipped) {
  TestCanvas c(16, 16);
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
}

TEST(FillPathRegressionTest, DegenerateOrNonFiniteInputDrawsNothing) {
  TestCanvas c(8, 8);
  Path point;
  point.MoveTo(1, 1);
  point.Close();
  for (const Path& p : {Path{}, point, Polygon({{0, 0}, {4, 4}, {2, 2}})}) {
    FillPath(c.canvas, p, FillRule::NonZero, Solid(0, 0, 0));
  }
  Canvas none{};
  FillPath(none, Rect(0, 0, 4, 4), FillRule::NonZero, Solid(0, 0, 0));
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    Path p = Rect(1, 1, 6, 6);
    p.MoveTo(0, 0);
    p.QuadTo(bad, 3, 5, 5);
    FillPath(c.canvas, p, FillRule::NonZero, Solid(0, 0, 0));
  }
  EXPECT_EQ(CoveredArea(c), 0.0);
}

TEST(AdditiveFillTest, FillsSharingAnEdgeLeaveNoSeam) {
  // Two triangles meeting along a diagonal, as two fills of one shape.
  const Path upper = Polygon({{0, 0}, {4, 0}, {4, 3}});
  const Path lower = Polygon({{0, 0}, {4, 3}, {0, 3}});
  const Paint red = Solid(255, 0, 0), blue = Solid(0, 0, 255);
  // Source-over lets the background through along the seam.
  TestCanvas plain(4, 3);
  FillPath(plain.canvas, upper, FillRule::NonZero, red);
  FillPath(plain.canvas, lower, FillRule::NonZero, blue);
  EXPECT_LT(plain.Alpha(1, 1), 255u);
  // Additive drawing into a transparent layer covers the seam fully.
  TestCanvas layer(4, 3);
  FillPath(layer.canvas, upper, FillRule::NonZero, red, {.additive = true});
  FillPath(layer.canvas, lower, FillRule::NonZero, blue, {.additive = true});
  for (uint32_t p : layer.pixels) EXPECT_GE(p >> 24, 254u);  // coverage rounding only
  EXPECT_GT((layer.At(1, 1) >> 16) & 0xFF, 0u);
  EXPECT_GT(layer.At(1, 1) & 0xFF, 0u);
  EXPECT_EQ(layer.At(3, 0), 0xFFFF0000u);
  EXPECT_EQ(layer.At(0, 2), 0xFF0000FFu);
}

}  // namespace
}  // namespace orrivel::swf::raster

namespace orrivel::swf::raster {
namespace {

// A batch of many small overlapping fills, strokes, a gradient and a
// translucent colour, under a clip mask and without one, draws the same
// pixels as the fills drawn one by one, whatever the thread count.
TEST(FillPathsTest, BatchesDrawWhatFillsOneByOneDraw) {
  constexpr int kW = 320, kH = 240;
  std::vector<Path> paths;
  std::vector<Paint> paints;
  for (int i = 0; i < 60; ++i) {
    const float x = float(i * 37 % 280), y = float(i * 53 % 200);
    paths.push_back(i % 3 == 0 ? Polygon({{x, y}, {x + 40.5f, y + 7}, {x + 12, y + 38.25f}})
                               : Rect(x + 0.3f, y + 0.6f, x + 31.7f, y + 24.2f));
    paints.push_back(Solid(uint8_t(i * 40), uint8_t(255 - i * 3), 90, i % 4 ? 255 : 128));
  }
  paints[7].kind = Paint::Kind::LinearGradient;
  paints[7].stops = {{0, {255, 0, 0, 255}}, {1, {0, 0, 255, 160}}};
  paints[7].deviceToGradient = Matrix{400, 0, 0, 400, -16384, 0};
  const Matrix scale{1.5, 0.2, -0.1, 1.25, 4.5, -3};
  Stroke stroke;
  stroke.width = 3;
  Mask clip{kW, kH, std::vector<uint8_t>(size_t(kW) * kH, 200)};
  for (int y = 0; y < kH; y += 2) std::fill_n(clip.coverage.begin() + y * kW, kW / 2, 0);

  for (const Mask* mask : {static_cast<const Mask*>(nullptr), static_cast<const Mask*>(&clip)}) {
    const DrawOptions options{true, mask};
    std::vector<FillItem> items;
    TestCanvas one(kW, kH, 0xFF204060u);
    for (size_t i = 0; i < paths.size(); ++i) {
      const bool stroked = i % 5 == 0;
      items.push_back({&paths[i], scale, i % 2 ? FillRule::EvenOdd : FillRule::NonZero, &paints[i],
                       stroked ? &stroke : nullptr});
      Path device;
      device.Append(paths[i], scale);
      if (stroked) {
        StrokePath(one.canvas, device, stroke, paints[i], options);
      } else {
        FillPath(one.canvas, device, items.back().rule, paints[i], options);
      }
    }
    for (int threads : {1, 2, 3}) {
      WorkerPool pool(threads);
      const ScopedWorkers scope(&pool);
      TestCanvas batch(kW, kH, 0xFF204060u);
      FillPaths(batch.canvas, items, options);
      EXPECT_EQ(batch.pixels, one.pixels) << threads << " threads, clip " << (mask != nullptr);
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::raster
