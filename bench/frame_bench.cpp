// Cost of rendering one whole frame of the most demanding corpus movies, at
// 1920x1080 and 3840x2160, with 1, 2 and all of the machine's threads, the
// same movies playing (a new frame each time),
// beside a few typical movies and the cost of copying one frame. Compare
// each row with its one-thread row of the same run.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "swf/player/player.h"
#include "swf/raster/parallel.h"
#include "swf/raster/pixel_row.h"
#include "swf/render/native_image_decoder.h"
#include "swf/render/renderer.h"

namespace {

using namespace orrivel::swf;

struct Size {
  int width, height;
};
constexpr Size kSizes[] = {{1920, 1080}, {3840, 2160}};

// The ten slowest corpus movies at 1920x1080 (every corpus movie timed,
// one thread, the sixth frame drawn in full), slowest first.
const char* const kHeavy[] = {
    "ruffle-avm1/avm1/bitmap_filters/assets.swf",
    "ruffle-avm1/avm1/bitmap_filters/test.swf",
    "ruffle-noscript/visual/simple_shapes/heavy_tesselation/test.swf",
    "ruffle/visual/filters/bevel_inner/test.swf",
    "ruffle/visual/cache_as_bitmap/edittext_hscroll/test.swf",
    "ruffle/visual/filters/bevel_outer/test.swf",
    "ruffle/visual/filters/bevel_full/test.swf",
    "ruffle/visual/filters/drop_shadow_angles/test.swf",
    "misc/shumway/examples/rendering/images0.swf",
    "ruffle/visual/filters/drop_shadow/test.swf",
};

// Movies near the corpus median and upper quartile, and the built-in movie.
const char* const kTypical[] = {
    "ruffle-avm1/from_gnash/actionscript.all/targetPath-v7/test.swf",
    "ruffle-noscript/from_shumway/acid/acid-blend/test.swf",
    "ruffle/visual/simple_shapes/masks/test.swf",
    "ruffle-avm1/from_gnash/misc-ming.all/DragDropTest/test.swf",
};

std::string MoviePath(bool heavy, int index) {
  if (!heavy && index == static_cast<int>(std::size(kTypical))) {
    return std::string(ORRIVEL_SOURCE_DIR) + "/resources/default_movie.swf";
  }
  return std::string(ORRIVEL_CORPUS_DIR) + "/" + (heavy ? kHeavy : kTypical)[index];
}

// Arguments: movie, size (0: 1080p, 1: 4K), threads (0: the machine's).
// playing: each iteration steps one frame before drawing it in full, so
// only what stays put between frames is reused; else the same frame is
// drawn again and again.
void RenderFrame(benchmark::State& state, bool heavy, bool playing = false) {
  const std::string path = MoviePath(heavy, static_cast<int>(state.range(0)));
  const Size size = kSizes[state.range(1)];
  NativeImageDecoder decoder;
  Player player(decoder);
  if (!player.LoadFile(path)) {
    state.SkipWithError(player.LastError().c_str());
    return;
  }
  player.SetRenderThreads(static_cast<int>(state.range(2)));
  std::vector<uint32_t> pixels(static_cast<std::size_t>(size.width) * size.height);
  raster::Canvas canvas{pixels.data(), size.width, size.height, size.width};
  if (!playing) {
    for (int i = 0; i < 5; ++i) player.StepFrame();
    player.Render(canvas);  // decodes and caches bitmaps and shapes once
  }
  for (auto _ : state) {
    if (playing) player.StepFrame();
    player.Render(canvas);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(path.substr(path.find_last_of('/', path.size() - 10) + 1));
}

void BM_PlayFrame(benchmark::State& state) { RenderFrame(state, true, true); }
void BM_HeavyFrame(benchmark::State& state) { RenderFrame(state, true); }
void BM_TypicalFrame(benchmark::State& state) { RenderFrame(state, false); }

std::vector<int64_t> Range(size_t n) {
  std::vector<int64_t> r(n);
  for (size_t i = 0; i < n; ++i) r[i] = static_cast<int64_t>(i);
  return r;
}

BENCHMARK(BM_HeavyFrame)
    ->ArgsProduct({Range(std::size(kHeavy)), {0, 1}, {1, 2, 0}})
    ->ArgNames({"movie", "4k", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlayFrame)
    ->ArgsProduct({Range(std::size(kHeavy)), {0}, {1, 0}})
    ->ArgNames({"movie", "4k", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TypicalFrame)
    ->ArgsProduct({Range(std::size(kTypical) + 1), {0}, {1, 0}})
    ->ArgNames({"movie", "4k", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A full-screen backdrop behind a small moving square, each frame drawn in
// full. Arguments: backdrop 0 is a photograph, slightly rotated and
// smoothed, 1 a radial gradient; still 1 when the backdrop stays put (its
// sampled pixels are kept and copied), 0 when it moves a pixel every frame
// (sampled anew each time); simd 1 holds the row loops to SSE2, 2 lets
// them use the widest the processor has.
void BM_StillBackdrop(benchmark::State& state) {
  constexpr int kWidth = 1024, kHeight = 768;
  std::vector<uint8_t> argb;
  argb.reserve(size_t(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      argb.insert(argb.end(), {255, uint8_t(x * 7 + y), uint8_t(y * 3 ^ x), uint8_t(x + y * 5)});
    }
  }
  BitmapDefinition bitmap;
  bitmap.id = 1;
  bitmap.kind = BitmapKind::Lossless2;
  bitmap.losslessFormat = 5;
  bitmap.width = kWidth;
  bitmap.height = kHeight;
  uLongf packed = compressBound(static_cast<uLong>(argb.size()));
  bitmap.zlibData.resize(packed);
  compress(bitmap.zlibData.data(), &packed, argb.data(), static_cast<uLong>(argb.size()));
  bitmap.zlibData.resize(packed);
  Movie movie;
  movie.characters.emplace(1, bitmap);
  ShapeDefinition square;
  square.id = 2;
  square.shape.fillStyles.resize(1);
  square.shape.fillStyles[0].color = {255, 200, 0, 255};
  StyleChangeRecord start;
  start.moveTo = std::make_pair(0, 0);
  start.fillStyle1 = 1;
  square.shape.records = {start, StraightEdgeRecord{2000, 0}, StraightEdgeRecord{0, 2000},
                          StraightEdgeRecord{-2000, 0}, StraightEdgeRecord{0, -2000}};
  movie.characters.emplace(2, square);
  ShapeDefinition shaded;
  shaded.id = 3;
  shaded.shape.fillStyles.resize(1);
  FillStyle& radial = shaded.shape.fillStyles[0];
  radial.type = FillType::RadialGradient;
  radial.gradient.matrix = {1.2, 0, 0, 0.9, kWidth * 10.0, kHeight * 10.0};
  radial.gradient.records = {
      {0, {255, 255, 220, 255}}, {140, {40, 90, 200, 255}}, {255, {0, 0, 40, 255}}};
  shaded.shape.records = {start, StraightEdgeRecord{kWidth * 20, 0},
                          StraightEdgeRecord{0, kHeight * 20}, StraightEdgeRecord{-kWidth * 20, 0},
                          StraightEdgeRecord{0, -kHeight * 20}};
  movie.characters.emplace(3, shaded);

  NativeImageDecoder decoder;
  Renderer renderer(movie, decoder);
  renderer.SetThreads(static_cast<int>(state.range(2)));
  const Size size = kSizes[0];
  std::vector<uint32_t> pixels(static_cast<std::size_t>(size.width) * size.height);
  raster::Canvas canvas{pixels.data(), size.width, size.height, size.width};
  DisplayNode root;
  root.matrix = {size.width / (kWidth * 20.0), 0, 0, size.height / (kHeight * 20.0), 0, 0};
  DisplayNode photo;
  const bool gradient = state.range(0) != 0;
  photo.kind = gradient ? DisplayNode::Kind::Shape : DisplayNode::Kind::Bitmap;
  photo.characterId = gradient ? 3 : 1;
  photo.depth = 1;
  photo.matrix = {1.02, 0.03, -0.03, 1.02, -200, -300};
  DisplayNode mover;
  mover.kind = DisplayNode::Kind::Shape;
  mover.characterId = 2;
  mover.depth = 2;
  const bool still = state.range(1) != 0;
  const raster::SimdLevel best = raster::BestSimd();
  raster::UseSimd(state.range(3) == 1 ? raster::SimdLevel::Sse2 : best);
  int frame = 0;
  for (auto _ : state) {
    ++frame;
    mover.matrix.tx = (frame % 400) * 40;
    if (!still) photo.matrix.tx = -200 - (frame % 1000) * 20;
    root.children = {photo, mover};
    renderer.Render(root, canvas, Quality::High);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(raster::SimdName(raster::ActiveSimd()));
  raster::UseSimd(best);
}
BENCHMARK(BM_StillBackdrop)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 0}, {1, 2}})
    ->ArgNames({"backdrop", "still", "threads", "simd"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CopyFrame(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  std::vector<uint32_t> src(static_cast<std::size_t>(size.width) * size.height, 0xFF336699u);
  std::vector<uint32_t> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyFrame)->Arg(0)->Arg(1)->ArgName("4k")->Unit(benchmark::kMillisecond);

}  // namespace
