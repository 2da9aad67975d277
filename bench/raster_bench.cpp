// Rasterizer throughput on a 1920x1080 frame, next to a plain frame copy:
// compare the times as ratios, not absolute figures.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "swf/raster/raster.h"

namespace {

using namespace orrivel::swf;
using namespace orrivel::swf::raster;

constexpr int kW = 1920, kH = 1080;

struct Frame {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kW) * kH, 0xFF202020);
  Canvas canvas{pixels.data(), kW, kH, kW};
};

void BM_FrameCopy(benchmark::State& state) {
  Frame a, b;
  for (auto _ : state) {
    std::memcpy(b.pixels.data(), a.pixels.data(), a.pixels.size() * 4);
    benchmark::DoNotOptimize(b.pixels.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameCopy);

// 200 shapes: triangles and curved blobs of up to a few hundred pixels,
// a mix of opaque and translucent colours, like a busy animation frame.
struct Shapes {
  std::vector<Path> paths;
  std::vector<Paint> paints;
  Shapes() {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> x(0, kW), y(0, kH), d(-200, 200);
    std::uniform_int_distribution<int> c(0, 255);
    for (int i = 0; i < 200; ++i) {
      Path p;
      const float cx = x(rng), cy = y(rng);
      p.MoveTo(cx + d(rng), cy + d(rng));
      if (i % 2 == 0) {
        p.LineTo(cx + d(rng), cy + d(rng));
        p.LineTo(cx + d(rng), cy + d(rng));
      } else {
        p.QuadTo(cx + d(rng), cy + d(rng), cx + d(rng), cy + d(rng));
        p.QuadTo(cx + d(rng), cy + d(rng), cx + d(rng), cy + d(rng));
        p.QuadTo(cx + d(rng), cy + d(rng), cx + d(rng), cy + d(rng));
      }
      p.Close();
      paths.push_back(std::move(p));
      Paint paint;
      paint.color = {uint8_t(c(rng)), uint8_t(c(rng)), uint8_t(c(rng)),
                     uint8_t(i % 3 == 0 ? 160 : 255)};
      paints.push_back(paint);
    }
  }
};

void BM_Shapes200(benchmark::State& state) {
  Frame f;
  Shapes s;
  const DrawOptions opt{.antiAlias = state.range(0) != 0};
  for (auto _ : state) {
    for (size_t i = 0; i < s.paths.size(); ++i) {
      FillPath(f.canvas, s.paths[i], FillRule::NonZero, s.paints[i], opt);
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Shapes200)->Arg(1)->Arg(0);

Path FullFrame() {
  Path p;
  p.MoveTo(0, 0);
  p.LineTo(kW, 0);
  p.LineTo(kW, kH);
  p.LineTo(0, kH);
  p.Close();
  return p;
}

void BM_RadialGradient(benchmark::State& state) {
  Frame f;
  Paint p;
  p.kind = Paint::Kind::RadialGradient;
  p.stops = {{0, {255, 255, 255, 255}}, {0.5f, {255, 0, 0, 255}}, {1, {0, 0, 64, 255}}};
  const double s = 16384.0 / 700;
  p.deviceToGradient = {s, 0, 0, s, -960 * s, -540 * s};
  p.focalPoint = float(state.range(0)) / 2;
  const Path frame = FullFrame();
  for (auto _ : state) {
    FillPath(f.canvas, frame, FillRule::NonZero, p);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RadialGradient)->Arg(0)->Arg(1);

void BM_ScaledBitmap(benchmark::State& state) {
  Frame f;
  Image img{640, 360, std::vector<uint32_t>(640 * 360)};
  for (size_t i = 0; i < img.pixels.size(); ++i)
    img.pixels[i] = 0xFF000000 | uint32_t(i * 2654435761u >> 8);
  Paint p;
  p.kind = Paint::Kind::Bitmap;
  p.bitmap = &img;
  p.deviceToBitmap = {1 / 3.0, 0, 0, 1 / 3.0, 0, 0};
  p.smooth = state.range(0) != 0;
  const Path frame = FullFrame();
  for (auto _ : state) {
    FillPath(f.canvas, frame, FillRule::NonZero, p);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScaledBitmap)->Arg(0)->Arg(1);

// Hostile geometry (coordinates near the float limit, an absurd bend) must be
// clipped early: this stays in microseconds, like an ordinary small shape.
void BM_HugeCoordinates(benchmark::State& state) {
  std::vector<uint32_t> px(16 * 16);
  Canvas canvas{px.data(), 16, 16, 16};
  Path p;
  p.MoveTo(-1e30f, -1e30f);
  p.LineTo(1e30f, -1e30f);
  p.LineTo(1e30f, 1e30f);
  p.LineTo(-1e30f, 1e30f);
  p.Close();
  p.MoveTo(-1e20f, 5);
  p.QuadTo(3e38f, -3e38f, 1e20f, 8);
  p.Close();
  p.MoveTo(1e9f, 1e9f);
  p.LineTo(2e9f, 1e9f);
  p.LineTo(2e9f, 3e9f);
  p.Close();
  Paint paint;
  const DrawOptions opt{.antiAlias = state.range(0) != 0};
  for (auto _ : state) {
    FillPath(canvas, p, FillRule::EvenOdd, paint, opt);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HugeCoordinates)->Arg(1)->Arg(0);

}  // namespace
