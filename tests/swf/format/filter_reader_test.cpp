#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <cmath>
#include <limits>
#include <tuple>

#include "swf/format/tag_readers.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using test::SwfWriter;

uint32_t Fixed(double v) { return static_cast<uint32_t>(static_cast<int32_t>(v * 65536)); }
uint32_t Float(float v) { return std::bit_cast<uint32_t>(v); }

FilterList Read(const std::vector<uint8_t>& bytes, bool& failed) {
  ByteReader r(bytes);
  Budget budget(1 << 20);
  FilterList list = ReadFilterList(r, budget);
  failed = r.Failed();
  return list;
}

// Each filter as the file stores it, and what the player keeps of it:
// hostile sizes are brought into range, the flags split out.
TEST(FilterReaderTest, EachKindAndItsLimits) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::function<void(const Filter&)> check;
  } cases[] = {
      {"blur clamps its size and passes",
       SwfWriter().U8(1).U8(1).U32(Fixed(30000)).U32(Fixed(-4)).U8(31 << 3).Take(),
       [](const Filter& f) {
         EXPECT_EQ(f.kind, Filter::Kind::Blur);
         EXPECT_EQ(std::tuple(f.blurX, f.blurY, f.passes), std::tuple(255.0f, 0.0f, 15));
       }},
      {"drop shadow: inner, knockout, object hidden",
       SwfWriter()
           .U8(1)
           .U8(0)
           .Rgba(1, 2, 3, 4)
           .U32(Fixed(5))
           .U32(Fixed(6))
           .U32(Fixed(0.5))
           .U32(Fixed(1e4))
           .U16(0x0180)  // strength 1.5
           .U8(0xC3)
           .Take(),
       [](const Filter& f) {
         EXPECT_EQ(f.color, (Rgba{1, 2, 3, 4}));
         EXPECT_EQ(std::tuple(f.blurX, f.angle, f.distance, f.strength, f.passes),
                   std::tuple(5.0f, 0.5f, Filter::kMaxDistance, 1.5f, 3));
         EXPECT_EQ(std::tuple(f.inner, f.knockout, f.hideObject), std::tuple(true, true, true));
       }},
      {"bevel keeps the highlight stored first, and its type",
       SwfWriter()
           .U8(1)
           .U8(3)
           .Rgba(255, 0, 0, 255)
           .Rgba(0, 0, 255, 255)
           .Raw(std::vector<uint8_t>(18, 0))
           .U8(0x31)  // composite, on top, 1 pass
           .Take(),
       [](const Filter& f) {
         EXPECT_EQ(f.highlight, (Rgba{255, 0, 0, 255}));
         EXPECT_EQ(f.color, (Rgba{0, 0, 255, 255}));
         EXPECT_EQ(std::tuple(f.onTop, f.hideObject, f.passes), std::tuple(true, false, 1));
       }},
      {"colour matrix NaN becomes zero",
       [&] {
         SwfWriter w;
         w.U8(1).U8(6).U32(Float(nan));
         for (int i = 1; i < 20; ++i) w.U32(Float(2e9f));
         return w.Take();
       }(),
       [](const Filter& f) {
         EXPECT_EQ(f.colorMatrix[0], 0.0f);
         EXPECT_EQ(f.colorMatrix[19], 1e6f);
       }},
      {"a convolution too large is dropped, the next filter kept",
       SwfWriter()
           .U8(2)
           .U8(5)
           .U8(16)
           .U8(16)
           .U32(Float(1))
           .U32(Float(0))
           .Raw(std::vector<uint8_t>(16 * 16 * 4 + 5, 0))
           .U8(1)
           .Raw(std::vector<uint8_t>(9, 0))
           .Take(),
       [](const Filter& f) { EXPECT_EQ(f.kind, Filter::Kind::Blur); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool failed = true;
    const FilterList list = Read(c.bytes, failed);
    EXPECT_FALSE(failed);
    ASSERT_EQ(list.size(), 1u);
    c.check(list[0]);
  }
}

TEST(FilterReaderTest, ShortOrUnknownFailsAndKeepsWhatCameBefore) {
  bool failed = false;
  EXPECT_EQ(
      Read(SwfWriter().U8(2).U8(1).Raw(std::vector<uint8_t>(9, 0)).U8(8).Take(), failed).size(),
      1u);
  EXPECT_TRUE(failed);
  EXPECT_TRUE(Read(SwfWriter().U8(1).U8(0).U8(1).Take(), failed).empty());
  EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace orrivel::swf
