// The length of an MP3 file as Sound.loadSound reports it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "swf/sound/mp3_header.h"

namespace orrivel::swf {
namespace {

// `count` frames with the header bytes h1 h2 (after 0xFF), zero-filled.
std::vector<uint8_t> Frames(uint8_t h1, uint8_t h2, std::size_t length, int count) {
  std::vector<uint8_t> out;
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> f(length, 0);
    f[0] = 0xFF, f[1] = h1, f[2] = h2;
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

TEST(Mp3DurationTest, FramesAreCountedAtTheirRate) {
  std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 4, 1, 2, 3, 4};
  const auto body = Frames(0xFB, 0x90, 417, 10);  // MPEG 1, 128 kbps, 44.1 kHz
  tagged.insert(tagged.end(), body.begin(), body.end());
  std::vector<uint8_t> damaged = Frames(0xFB, 0x90, 417, 3);
  damaged.insert(damaged.end(), {0x12, 0x34, 0x56, 0x78});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    double ms;
  } cases[] = {
      {"MPEG 1 at 44.1 kHz", Frames(0xFB, 0x90, 417, 10), 261},
      {"after an ID3v2 tag", tagged, 261},
      {"MPEG 2 at 22.05 kHz, 32 kbps", Frames(0xF3, 0x40, 104, 4), 104},
      {"stops at a damaged header", damaged, 78},
      {"no frames", std::vector<uint8_t>(64, 0), 0},
      {"a header cut short", {0xFF, 0xFB}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Mp3DurationMs(c.bytes), c.ms) << c.what;
}

}  // namespace
}  // namespace orrivel::swf
