// Screen Video against ffmpeg's decode of its own lossless streams, and the
// rules for partial frames.
#include <gtest/gtest.h>

#include "ffmpeg_oracle.h"
#include "zlib_blocks.h"
#include "swf/video/screen_video.h"

namespace orrivel::swf::video {
namespace {

using namespace test;

TEST(ScreenVideo, MatchesFfmpegExactly) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  struct Case {
    const char* name;
    int width, height;
    const char* encode;
    int frames;
  };
  const Case cases[] = {
      {"whole blocks", 128, 96, "-g 5", 8},
      {"partial edge blocks, small blocks", 100, 70, "-g 50", 6},
      {"large blocks", 330, 250, "-g 3", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir("screen");
    const fs::path flv = dir.Path() / "in.flv", rgb = dir.Path() / "out.rgb";
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    ASSERT_TRUE(RunQuiet("ffmpeg -y -f lavfi -i testsrc2=size=" + size + ":rate=10 -frames:v " +
                         std::to_string(c.frames) + " -c:v flashsv " + c.encode + " " +
                         flv.string()));
    ASSERT_TRUE(
        RunQuiet("ffmpeg -y -i " + flv.string() + " -f rawvideo -pix_fmt bgr24 " + rgb.string()));
    const FlvVideo video = ReadFlvVideo(ReadFile(flv));
    const std::vector<uint8_t> ref = ReadFile(rgb);
    ASSERT_EQ(static_cast<int>(video.packets.size()), c.frames);
    const size_t frameSize = size_t(c.width) * c.height * 3;
    ASSERT_EQ(ref.size(), frameSize * c.frames);
    ScreenVideoDecoder decoder;
    for (int i = 0; i < c.frames; ++i) {
      EXPECT_EQ(decoder.IsKeyFrame(video.packets[i]), video.keyFrames[i]) << i;
      ASSERT_TRUE(decoder.Decode(video.packets[i])) << i;
      const raster::Image& p = decoder.Picture();
      ASSERT_EQ(p.width, c.width);
      ASSERT_EQ(p.height, c.height);
      const uint8_t* want = ref.data() + frameSize * i;
      int wrong = 0;
      for (size_t k = 0; k < p.pixels.size(); ++k) {
        const uint32_t px = p.pixels[k];
        wrong += (px & 0xFF) != want[3 * k] || ((px >> 8) & 0xFF) != want[3 * k + 1] ||
                 ((px >> 16) & 0xFF) != want[3 * k + 2];
      }
      EXPECT_EQ(wrong, 0) << "frame " << i;
    }
  }
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
