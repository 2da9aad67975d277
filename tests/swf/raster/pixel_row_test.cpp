#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "raster_test_util.h"
#include "swf/raster/paint.h"
#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/sample_row.h"

namespace orrivel::swf::raster {
namespace {

using testing::Rect;
using testing::TestCanvas;

uint32_t RandomPremultiplied(std::mt19937& rng) {
  const uint32_t a = rng() % 256;
  const auto c = [&] { return a == 0 ? 0u : rng() % (a + 1); };
  return PackArgb(a, c(), c(), c());
}

void RowLoopsMatchScalarFormulas();

TEST(PixelTest, Div255RoundsToNearest) {
  for (uint32_t x = 0; x <= 255 * 255; ++x) ASSERT_EQ(Div255(x), (x * 2 + 255) / 510) << x;
}

TEST(PixelTest, SourceOverKeepsOpaqueAndTransparentExact) {
  EXPECT_EQ(SrcOver(0x12345678, 0xFF010203), 0xFF010203u);
  EXPECT_EQ(SrcOver(0x80402010, 0), 0x80402010u);
  EXPECT_EQ(ScalePixel(0xFFFFFFFF, 255), 0xFFFFFFFFu);
  EXPECT_EQ(ScalePixel(0xFFFFFFFF, 0), 0u);
  EXPECT_EQ(SrcOver(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu);  // no carry between channels
}

// Every vector width the processor has must agree with the scalar formulas
// bit for bit, for every length (tails included).
TEST(PixelRowTest, RowLoopsMatchScalarFormulas) {
  const SimdLevel best = BestSimd();
  for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
    if (level > best) continue;
    UseSimd(level);
    SCOPED_TRACE(SimdName(level));
    RowLoopsMatchScalarFormulas();
  }
  UseSimd(best);
}

void RowLoopsMatchScalarFormulas() {
  std::mt19937 rng(7);
  for (int n = 0; n < 40; ++n) {
    std::vector<uint32_t> dst(n), src(n);
    std::vector<uint8_t> cov(n);
    for (int i = 0; i < n; ++i) {
      dst[i] = RandomPremultiplied(rng);
      src[i] = RandomPremultiplied(rng);
      cov[i] = uint8_t(rng() % 4 == 0 ? 255 : rng() % 256);
    }
    const uint32_t solid = RandomPremultiplied(rng);
    const uint8_t c = uint8_t(rng() % 256);
    std::vector<uint32_t> a = dst, b = dst, d = dst, e = dst, f = dst;
    BlendSolid(a.data(), n, solid);
    BlendSolidCoverage(b.data(), n, solid, cov.data());
    BlendSpan(d.data(), n, src.data(), c);
    BlendSpanCoverage(e.data(), n, src.data(), cov.data());
    BlendSpan(f.data(), n, src.data(), 255);
    std::vector<uint32_t> g(n);
    LerpRow(g.data(), dst.data(), src.data(), cov.data(), n);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(a[i], SrcOver(dst[i], solid));
      EXPECT_EQ(b[i], SrcOver(dst[i], ScalePixel(solid, cov[i])));
      EXPECT_EQ(d[i], SrcOver(dst[i], ScalePixel(src[i], c)));
      EXPECT_EQ(e[i], SrcOver(dst[i], ScalePixel(src[i], cov[i])));
      EXPECT_EQ(f[i], SrcOver(dst[i], src[i]));
      EXPECT_EQ(g[i], Lerp256(dst[i], src[i], cov[i]));
    }
  }
}

// Walks through a picture give the scalar walk's pixels at every width:
// inside, off every edge, backwards, steep, and on one-texel pictures.
TEST(PixelRowTest, SampledWalksMatchTheScalarWalk) {
  constexpr int64_t kOne = int64_t(1) << 32;
  struct Case {
    const char* name;
    int width, height;
    double u, v, du, dv;  // in texels
  } const cases[] = {
      {"rotated inside", 37, 29, 3.3, 2.7, 0.71, 0.23},
      {"magnified", 37, 29, 10.1, 5.9, 0.13, -0.05},
      {"minified", 37, 29, 0.5, 0.5, 2.9, 1.1},
      {"from off the left and top", 37, 29, -6.2, -3.9, 0.9, 0.45},
      {"backwards off the right and bottom", 37, 29, 45.5, 31.2, -0.8, -0.3},
      {"steep", 37, 29, 18.0, -40.0, 0.02, 3.7},
      {"one texel", 1, 1, -2.5, 0.25, 0.4, 0.1},
      {"one row", 9, 1, 1.5, -0.75, 0.6, 0.2},
  };
  std::mt19937 rng(11);
  const SimdLevel best = BestSimd();
  for (const Case& c : cases) {
    std::vector<uint32_t> pixels(size_t(c.width) * c.height);
    for (uint32_t& p : pixels) p = RandomPremultiplied(rng);
    const TexelWalk walk{pixels.data(),
                         c.width,
                         c.height,
                         int64_t(c.u * kOne),
                         int64_t(c.v * kOne),
                         int64_t(c.du * kOne),
                         int64_t(c.dv * kOne)};
    for (int n : {0, 1, 7, 8, 9, 23, 64}) {
      std::vector<uint32_t> nearest(n), bilinear(n);
      scalar::SampleNearest(walk, n, nearest.data());
      scalar::SampleBilinear(walk, n, bilinear.data());
      for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
        if (level > best) continue;
        UseSimd(level);
        std::vector<uint32_t> a(n), b(n);
        SampleNearest(walk, n, a.data());
        SampleBilinear(walk, n, b.data());
        EXPECT_EQ(a, nearest) << c.name << " n=" << n << " " << SimdName(level);
        EXPECT_EQ(b, bilinear) << c.name << " n=" << n << " " << SimdName(level);
      }
      UseSimd(best);
    }
  }
  // The walk's own arithmetic, at one known pixel: texel (1, 0) and (1, 1)
  // mixed by a quarter down, then (2, *) by half across.
  const uint32_t picture[] = {0, 0xFF000000u, 0xFF0000FFu, 0, 0xFFFF0000u, 0xFF00FF00u};
  const TexelWalk known{picture, 3, 2, kOne + kOne / 2, kOne / 4, 0, 0};
  uint32_t one = 0;
  scalar::SampleBilinear(known, 1, &one);
  EXPECT_EQ(one, Lerp256(Lerp256(0xFF000000u, 0xFFFF0000u, 64),
                         Lerp256(0xFF0000FFu, 0xFF00FF00u, 64), 128));
}

