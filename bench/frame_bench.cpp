// Cost of one played and rendered frame at 1920x1080 for the most demanding
// corpus movies, beside the cost of copying one 1920x1080 BGRA frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace {

using namespace orrivel::swf;

constexpr int kWidth = 1920, kHeight = 1080;

// Chosen by timing every corpus movie at this size (slowest first).
const char* const kMovies[] = {
    "ruffle-noscript/from_shumway/acid/acid-large/test.swf",
    "ruffle-noscript/from_shumway/acid/acid-bitmap-fill-2/test.swf",
    "misc/shumway/examples/rendering/images0.swf",
    "ruffle-noscript/visual/simple_shapes/heavy_tesselation/test.swf",
    "ruffle-noscript/from_shumway/acid/acid-blend/test.swf",
};

void BM_PlayAndRenderFrame(benchmark::State& state) {
  const std::string path = std::string(ORRIVEL_CORPUS_DIR) + "/" + kMovies[state.range(0)];
  NativeImageDecoder decoder;
  Player player(decoder);
  if (!player.LoadFile(path)) {
    state.SkipWithError(player.LastError().c_str());
    return;
  }
  player.SetQuality(state.range(1) ? Quality::High : Quality::Low);
  std::vector<uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  raster::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
  player.Render(canvas);  // decodes and caches bitmaps and shapes once
  for (auto _ : state) {
    player.StepFrame();
    player.Render(canvas);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(kMovies[state.range(0)]);
}
BENCHMARK(BM_PlayAndRenderFrame)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1, 0}})
    ->ArgNames({"movie", "high"})
    ->Unit(benchmark::kMillisecond);

void BM_CopyFrame(benchmark::State& state) {
  std::vector<uint32_t> src(static_cast<std::size_t>(kWidth) * kHeight, 0xFF336699u);
  std::vector<uint32_t> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(src.size() * sizeof(uint32_t)));
}
BENCHMARK(BM_CopyFrame)->Unit(benchmark::kMillisecond);

}  // namespace
