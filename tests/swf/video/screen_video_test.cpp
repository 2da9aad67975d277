// Screen Video against ffmpeg's decode of its own lossless streams, and the
// rules for partial frames.
#include <gtest/gtest.h>

#include "screen_oracle.h"
#include "zlib_blocks.h"
#include "swf/video/screen_video.h"

namespace orrivel::swf::video {
namespace {

using namespace test;

TEST(ScreenVideo, MatchesFfmpegExactly) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  const ScreenCase cases[] = {
      {"whole blocks", 128, 96, "-g 5", 8},
      {"partial edge blocks, small blocks", 100, 70, "-g 50", 6},
      {"large blocks", 330, 250, "-g 3", 5},
  };
  for (const ScreenCase& c : cases)
    ExpectMatchesFfmpeg<ScreenVideoDecoder>("flashsv", "testsrc2", c);
}

TEST(ScreenVideo, DamagedAndPartialFrames) {
  // 16x16 blocks over a 20x10 picture: two blocks, each sent or not.
  auto block = [](uint8_t b, uint8_t g, uint8_t r, int pixels) {
    return StoredZlib(Solid(b, g, r, pixels));
  };
  auto frame = [](std::vector<std::vector<uint8_t>> blocks) {
    std::vector<uint8_t> f = {0x00, 20, 0x00, 10};
    for (const auto& b : blocks) {
      f.push_back(static_cast<uint8_t>(b.size() >> 8));
      f.push_back(static_cast<uint8_t>(b.size()));
      f.insert(f.end(), b.begin(), b.end());
    }
    return f;
  };
  const auto left = block(1, 2, 3, 16 * 10), right = block(4, 5, 6, 4 * 10);
  const auto left2 = block(7, 8, 9, 16 * 10);
  struct Step {
    const char* name;
    std::vector<uint8_t> data;
    bool ok;
    uint32_t leftPixel, rightPixel;
  };
  const Step steps[] = {
      {"partial frame first", frame({{}, right}), false, 0, 0},
      {"key frame", frame({left, right}), true, 0xFF030201, 0xFF060504},
      {"left block again", frame({left2, {}}), true, 0xFF090807, 0xFF060504},
      {"block too short", frame({block(1, 1, 1, 5), {}}), false, 0xFF090807, 0xFF060504},
      {"cut", {0x00, 20, 0x00, 10, 0x00}, false, 0xFF090807, 0xFF060504},
      {"other size, partial", {0x00, 30, 0x00, 10, 0, 0, 0, 0}, false, 0xFF090807, 0xFF060504},
  };
  ScreenVideoDecoder d;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(d.Decode(s.data), s.ok);
    if (s.leftPixel == 0) {
      EXPECT_TRUE(d.Picture().pixels.empty());
      continue;
    }
    ASSERT_EQ(d.Picture().pixels.size(), 200u);
    EXPECT_EQ(d.Picture().pixels[0], s.leftPixel);
    EXPECT_EQ(d.Picture().pixels[19], s.rightPixel);
    EXPECT_EQ(d.Picture().pixels[9 * 20 + 15], s.leftPixel);
  }
}

}  // namespace
}  // namespace orrivel::swf::video
