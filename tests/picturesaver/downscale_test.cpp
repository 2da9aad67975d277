#include "picturesaver/downscale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace orrivel {
namespace {

Bitmap Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  Bitmap bmp{w, h, {}};
  bmp.pixels.resize(bmp.Stride() * h);
  for (size_t i = 0; i < bmp.pixels.size(); i += 4) {
    bmp.pixels[i] = b;
    bmp.pixels[i + 1] = g;
    bmp.pixels[i + 2] = r;
    bmp.pixels[i + 3] = a;
  }
  return bmp;
}

const uint8_t* Pixel(const Bitmap& bmp, int x, int y) {
  return bmp.pixels.data() + static_cast<size_t>(y) * bmp.Stride() + static_cast<size_t>(x) * 4;
}

double ToLinear(int c) {
  double v = c / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
int ToSrgb(double l) {
  double v = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
  return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

// Straightforward area average in double precision, pixel by pixel.
Bitmap Reference(const Bitmap& src, int dw, int dh) {
  Bitmap out = Filled(dw, dh, 0, 0, 0, 0);
  double sx = static_cast<double>(src.width) / dw, sy = static_cast<double>(src.height) / dh;
  for (int y = 0; y < dh; ++y) {
    for (int x = 0; x < dw; ++x) {
      double sum[4] = {0, 0, 0, 0}, area = 0;
      for (int v = static_cast<int>(y * sy); v < std::ceil((y + 1) * sy) && v < src.height; ++v) {
        double wy = std::min(v + 1.0, (y + 1) * sy) - std::max<double>(v, y * sy);
        for (int u = static_cast<int>(x * sx); u < std::ceil((x + 1) * sx) && u < src.width; ++u) {
          double w = wy * (std::min(u + 1.0, (x + 1) * sx) - std::max<double>(u, x * sx));
          const uint8_t* p = Pixel(src, u, v);
          double a = p[3] / 255.0;
          for (int c = 0; c < 3; ++c) {
            sum[c] += p[3] ? w * ToLinear(std::min(255, (p[c] * 255 + p[3] / 2) / p[3])) * a : 0;
          }
          sum[3] += w * a;
          area += w;
        }
      }
      uint8_t* o = out.Row(y) + x * 4;
      double a = sum[3] / area;
      int a8 = static_cast<int>(std::lround(a * 255));
      o[3] = static_cast<uint8_t>(a8);
      for (int c = 0; c < 3; ++c) {
        o[c] = a8 ? static_cast<uint8_t>((ToSrgb(sum[c] / area / a) * a8 + 127) / 255) : 0;
      }
    }
  }
  return out;
}

TEST(DownscaleTest, UniformColoursSurviveExactly) {
  struct Case {
    uint8_t b, g, r, a;
  } cases[] = {{0, 0, 0, 255},     {255, 255, 255, 255}, {1, 2, 3, 255},
               {12, 200, 77, 255}, {0, 0, 0, 0},         {64, 32, 0, 128}};
  for (const auto& c : cases) {
    auto out = Downscale(Filled(37, 23, c.b, c.g, c.r, c.a).View(), 10, 7);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->pixels, Filled(10, 7, c.b, c.g, c.r, c.a).pixels);
  }
}

TEST(DownscaleTest, AveragesInLinearLight) {
  // Black and white stripes halve to the grey of half the light (188), not 128.
  Bitmap src = Filled(4, 2, 0, 0, 0, 255);
  for (int x = 0; x < 4; x += 2)
    std::fill_n(src.Row(0) + x * 4, 3, 255), std::fill_n(src.Row(1) + x * 4, 3, 255);
  auto out = Downscale(src.View(), 2, 1);
  ASSERT_TRUE(out);
  EXPECT_EQ(Pixel(*out, 0, 0)[0], 188);
  EXPECT_EQ(Pixel(*out, 1, 0)[2], 188);
}

TEST(DownscaleTest, MatchesAPlainReferenceOnNoise) {
  std::mt19937 rng(7);
  struct Case {
    int sw, sh, dw, dh;
    bool translucent;
  } cases[] = {{61, 47, 20, 15, false},
               {61, 47, 60, 46, true},
               {100, 9, 7, 3, true},
               {9, 100, 9, 13, false},
               {64, 64, 1, 1, true}};
  for (const auto& c : cases) {
    Bitmap src = Filled(c.sw, c.sh, 0, 0, 0, 0);
    for (size_t i = 0; i < src.pixels.size(); i += 4) {
      uint8_t a = c.translucent ? static_cast<uint8_t>(rng()) : 255;
      for (int k = 0; k < 3; ++k) src.pixels[i + k] = static_cast<uint8_t>(rng() % (a + 1u));
      src.pixels[i + 3] = a;
    }
    auto out = Downscale(src.View(), c.dw, c.dh);
    ASSERT_TRUE(out);
    Bitmap ref = Reference(src, c.dw, c.dh);
    int worst = 0;
    for (size_t i = 0; i < ref.pixels.size(); ++i) {
      worst = std::max(worst, std::abs(out->pixels[i] - ref.pixels[i]));
    }
    EXPECT_LE(worst, 1) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
  }
}

TEST(DownscaleTest, NeverEnlargesAndCopiesSameSize) {
  Bitmap src = Filled(5, 4, 9, 8, 7, 255);
  src.Row(2)[0] = 100;
  auto same = Downscale(src.View(), 5, 4);
  ASSERT_TRUE(same);
  EXPECT_EQ(same->pixels, src.pixels);
  auto bigger = Downscale(src.View(), 50, 2);
  ASSERT_TRUE(bigger);
  EXPECT_EQ(bigger->width, 5);
  EXPECT_EQ(bigger->height, 2);
}

TEST(DownscaleTest, HonoursTheSourceStride) {
  // A 2x2 picture inside rows of 3 pixels; the third column must be ignored.
  Bitmap wide = Filled(3, 2, 10, 10, 10, 255);
  for (int y = 0; y < 2; ++y) std::fill_n(wide.Row(y) + 8, 4, 255);
  BitmapView view{wide.pixels.data(), 2, 2, wide.Stride()};
  auto out = Downscale(view, 1, 1);
  ASSERT_TRUE(out);
  EXPECT_EQ(Pixel(*out, 0, 0)[0], 10);
}

TEST(DownscaleTest, RejectsInvalidInput) {
  Bitmap src = Filled(4, 4, 0, 0, 0, 255);
  EXPECT_FALSE(Downscale(src.View(), 0, 3));
  EXPECT_FALSE(Downscale(src.View(), 3, -1));
  EXPECT_FALSE(Downscale(BitmapView{}, 3, 3));
  EXPECT_FALSE(Downscale(BitmapView{src.pixels.data(), 4, 4, 8}, 2, 2)) << "stride too short";
}

}  // namespace
}  // namespace orrivel

