// The built-in movie as the player sees it: its fixed file form, a few small
// lights that keep moving, change little of the picture from one frame to the
// next (a player that redraws only what changed stays cheap) and come back to
// their start after the last frame, and a stage where nothing stays bright
// but every part is passed over (it runs on idle screens).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "swf/player/player.h"

namespace orrivel::swf {
namespace {

const std::string kMoviePath = std::string(ORRIVEL_SOURCE_DIR) + "/resources/default_movie.swf";
constexpr int kWidth = 220, kHeight = 160;  // two fifths of the stage
constexpr int kFrames = 238;

class NoDecoder : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t>, uint64_t) override {
    return std::nullopt;
  }
};

using Frame = std::vector<uint32_t>;

class DefaultMovieTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(player_.LoadFile(kMoviePath)) << player_.LastError(); }

  // The first frame and the next kFrames: the last is the first one again.
  std::vector<Frame> RenderLoop() {
    std::vector<Frame> frames;
    for (int i = 0; i <= kFrames; ++i) {
      if (i > 0) player_.StepFrame();
      Frame pixels(kWidth * kHeight);
      raster::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
      player_.Render(canvas);
      frames.push_back(std::move(pixels));
    }
    return frames;
  }

  NoDecoder decoder_;
  Player player_{decoder_};
};

int Brightness(uint32_t bgra) {
  return static_cast<int>(std::max({(bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF}));
}

// How much a step from frame a to frame b changes: the share of pixels that
// change at all, and the mean absolute difference per colour channel.
struct Step {
  double changedShare = 0, meanDifference = 0;
};

Step Compare(const Frame& a, const Frame& b) {
  std::size_t changed = 0;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    changed += a[i] != b[i];
    for (int shift : {0, 8, 16}) {
      sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                      static_cast<int>((b[i] >> shift) & 0xFF));
    }
  }
  const auto n = static_cast<double>(a.size());
  return {static_cast<double>(changed) / n, sum / (3.0 * n)};
}

TEST_F(DefaultMovieTest, HasTheFixedFileForm) {
  std::ifstream in(kMoviePath, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(bytes.size(), 1416u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "FWS");  // uncompressed

  const Movie& movie = *player_.GetMovie();
  EXPECT_EQ(movie.header.version, 4);
  EXPECT_EQ(movie.header.fileLength, 1416u);
  EXPECT_EQ(movie.header.frameSize, (Rect{0, 11000, 0, 8000}));  // 550 x 400 pixels
  EXPECT_EQ(movie.header.frameRate, 18.0f);
  EXPECT_EQ(movie.header.frameCount, kFrames);
  EXPECT_EQ(movie.timeline.frames.size(), static_cast<std::size_t>(kFrames));
  EXPECT_EQ(player_.FrameNum(), 0);
  // Only tags a version 4 file may hold: End, ShowFrame, DefineShape,
  // SetBackgroundColor, DefineShape2, PlaceObject2, RemoveObject2,
  // DefineShape3, DefineSprite, FrameLabel, DefineMorphShape.
  const std::set<uint16_t> allowed{0, 1, 2, 9, 22, 26, 28, 32, 39, 43, 46};
  for (const TagInfo& t : movie.tags) EXPECT_TRUE(allowed.contains(t.code)) << t.code;
}

TEST_F(DefaultMovieTest, MovesALittleEveryFrameAndLoopsWithoutAJump) {
  const std::vector<Frame> frames = RenderLoop();
  EXPECT_EQ(player_.FrameNum(), 0);
  EXPECT_EQ(frames[kFrames], frames[0]) << "the picture after the last frame is not the first";
  std::vector<Step> steps;
  for (int i = 0; i < kFrames; ++i) steps.push_back(Compare(frames[i], frames[i + 1]));
  std::vector<double> differences;
  double changedSum = 0, changedMax = 0;
  for (const Step& s : steps) {
    differences.push_back(s.meanDifference);
    changedSum += s.changedShare;
    changedMax = std::max(changedMax, s.changedShare);
  }
  // Few pixels change per frame, so redrawing only the changes is cheap.
  EXPECT_LT(changedSum / kFrames, 0.04);
  EXPECT_LT(changedMax, 0.08);
  // Every step, the one from the last frame into the first included, is an
  // ordinary one: nothing stands still and nothing jumps.
  std::nth_element(differences.begin(), differences.begin() + kFrames / 2, differences.end());
  const double median = differences[kFrames / 2];
  EXPECT_GT(median, 0.02);
  for (int i = 0; i < kFrames; ++i) {
    EXPECT_GT(steps[i].meanDifference, median / 2) << "step from frame " << i;
    EXPECT_LT(steps[i].meanDifference, median * 1.3) << "step from frame " << i;
  }
}

TEST_F(DefaultMovieTest, NothingStaysBrightAndEveryPartOfTheStageIsPassedOver) {
  std::vector<Frame> frames = RenderLoop();
  frames.pop_back();  // the first frame again
  constexpr int kPixels = kWidth * kHeight;
  std::vector<int> brightCount(kPixels), low(kPixels, 255), peak(kPixels);
  for (const Frame& pixels : frames) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      const int b = Brightness(pixels[i]);
      brightCount[i] += b >= 160;
      low[i] = std::min(low[i], b);
      peak[i] = std::max(peak[i], b);
    }
  }
  EXPECT_LT(*std::max_element(brightCount.begin(), brightCount.end()), kFrames / 4)
      << "a pixel is bright for a long part of the loop";
  EXPECT_LT(*std::max_element(low.begin(), low.end()), 64) << "something bright stands still";
  // In each of 6 x 4 parts of the stage, lights pass over some of the pixels.
  constexpr int kCols = 6, kRows = 4;
  for (int row = 0; row < kRows; ++row) {
    for (int col = 0; col < kCols; ++col) {
      int passed = 0, all = 0;
      for (int y = row * kHeight / kRows; y < (row + 1) * kHeight / kRows; ++y) {
        for (int x = col * kWidth / kCols; x < (col + 1) * kWidth / kCols; ++x, ++all) {
          passed += peak[y * kWidth + x] - low[y * kWidth + x] >= 24;
        }
      }
      EXPECT_GE(passed * 100, all * 3) << "lights hardly pass over part " << col << ", " << row;
    }
  }
}

}  // namespace
}  // namespace orrivel::swf
