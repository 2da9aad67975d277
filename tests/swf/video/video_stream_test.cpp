// Which picture a video character shows for a frame number: stepping,
// seeking through key frames, disposable frames and damaged ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "spark_frames.h"
#include "swf/video/h263_decoder.h"
#include "swf/video/video_stream.h"

namespace orrivel::swf::video {
namespace {

using namespace test;

// The grey a luma value shows as (chroma neutral): video range stretched.
uint32_t Grey(int luma) {
  const int v = std::clamp(static_cast<int>(std::lround((luma - 16) * 255.0 / 219)), 0, 255);
  return 0xFF000000u | uint32_t(v) << 16 | uint32_t(v) << 8 | uint32_t(v);
}

TEST(SparkHeader, FieldsAndRejections) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool ok;
    int width, height;
    SparkPictureType type;
  };
  auto preset = [](uint32_t size, uint32_t type) {
    BitWriter w;
    return w.Bits(17, 1)
        .Bits(5, 1)
        .Bits(8, 7)
        .Bits(3, size)
        .Bits(2, type)
        .Bits(6, 0x21)
        .Bits(1, 0)
        .Take();
  };
  auto custom16 = [](uint32_t w16, uint32_t h16) {
    BitWriter w;
    return w.Bits(17, 1)
        .Bits(5, 0)
        .Bits(8, 0)
        .Bits(3, 1)
        .Bits(16, w16)
        .Bits(16, h16)
        .Bits(2, 1)
        .Bits(6, 3)
        .Bits(1, 1)
        .Bits(8, 0xAA)
        .Bits(1, 0)
        .Take();
  };
  const Case cases[] = {
      {"CIF intra", preset(2, 0), true, 352, 288, SparkPictureType::Intra},
      {"QCIF inter", preset(3, 1), true, 176, 144, SparkPictureType::Inter},
      {"SQCIF disposable", preset(4, 2), true, 128, 96, SparkPictureType::Disposable},
      {"320x240", preset(5, 0), true, 320, 240, SparkPictureType::Intra},
      {"160x120", preset(6, 0), true, 160, 120, SparkPictureType::Intra},
      {"reserved size", preset(7, 0), false, 0, 0, {}},
      {"reserved type", preset(2, 3), false, 0, 0, {}},
      {"16-bit size, extra information", custom16(4095, 17), true, 4095, 17,
       SparkPictureType::Inter},
      {"wider than Flash allows", custom16(4096, 16), false, 0, 0, {}},
      {"zero height", custom16(16, 0), false, 0, 0, {}},
      {"no start code", {0, 0, 0x40, 0, 0, 0, 0}, false, 0, 0, {}},
      {"cut short", {0, 0, 0x80}, false, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto h = ReadSparkHeader(c.bytes);
    ASSERT_EQ(h.has_value(), c.ok);
    if (!h) continue;
    EXPECT_EQ(h->width, c.width);
    EXPECT_EQ(h->height, c.height);
    EXPECT_EQ(h->type, c.type);
  }
}

TEST(VideoStream, ShowsFramesByNumberThroughKeyFrames) {
  VideoDefinition def;
  def.id = 1;
  def.codec = 2;
  def.width = 32;
  def.height = 16;
  def.frames[0] = FlatFrame(Kind::Intra, 32, 16, 72);
  def.frames[1] = SkipFrame(Kind::Inter, 32, 16);
  def.frames[2] = FlatFrame(Kind::Inter, 32, 16, 126);
  def.frames[3] = FlatFrame(Kind::Disposable, 32, 16, 200);
  def.frames[4] = SkipFrame(Kind::Inter, 32, 16);  // shows frame 2: 3 was disposable
  def.frames[5] = {0, 0, 0x80, 0x55};              // damaged: frame 4's picture stays
  def.frames[6] = FlatFrame(Kind::Intra, 32, 16, 235);
  def.frames[7] = SkipFrame(Kind::Inter, 32, 16);
  def.frames[9] = FlatFrame(Kind::Inter, 32, 16, 16);  // no frame 8 in the file
  struct Step {
    uint32_t frame;
    int luma;          // -1: nothing shown
    uint64_t decodes;  // frames decoded by this step
  };
  const Step steps[] = {
      {0, 72, 1},
      {1, 72, 1},
      {2, 126, 1},
      {3, 200, 1},
      {4, 126, 1},
      {5, 126, 1},
      {5, 126, 0},
      {6, 235, 1},
      {8, 235, 1},
      {9, 16, 1},
      {1, 72, 2},   // back: from the key
                    // frame at 0
      {4, 126, 3},  // forward: 2, 3 and 4
      {7, 235, 2},  // forward past a key frame: from 6
      {60000, 16, 1},
  };
  VideoStream stream(def);
  uint64_t before = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.frame);
    const raster::Image* image = stream.FrameAt(s.frame);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 32);
    EXPECT_EQ(image->height, 16);
    EXPECT_EQ(image->pixels[0], Grey(s.luma));
    EXPECT_EQ(image->pixels.back(), Grey(s.luma));
    EXPECT_EQ(stream.DecodedCount() - before, s.decodes);
    before = stream.DecodedCount();
  }
}

TEST(VideoStream, NothingToShowBeforeAGoodFrame) {
  VideoDefinition def;
  def.codec = 2;
  def.frames[3] = SkipFrame(Kind::Inter, 16, 16);  // nothing to refer to
  def.frames[4] = FlatFrame(Kind::Intra, 16, 16, 126);
  VideoStream stream(def);
  EXPECT_EQ(stream.FrameAt(2), nullptr);
  EXPECT_EQ(stream.FrameAt(3), nullptr);
  ASSERT_NE(stream.FrameAt(4), nullptr);
  def.codec = 9;  // no decoder for it
  EXPECT_EQ(VideoStream(def).FrameAt(4), nullptr);
}

TEST(VideoStream, OneJumpDecodesABoundedNumberOfPixels) {
  struct Case {
    uint16_t declared;  // a side of the stream's box
    uint64_t decodes;
    bool shown;
  };
  // 64 Mi pixels a jump: all 21 small frames, or 4 of the largest.
  const Case cases[] = {{16, 21, true}, {4095, 4, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declared);
    VideoDefinition def;
    def.codec = 2;
    def.width = def.height = c.declared;
    def.frames[0] = FlatFrame(Kind::Intra, 16, 16, 126);
    for (uint16_t i = 1; i <= 20; ++i) def.frames[i] = SkipFrame(Kind::Inter, 16, 16);
    VideoStream stream(def);
    EXPECT_EQ(stream.FrameAt(20) != nullptr, c.shown);
    EXPECT_EQ(stream.DecodedCount(), c.decodes);
  }
}

}  // namespace
}  // namespace orrivel::swf::video
