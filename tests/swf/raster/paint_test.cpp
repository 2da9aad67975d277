#include <gtest/gtest.h>

#include <cmath>

#include "raster_test_util.h"

namespace orrivel::swf::raster {
namespace {

using testing::Rect;
using testing::TestCanvas;

int Red(uint32_t p) { return int((p >> 16) & 0xFF); }

Paint Gradient(Paint::Kind kind, Rgba from, Rgba to, const Matrix& deviceToGradient,
               Spread spread = Spread::Pad) {
  Paint p;
  p.kind = kind;
  p.stops = {{0, from}, {1, to}};
  p.deviceToGradient = deviceToGradient;
  p.spread = spread;
  return p;
}

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kRed{255, 0, 0, 255};

// Device x 0..256 onto the gradient square -16384..16384.
const Matrix kAcross256{128, 0, 0, 1, -16384, 0};

TEST(GradientTest, LinearPadRampsAcrossTheSquare) {
  TestCanvas c(256, 1);
  FillPath(c.canvas, Rect(0, 0, 256, 1), FillRule::NonZero,
           Gradient(Paint::Kind::LinearGradient, kBlack, kRed, kAcross256));
  for (int x = 0; x < 256; ++x) {
    EXPECT_NEAR(Red(c.At(x, 0)), x, 1) << x;  // tolerance: table quantisation
    EXPECT_EQ(c.Alpha(x, 0), 255u);
  }
}

TEST(GradientTest, SpreadModesOutsideTheSquare) {
  // The square covers device x 0..256; sample the canvas 256 pixels further.
  struct Case {
    Spread spread;
    int nearStart, nearEnd;  // red at x = 256 + 10 and x = 512 - 10
  };
  for (const Case& k : {Case{Spread::Pad, 255, 255}, Case{Spread::Repeat, 10, 245},
                        Case{Spread::Reflect, 245, 10}}) {
    TestCanvas c(512, 1);
    FillPath(c.canvas, Rect(0, 0, 512, 1), FillRule::NonZero,
             Gradient(Paint::Kind::LinearGradient, kBlack, kRed, kAcross256, k.spread));
    EXPECT_NEAR(Red(c.At(266, 0)), k.nearStart, 2) << int(k.spread);
    EXPECT_NEAR(Red(c.At(501, 0)), k.nearEnd, 2) << int(k.spread);
  }
}

TEST(GradientTest, RadialFromCentreOrFocusToTheRim) {
  // Circle of radius 16384 mapped to radius 50 around (50, 50).
  const double s = 16384.0 / 50;
  struct Case {
    float focalPoint;
    std::vector<std::pair<int, int>> redAtX;  // on row 50
    int tolerance;
  } cases[] = {{0, {{50, 255}, {75, 128}, {25, 128}}, 5},      // centre 0.7 px off
               {0.5f, {{75, 255}, {87, 128}, {37, 128}}, 8}};  // focus at (75, 50)
  for (const Case& k : cases) {
    Paint p =
        Gradient(Paint::Kind::RadialGradient, kRed, kBlack, Matrix{s, 0, 0, s, -50 * s, -50 * s});
    p.focalPoint = k.focalPoint;
    TestCanvas c(100, 100);
    FillPath(c.canvas, Rect(0, 0, 100, 100), FillRule::NonZero, p);
    for (auto [x, red] : k.redAtX) EXPECT_NEAR(Red(c.At(x, 50)), red, k.tolerance) << x;
    EXPECT_EQ(Red(c.At(1, 1)), 0);  // beyond the rim: padded
    EXPECT_EQ(Red(c.At(99, 99)), 0);
  }
}

TEST(GradientTest, LinearRgbInterpolatesInLinearLight) {
  for (bool linear : {false, true}) {
    Paint p = Gradient(Paint::Kind::LinearGradient, kBlack, kRed, kAcross256);
    p.linearRgb = linear;
    TestCanvas c(256, 1);
    FillPath(c.canvas, Rect(0, 0, 256, 1), FillRule::NonZero, p);
    // Mid-way: sRGB gives 128, linear light 0.5 encodes to 188.
    EXPECT_NEAR(Red(c.At(128, 0)), linear ? 188 : 128, 2) << linear;
  }
}

TEST(GradientTest, TranslucentStopsArePremultiplied) {
  Paint p = Gradient(Paint::Kind::LinearGradient, {255, 0, 0, 0}, {255, 0, 0, 255}, kAcross256);
  TestCanvas c(256, 1);
  FillPath(c.canvas, Rect(0, 0, 256, 1), FillRule::NonZero, p);
  for (int x : {0, 64, 128, 255}) {
    EXPECT_EQ(Red(c.At(x, 0)), int(c.Alpha(x, 0))) << x;
    EXPECT_NEAR(int(c.Alpha(x, 0)), x, 1);
  }
}

TEST(PaintTest, UnusablePaintDrawsNothing) {
  Paint none = Gradient(Paint::Kind::LinearGradient, kBlack, kRed, kAcross256);
  none.stops.clear();
  Paint nan =
      Gradient(Paint::Kind::RadialGradient, kBlack, kRed, Matrix{std::nan(""), 0, 0, 1, 0, 0});
  const Image shortPixels{4, 4, {0xFFFFFFFF}};
  Paint noBitmap, brokenBitmap;
  noBitmap.kind = brokenBitmap.kind = Paint::Kind::Bitmap;
  brokenBitmap.bitmap = &shortPixels;
  for (const Paint& p : {none, nan, noBitmap, brokenBitmap}) {
    TestCanvas c(4, 4);
    FillPath(c.canvas, Rect(0, 0, 4, 4), FillRule::NonZero, p);
    EXPECT_EQ(c.Alpha(2, 2), 0u);
  }
}

// 2x2 bitmap: red, green / blue, translucent white.
Image Checker() { return {2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80808080}}; }

Paint BitmapPaint(const Image& img, const Matrix& m, bool repeat, bool smooth) {
  Paint p;
  p.kind = Paint::Kind::Bitmap;
  p.bitmap = &img;
  p.deviceToBitmap = m;
  p.repeat = repeat;
  p.smooth = smooth;
  return p;
}

TEST(BitmapTest, NearestCopiesAndScales) {
  const Image img = Checker();
  TestCanvas c(4, 4);
  FillPath(c.canvas, Rect(0, 0, 4, 4), FillRule::NonZero,
           BitmapPaint(img, Matrix{0.5, 0, 0, 0.5, 0, 0}, false, false));
  EXPECT_EQ(c.At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(c.At(1, 1), 0xFFFF0000u);
  EXPECT_EQ(c.At(2, 0), 0xFF00FF00u);
  EXPECT_EQ(c.At(3, 3), 0x80808080u);
}

TEST(BitmapTest, RepeatWrapsAndClampExtendsEdges) {
  const Image img = Checker();
  struct Case {
    bool repeat;
    uint32_t at2x0, at3x3;
  };
  for (const Case& k : {Case{true, 0xFFFF0000, 0x80808080}, Case{false, 0xFF00FF00, 0x80808080}}) {
    TestCanvas c(4, 4);
    FillPath(c.canvas, Rect(0, 0, 4, 4), FillRule::NonZero,
             BitmapPaint(img, Matrix{}, k.repeat, false));
    EXPECT_EQ(c.At(2, 0), k.at2x0) << k.repeat;
    EXPECT_EQ(c.At(3, 3), k.at3x3) << k.repeat;
    EXPECT_EQ(c.At(3, 0), 0xFF00FF00u);
    EXPECT_EQ(c.At(0, 2), k.repeat ? 0xFFFF0000u : 0xFF0000FFu);
  }
}

TEST(BitmapTest, BilinearBlendsNeighbours) {
  // One row: black then white, magnified 4x.
  const Image img{2, 1, {0xFF000000, 0xFFFFFFFF}};
  TestCanvas c(8, 1);
  FillPath(c.canvas, Rect(0, 0, 8, 1), FillRule::NonZero,
           BitmapPaint(img, Matrix{0.25, 0, 0, 1, 0, 0}, false, true));
  // Sample positions (x + 0.5) / 4 - 0.5: -0.375 .. 1.375, clamped at edges.
  const int want[8] = {0, 0, 32, 96, 159, 223, 255, 255};
  for (int x = 0; x < 8; ++x) EXPECT_NEAR(Red(c.At(x, 0)), want[x], 2) << x;
  // Nearest sampling keeps hard edges.
  TestCanvas n(8, 1);
  FillPath(n.canvas, Rect(0, 0, 8, 1), FillRule::NonZero,
           BitmapPaint(img, Matrix{0.25, 0, 0, 1, 0, 0}, false, false));
  EXPECT_EQ(Red(n.At(3, 0)), 0);
  EXPECT_EQ(Red(n.At(4, 0)), 255);
}

TEST(BitmapTest, ColorTransformActsOnStraightColour) {
  const Image img{1, 1, {0x80800000}};  // straight red 255 at alpha 128
  Paint p = BitmapPaint(img, Matrix{}, false, false);
  p.colorTransform.rMult = 128;  // halve red
  p.colorTransform.gAdd = 255;   // full green
  TestCanvas c(1, 1);
  FillPath(c.canvas, Rect(0, 0, 1, 1), FillRule::NonZero, p);
  // Straight (127, 255, 0, 128) premultiplied.
  EXPECT_EQ(c.At(0, 0), 0x80408000u);
}

TEST(BitmapTest, FarAwayCoordinatesStayInBounds) {
  const Image img = Checker();
  for (bool repeat : {false, true}) {
    TestCanvas c(4, 4);
    FillPath(c.canvas, Rect(0, 0, 4, 4), FillRule::NonZero,
             BitmapPaint(img, Matrix{1e12, 3e11, -2e13, 1, 1e300, -1e300}, repeat, true));
    EXPECT_NE(c.Alpha(0, 0), 0u);
  }
}

}  // namespace
}  // namespace orrivel::swf::raster
