// Random hostile geometry: whatever the input, drawing stays inside the
// canvas and finishes quickly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "raster_test_util.h"

namespace orrivel::swf::raster {
namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;

float HostileCoordinate(std::mt19937& rng) {
  static const float kSpecial[] = {0.0f,
                                   -0.0f,
                                   1e-30f,
                                   -1e-30f,
                                   1e30f,
                                   -1e30f,
                                   3.4e38f,
                                   -3.4e38f,
                                   16.0f,
                                   15.999999f,
                                   16.000001f,
                                   0.5f,
                                   std::numeric_limits<float>::denorm_min()};
  switch (rng() % 4) {
    case 0:
      return kSpecial[rng() % std::size(kSpecial)];
    case 1:
      return std::uniform_real_distribution<float>(-40, 56)(rng);
    case 2:
      return std::uniform_real_distribution<float>(-1e7f, 1e7f)(rng);
    default:
      return float(int(rng() % 17));
  }
}

Path RandomPath(std::mt19937& rng) {
  Path p;
  const int n = 1 + int(rng() % 12);
  for (int i = 0; i < n; ++i) {
    const float x = HostileCoordinate(rng), y = HostileCoordinate(rng);
    switch (rng() % 5) {
      case 0:
        p.MoveTo(x, y);
        break;
      case 1:
        p.QuadTo(HostileCoordinate(rng), HostileCoordinate(rng), x, y);
        break;
      case 2:
        p.Close();
        break;
      default:
        p.LineTo(x, y);
        break;
    }
  }
  return p;
}

TEST(HostileInputTest, RandomPathsNeverWriteOutsideTheCanvas) {
  std::mt19937 rng(2024);
  // A 16x16 canvas inside a 24-wide, 20-high block of guard pixels.
  std::vector<uint32_t> block(24 * 20, kGuard);
  Canvas canvas{block.data() + 24 * 2, 16, 16, 24};
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) block[size_t(y + 2) * 24 + x] = 0;
  }
  Mask mask{16, 16, std::vector<uint8_t>(256, 0)};
  const Image img{2, 2, {0xFF000000, 0xFFFFFFFF, 0x80808080, 0}};
  for (int i = 0; i < 400; ++i) {
    const Path p = RandomPath(rng);
    Paint paint = testing::Solid(10, 20, 30, uint8_t(rng()));
    if (i % 3 == 1) {
      paint.kind = Paint::Kind::Bitmap;
      paint.bitmap = &img;
      paint.smooth = true;
      paint.repeat = i % 2 == 0;
      paint.deviceToBitmap = {HostileCoordinate(rng), 0, 0, HostileCoordinate(rng), 0, 0};
    } else if (i % 3 == 2) {
      paint.kind = Paint::Kind::RadialGradient;
      paint.stops = {{0, {255, 0, 0, 255}}, {1, {0, 0, 255, 128}}};
      paint.focalPoint = HostileCoordinate(rng);
      paint.deviceToGradient = {HostileCoordinate(rng), 0, 0, HostileCoordinate(rng), 0, 0};
    }
    const DrawOptions opt{.antiAlias = i % 2 == 0, .clip = i % 5 == 0 ? &mask : nullptr};
    FillPath(canvas, p, i % 4 == 0 ? FillRule::EvenOdd : FillRule::NonZero, paint, opt);
    Stroke s;
    s.width = std::fabs(HostileCoordinate(rng));
    s.join = static_cast<Stroke::Join>(rng() % 3);
    s.startCap = static_cast<Stroke::Cap>(rng() % 3);
    s.miterLimit = HostileCoordinate(rng);
    if (s.width < 1e4f) StrokePath(canvas, p, s, paint, opt);
    FillMask(mask, p, FillRule::NonZero, {.antiAlias = i % 2 == 1});
  }
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool inside = y >= 2 && y < 18 && x < 16;
      if (!inside) {
        ASSERT_EQ(block[size_t(y) * 24 + x], kGuard) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::raster
