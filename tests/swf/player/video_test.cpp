// A video character on the timeline: the placement's ratio picks the frame,
// going back in the timeline seeks, and the picture takes the placement's
// matrix and colour transform.
#include <gtest/gtest.h>

#include "../video/spark_frames.h"
#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;
using video::test::FlatFrame;
using video::test::Kind;
using video::test::SkipFrame;

constexpr uint16_t kVideo = 70;

PlaceObject AtRatio(PlaceObject p, uint16_t ratio) {
  p.ratio = ratio;
  return p;
}

TEST(VideoOnTimeline, RatioPicksTheFrameAndGoingBackSeeks) {
  auto movie = std::make_unique<Movie>(BaseMovie());
  VideoDefinition v;
  v.id = kVideo;
  v.codec = 2;
  v.width = 110;  // the 32x16 pictures are stretched over 110x80 pixels
  v.height = 80;
  v.frames[0] = FlatFrame(Kind::Intra, 32, 16, 235);
  v.frames[1] = FlatFrame(Kind::Inter, 32, 16, 16);
  v.frames[2] = SkipFrame(Kind::Inter, 32, 16);
  movie->characters.emplace(kVideo, v);
  const Matrix fill{5, 0, 0, 5, 0, 0};  // 110x80 over the whole 550x400 stage
  auto step = [&](uint16_t ratio, ColorTransform cx = {}) {
    PlaceObject p = AtRatio(Move(1, 0), ratio);
    p.matrix = fill;
    p.colorTransform = cx;
    return p;
  };
  PlaceObject first = AtRatio(Place(1, kVideo), 0);
  first.matrix = fill;
  ColorTransform redAdd;
  redAdd.rAdd = 255;
  movie->timeline = MakeTimeline({
      MakeFrame({first}),
      MakeFrame({step(1)}),
      MakeFrame({step(2, redAdd)}),
      MakeFrame({step(0)}),
      MakeFrame({Act({GotoFrame(1), kStop, kEnd})}),
  });
  NativeImageDecoder decoder;
  Player player(decoder);
  player.SetQuality(Quality::Low);
  ASSERT_TRUE(player.LoadParsed(std::move(movie)));
  std::vector<uint32_t> pixels(110 * 80, 0);
  raster::Canvas canvas{pixels.data(), 110, 80, 110};
  const uint32_t white = 0xFFFFFFFFu, black = 0xFF000000u, red = 0xFFFF0000u;
  const uint32_t expected[] = {white, black, red, white, black};
  for (size_t step = 0; step < std::size(expected); ++step) {
    SCOPED_TRACE(step);
    if (step > 0) player.Advance(1.0 / 24 + 1e-6);
    player.Render(canvas);
    EXPECT_EQ(pixels[0], expected[step]);
    EXPECT_EQ(pixels[40 * 110 + 55], expected[step]);
    EXPECT_EQ(pixels.back(), expected[step]);
  }
}

// A video on the timeline converts to its path, as a clip does, and
// duplicateMovieClip copies it under the new name.
TEST(VideoOnTimeline, ConvertsToItsPathAndDuplicates) {
  auto movie = std::make_unique<Movie>(BaseMovie());
  movie->header.version = 8;
  VideoDefinition v;
  v.id = kVideo;
  v.width = 32;
  v.height = 16;
  movie->characters.emplace(kVideo, v);
  const Bytes clone = Cat({GetVar("vid"), PushString("copy"), PushInt(5), {0x24}});
  movie->timeline = MakeTimeline(
      {MakeFrame({Named(Place(1, kVideo), "vid"), Act({Cat({GetVar("vid"), {0x26}}), clone,
                                                       Cat({GetVar("copy"), {0x26}}), kStop})})});
  NativeImageDecoder decoder;
  Player player(decoder);
  std::vector<std::string> lines;
  player.SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
  ASSERT_TRUE(player.LoadParsed(std::move(movie)));
  EXPECT_EQ(lines, (std::vector<std::string>{"_level0.vid", "_level0.copy"}));
}

}  // namespace
}  // namespace orrivel::swf
