// Every corpus movie's frame drawn by one thread and by several (the rows
// split into bands differently for each count) must match to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

namespace fs = std::filesystem;

// Large enough that whole-stage fills, composites and filters split.
constexpr int kWidth = 800, kHeight = 600;

std::vector<uint32_t> RenderWith(Player& player, int threads) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight, 0xFF808080u);
  raster::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
  player.SetRenderThreads(threads);
  player.Render(canvas);
  return pixels;
}

TEST(ThreadIdentityTest, EveryCorpusMovieDrawsTheSameWithAnyThreadCount) {
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
    const std::vector<uint32_t> one = RenderWith(player, 1);
    for (int threads : {2, 3}) {
      const std::vector<uint32_t> many = RenderWith(player, threads);
      size_t differ = 0;
      for (size_t i = 0; i < one.size(); ++i) differ += one[i] != many[i];
      EXPECT_EQ(differ, 0u) << movie.string() << " with " << threads << " threads";
    }
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace orrivel::swf