namespace orrivel {
namespace {

TEST(RowDownscalerTest, StripsGiveTheSameResultAsTheWhole) {
  std::mt19937 rng(3);
  Bitmap src = Filled(50, 41, 0, 0, 0, 255);
  for (auto& byte : src.pixels) byte = static_cast<uint8_t>(rng() | 0);
  for (size_t i = 3; i < src.pixels.size(); i += 4) src.pixels[i] = 255;
  src.Row(20)[3] = 100, src.Row(20)[0] = 50;  // one translucent row among opaque ones
  auto whole = Downscale(src.View(), 17, 9);
  ASSERT_TRUE(whole);
  for (int strip : {1, 4, 41}) {
    RowDownscaler scaler;
    ASSERT_TRUE(scaler.Start(50, 41, 17, 9));
    for (int y = 0; y < 41; y += strip) {
      int n = std::min(strip, 41 - y);
      EXPECT_FALSE(scaler.Done());
      ASSERT_TRUE(scaler.AddRows(BitmapView{src.Row(y), 50, n, src.Stride()}));
    }
    auto out = scaler.Finish();
    ASSERT_TRUE(out) << strip;
    EXPECT_EQ(out->pixels, whole->pixels) << strip;
  }
}

TEST(RowDownscalerTest, RefusesRowsThatDoNotFit) {
  Bitmap src = Filled(8, 8, 1, 1, 1, 255);
  RowDownscaler scaler;
  EXPECT_FALSE(scaler.AddRows(src.View())) << "not started";
  ASSERT_TRUE(scaler.Start(8, 6, 4, 3));
  EXPECT_FALSE(scaler.AddRows(src.View())) << "more rows than the source has";
  EXPECT_FALSE(scaler.AddRows(BitmapView{src.pixels.data(), 7, 2, src.Stride()})) << "width";
  EXPECT_FALSE(scaler.Finish()) << "unfinished";
  ASSERT_TRUE(scaler.Start(8, 6, 4, 3));
  ASSERT_TRUE(scaler.AddRows(BitmapView{src.pixels.data(), 8, 6, src.Stride()}));
  EXPECT_TRUE(scaler.Finish());
}

}  // namespace
}  // namespace orrivel
