// The built-in movie as the player sees it: its fixed file form, a picture
// that keeps moving and comes back to its start after the last frame, and a
// stage where nothing stays bright for long (it runs on idle screens).
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
constexpr int kWidth = 110, kHeight = 80;  // a fifth of the stage, for speed
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

  Frame Render() {
    Frame pixels(kWidth * kHeight);
    raster::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
    player_.Render(canvas);
    return pixels;
  }

  NoDecoder decoder_;
  Player player_{decoder_};
};

int Brightness(uint32_t bgra) {
  return std::max({(bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF});
}

// Mean absolute difference per colour channel.
double Difference(const Frame& a, const Frame& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                      static_cast<int>((b[i] >> shift) & 0xFF));
    }
  }
  return sum / (3.0 * a.size());
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

TEST_F(DefaultMovieTest, KeepsMovingAndLoopsWithoutAJump) {
  std::vector<Frame> frames{Render()};
  for (int i = 1; i <= kFrames; ++i) {
    player_.StepFrame();
    frames.push_back(Render());
  }
  EXPECT_EQ(player_.FrameNum(), 0);
  // After the last frame the picture is the first one again...
  EXPECT_EQ(Difference(frames[kFrames], frames[0]), 0.0);
  // ...and the step into it is an ordinary step: no frame stands still.
  std::vector<double> steps;
  for (int i = 0; i + 1 < kFrames; ++i) steps.push_back(Difference(frames[i], frames[i + 1]));
  const double loopStep = Difference(frames[kFrames - 1], frames[kFrames]);
  std::sort(steps.begin(), steps.end());
  EXPECT_GT(steps.front(), 0.5);
  const double median = steps[steps.size() / 2];
  EXPECT_GT(loopStep, median / 2);
  EXPECT_LT(loopStep, median * 2);
}

TEST_F(DefaultMovieTest, NoPixelStaysBrightAndTheWholeStageIsUsed) {
  // Every fifth frame: 5 shares no factor with 238, so the samples fall on
  // every phase of the movie's inner loops.
  std::vector<int> brightCount(kWidth * kHeight), peak(kWidth * kHeight);
  int samples = 0;
  for (int frame = 0; frame < kFrames; ++frame, player_.StepFrame()) {
    if (frame % 5 != 0) continue;
    const Frame pixels = Render();
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      const int b = Brightness(pixels[i]);
      brightCount[i] += b >= 160;
      peak[i] = std::max(peak[i], b);
    }
    ++samples;
  }
  const int mostBright = *std::max_element(brightCount.begin(), brightCount.end());
  EXPECT_LT(mostBright, samples / 2) << "a pixel is bright in most of the loop";
  const auto lit = std::count_if(peak.begin(), peak.end(), [](int b) { return b >= 48; });
  EXPECT_GT(lit, static_cast<long>(peak.size() * 95 / 100)) << "part of the stage is never lit";
}

}  // namespace
}  // namespace orrivel::swf
