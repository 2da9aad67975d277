// Every corpus movie's frame drawn by one thread with the scalar row loops
// and by several threads (the rows split into bands differently for each
// count) with each vector width must match to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "swf/player/player.h"
#include "swf/raster/pixel_row.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

namespace fs = std::filesystem;

// Large enough that whole-stage fills, composites and filters split.
constexpr int kWidth = 800, kHeight = 600;

std::vector<uint32_t> RenderWith(Player& player, int threads, raster::SimdLevel simd) {
  raster::UseSimd(simd);
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight, 0xFF808080u);
  raster::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
  player.SetRenderThreads(threads);
  player.Render(canvas);
  return pixels;
}

TEST(ThreadIdentityTest, EveryCorpusMovieDrawsTheSameWithAnyThreadCountAndVectorWidth) {
  const fs::path corpus = ORRIVEL_CORPUS_DIR;
  ASSERT_TRUE(fs::exists(corpus / "ruffle")) << "no corpus at " << corpus;
  std::vector<fs::path> movies;
  for (const auto& e : fs::recursive_directory_iterator(corpus)) {
    if (e.path().extension() == ".swf") movies.push_back(e.path());
  }
  std::sort(movies.begin(), movies.end());
  ASSERT_GT(movies.size(), 1000u);
  NativeImageDecoder decoder;
  int compared = 0;
  for (const fs::path& movie : movies) {
    Player player(decoder);
    player.SetClockStart(0);
    if (!player.LoadFile(movie.string())) continue;
    for (int i = 0; i < 5; ++i) player.StepFrame();
    const std::vector<uint32_t> one = RenderWith(player, 1, raster::SimdLevel::Scalar);
    const std::pair<int, raster::SimdLevel> runs[] = {{2, raster::SimdLevel::Sse2},
                                                      {3, raster::BestSimd()}};
    for (const auto& [threads, simd] : runs) {
      const std::vector<uint32_t> many = RenderWith(player, threads, simd);
      size_t differ = 0;
      for (size_t i = 0; i < one.size(); ++i) differ += one[i] != many[i];
      EXPECT_EQ(differ, 0u) << movie.string() << " with " << threads << " threads, "
                            << raster::SimdName(raster::ActiveSimd());
    }
    ++compared;
  }
  raster::UseSimd(raster::BestSimd());
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace orrivel::swf
