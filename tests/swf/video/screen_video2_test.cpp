// Screen Video 2 against ffmpeg's decode of its own 24-bit streams (banded
// and primed blocks), and the frames the decoder refuses.
#include <gtest/gtest.h>

#include "screen_oracle.h"
#include "swf/video/screen_video2.h"
#include "zlib_blocks.h"

namespace orrivel::swf::video {
namespace {

using namespace test;

TEST(ScreenVideo2, MatchesFfmpegExactly) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  const ScreenCase cases[] = {
      {"banded and primed blocks", 200, 120, "-q:v 5 -g 6", 12},
      {"partial edge blocks, long run", 150, 100, "-q:v 2 -g 50", 10},
      {"key frames only", 96, 64, "-q:v 5 -g 1", 3},
  };
  for (const ScreenCase& c : cases)
    ExpectMatchesFfmpeg<ScreenVideo2Decoder>("flashsv2", "testsrc", c);
}

TEST(ScreenVideo2, BandsRefusalsAndDamage) {
  // 16x16 blocks over a 20x10 picture: a left block of 16x10, a right one of 4x10.
  auto block = [](uint8_t format, std::vector<uint8_t> header, const std::vector<uint8_t>& raw) {
    header.insert(header.begin(), format);
    const auto z = StoredZlib(raw);
    header.insert(header.end(), z.begin(), z.end());
    return header;
  };
  auto frame = [](uint8_t flags, std::vector<std::vector<uint8_t>> blocks) {
    std::vector<uint8_t> f = {0x00, 20, 0x00, 10, flags};
    for (const auto& b : blocks) {
      f.push_back(static_cast<uint8_t>(b.size() >> 8));
      f.push_back(static_cast<uint8_t>(b.size()));
      f.insert(f.end(), b.begin(), b.end());
    }
    return f;
  };
  const auto left = block(0x00, {}, Solid(1, 2, 3, 16 * 10));
  const auto right = block(0x00, {}, Solid(4, 5, 6, 4 * 10));
  // Rows 2 and 3 from the block's bottom: picture rows 7 and 6.
  const auto band = block(0x04, {2, 2}, Solid(7, 8, 9, 16 * 2));
  constexpr uint32_t kLeft = 0xFF030201, kRight = 0xFF060504, kBand = 0xFF090807;
  struct Step {
    const char* name;
    std::vector<uint8_t> data;
    bool ok;
    uint32_t top, row7, row6, bottom;  // left column at rows 0, 7, 6 and 9
    uint32_t rightPixel;
  };
  const Step steps[] = {
      {"band before any key frame", frame(0, {band, {}}), false, 0, 0, 0, 0, 0},
      {"key frame", frame(0, {left, right}), true, kLeft, kLeft, kLeft, kLeft, kRight},
      {"band", frame(0, {band, {}}), true, kLeft, kBand, kBand, kLeft, kRight},
      {"band past the block", frame(0, {block(0x04, {9, 2}, Solid(1, 1, 1, 32)), {}}), false, kLeft,
       kBand, kBand, kLeft, kRight},
      {"hybrid colours", frame(0, {block(0x10, {}, {0x01}), {}}), false, kLeft, kBand, kBand, kLeft,
       kRight},
      {"primed from a block of this frame", frame(0, {block(0x02, {0, 0}, {}), {}}), false, kLeft,
       kBand, kBand, kLeft, kRight},
      {"key-frame image list", frame(0x02, {left, right}), false, kLeft, kBand, kBand, kLeft,
       kRight},
      {"palette stepped over", frame(0x01, {{0x00, 0x01, 0xAA}, left, {}}), true, kLeft, kLeft,
       kLeft, kLeft, kRight},
      {"second block damaged", frame(0, {band, {0x00, 0x78}}), false, kLeft, kLeft, kLeft, kLeft,
       kRight},
      {"cut", {0x00, 20, 0x00, 10, 0x00, 0x00}, false, kLeft, kLeft, kLeft, kLeft, kRight},
  };
  ScreenVideo2Decoder d;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(d.Decode(s.data), s.ok);
    if (s.top == 0) {
      EXPECT_TRUE(d.Picture().pixels.empty());
      continue;
    }
    const auto& px = d.Picture().pixels;
    ASSERT_EQ(px.size(), 200u);
    EXPECT_EQ(px[0], s.top);
    EXPECT_EQ(px[7 * 20 + 3], s.row7);
    EXPECT_EQ(px[6 * 20 + 15], s.row6);
    EXPECT_EQ(px[9 * 20], s.bottom);
    EXPECT_EQ(px[5 * 20 + 19], s.rightPixel);
  }
}

}  // namespace
}  // namespace orrivel::swf::video