// A shader must give the same pixel whether it is shaded in a long span or
// alone (vector bodies and scalar tails agree).
TEST(PixelRowTest, ShadersDoNotDependOnSpanLength) {
  Image img{3, 2, {0xFF102030, 0x80402010, 0xFFFFFFFF, 0x00000000, 0xFF00FF00, 0x40404040}};
  std::vector<Paint> paints;
  // Linear, radial and focal radial gradients.
  for (float focal : {-1.0f, 0.0f, 0.6f}) {
    for (Spread spread : {Spread::Pad, Spread::Reflect, Spread::Repeat}) {
      Paint p;
      p.kind = focal < 0 ? Paint::Kind::LinearGradient : Paint::Kind::RadialGradient;
      p.spread = spread;
      p.stops = {{0, {255, 0, 0, 255}}, {0.4f, {0, 0, 255, 128}}, {1, {0, 255, 0, 255}}};
      p.deviceToGradient = {3000, 1200, -800, 2500, -20000, -9000};
      p.focalPoint = std::max(focal, 0.0f);
      paints.push_back(p);
    }
  }
  for (bool smooth : {false, true}) {
    for (bool repeat : {false, true}) {
      for (const Matrix& m :
           {Matrix{0.3, 0, 0, 0.4, -1, 0.2}, Matrix{0.3, 0.1, -0.2, 0.4, -1, 0.2}}) {
        Paint p;
        p.kind = Paint::Kind::Bitmap;
        p.bitmap = &img;
        p.deviceToBitmap = m;
        p.smooth = smooth;
        p.repeat = repeat;
        paints.push_back(p);
      }
    }
  }
  for (size_t k = 0; k < paints.size(); ++k) {
    TestCanvas whole(23, 3), single(23, 3);
    FillPath(whole.canvas, Rect(0, 0, 23, 3), FillRule::NonZero, paints[k]);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 23; ++x) {
        FillPath(single.canvas, Rect(float(x), float(y), float(x + 1), float(y + 1)),
                 FillRule::NonZero, paints[k]);
      }
    }
    EXPECT_EQ(whole.pixels, single.pixels) << "paint " << k;
  }
}

TEST(PixelRowTest, ShadedEdgesAreWeightedByCoverage) {
  const Image img{1, 1, {0xFF804020}};
  Paint p;
  p.kind = Paint::Kind::Bitmap;
  p.bitmap = &img;
  p.repeat = true;
  TestCanvas c(3, 1);
  FillPath(c.canvas, Rect(0.5f, 0, 2.5f, 1), FillRule::NonZero, p);
  EXPECT_EQ(c.At(0, 0), ScalePixel(0xFF804020, 128));
  EXPECT_EQ(c.At(1, 0), 0xFF804020u);
  EXPECT_EQ(c.At(2, 0), ScalePixel(0xFF804020, 128));
}

}  // namespace
}  // namespace orrivel::swf::raster

namespace orrivel::swf::raster {
namespace {

// Magnified, unrotated bitmaps take a path of their own when clamped; away
// from the edges clamping and repeating pick the same texels, so both must
// give the same pixels, forwards and mirrored, at any span offset.
TEST(PixelRowTest, MagnifiedClampedRowsMatchRepeatingOnesInside) {
  Image img{8, 3, {}};
  std::mt19937 rng(11);
  for (int i = 0; i < 24; ++i) img.pixels.push_back(RandomPremultiplied(rng));
  struct Case {
    double a, tx;  // device x to bitmap x
    int x, count;
  };
  const Case cases[] = {{0.3, 1.2, 0, 19},  {0.5, 1.0, 3, 9},    {0.999, 1.01, 0, 5},
                        {-0.3, 6.4, 0, 17}, {-0.45, 6.9, 2, 11}, {0.07, 2.5, 0, 60}};
  for (const Case& c : cases) {
    for (double ty : {0.6, 1.7}) {
      Paint p;
      p.kind = Paint::Kind::Bitmap;
      p.bitmap = &img;
      p.smooth = true;
      p.deviceToBitmap = Matrix{c.a, 0, 0, 0.25, c.tx, ty};
      p.repeat = false;
      std::vector<uint32_t> clamped(c.count), repeated(c.count);
      MakeBitmapShader(p)->Shade(c.x, 0, c.count, clamped.data());
      p.repeat = true;
      MakeBitmapShader(p)->Shade(c.x, 0, c.count, repeated.data());
      EXPECT_EQ(clamped, repeated) << "scale " << c.a << " from " << c.tx << ", row " << ty;
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::raster
