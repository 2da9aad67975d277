// Shared check for the screen codecs: ffmpeg encodes a test pattern, decodes
// its own stream to BGR, and every frame the decoder gives must match it to
// the byte.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffmpeg_oracle.h"

namespace orrivel::swf::video::test {

struct ScreenCase {
  const char* name;
  int width, height;
  const char* encode;  // ffmpeg's encoder options
  int frames;
};

// `codec` is ffmpeg's encoder name, `source` its lavfi test source.
template <typename Decoder>
void ExpectMatchesFfmpeg(const char* codec, const char* source, const ScreenCase& c) {
  SCOPED_TRACE(c.name);
  ScratchDir dir(codec);
  const fs::path flv = dir.Path() / "in.flv", rgb = dir.Path() / "out.rgb";
  const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
  ASSERT_TRUE(RunQuiet("ffmpeg -y -f lavfi -i " + std::string(source) + "=size=" + size +
                       ":rate=10 -frames:v " + std::to_string(c.frames) + " -c:v " + codec + " " +
                       c.encode + " " + flv.string()));
  ASSERT_TRUE(
      RunQuiet("ffmpeg -y -i " + flv.string() + " -f rawvideo -pix_fmt bgr24 " + rgb.string()));
  const FlvVideo video = ReadFlvVideo(ReadFile(flv));
  const std::vector<uint8_t> ref = ReadFile(rgb);
  ASSERT_EQ(static_cast<int>(video.packets.size()), c.frames);
  const size_t frameSize = size_t(c.width) * c.height * 3;
  ASSERT_EQ(ref.size(), frameSize * c.frames);
  Decoder decoder;
  for (int i = 0; i < c.frames; ++i) {
    EXPECT_EQ(decoder.IsKeyFrame(video.packets[i]), video.keyFrames[i]) << i;
    ASSERT_TRUE(decoder.Decode(video.packets[i])) << i;
    const auto& p = decoder.Picture();
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

}  // namespace orrivel::swf::video::test
