// The basic records: RECT, MATRIX, CXFORM and the filter list.
#include <gtest/gtest.h>

#include "swf/format/tag_readers.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using test::SwfWriter;

TEST(Records, RectIsBitPackedAndNeverOverflows) {
  auto bytes = SwfWriter().Rect(15, 0, 11000, -20, 8000).U8(0x99).Take();
  ByteReader r(bytes);
  EXPECT_EQ(ReadRect(r), (Rect{0, 11000, -20, 8000}));
  EXPECT_EQ(r.U8(), 0x99);  // aligned after the rect
  const int32_t lo = -(1 << 30), hi = (1 << 30) - 1;
  auto limits = SwfWriter().Rect(31, lo, hi, lo, hi).Take();
  ByteReader r2(limits);
  EXPECT_EQ(ReadRect(r2).Width(), INT32_MAX);
}

TEST(Records, Matrices) {
  const std::pair<std::vector<uint8_t>, Matrix> cases[] = {
      {SwfWriter().Flag(false).Flag(false).Bits(5, 0).Take(), Matrix{}},
      {SwfWriter().Translate(12, -100, 2000).Take(), Matrix{1, 0, 0, 1, -100, 2000}},
      {SwfWriter()
           .Flag(true)
           .Bits(5, 19)
           .Bits(19, 0x20000)
           .Bits(19, -0x8000)  // a=2, d=-0.5
           .Flag(true)
           .Bits(5, 18)
           .Bits(18, 0x4000)
           .Bits(18, -0x10000)  // b=.25, c=-1
           .Bits(5, 0)
           .Take(),
       Matrix{2, 0.25, -1, -0.5, 0, 0}},
  };
  for (const auto& [bytes, expected] : cases) {
    ByteReader r(bytes);
    EXPECT_EQ(ReadMatrix(r), expected);
    EXPECT_TRUE(r.AtEnd() && !r.Failed());
  }
}

TEST(Records, ColorTransformWithAndWithoutAlpha) {
  auto withAlpha = SwfWriter()
                       .Flag(true)
                       .Flag(true)
                       .Bits(4, 10)
                       .Bits(10, 128)
                       .Bits(10, 256)
                       .Bits(10, 511)
                       .Bits(10, 64)
                       .Bits(10, -255)
                       .Bits(10, 0)
                       .Bits(10, 255)
                       .Bits(10, 10)
                       .Take();
  ByteReader r(withAlpha);
  EXPECT_EQ(ReadColorTransform(r, true), (ColorTransform{128, 256, 511, 64, -255, 0, 255, 10}));
  EXPECT_TRUE(r.AtEnd());
  auto addOnly =
      SwfWriter().Flag(true).Flag(false).Bits(4, 9).Bits(9, 1).Bits(9, 2).Bits(9, -3).Take();
  ByteReader r2(addOnly);
  EXPECT_EQ(ReadColorTransform(r2, false), (ColorTransform{256, 256, 256, 256, 1, 2, -3, 0}));
  EXPECT_TRUE(r2.AtEnd());
}

TEST(Records, FilterListIsReadPastAndUnknownFilterFails) {
  auto list = SwfWriter()
                  .U8(3)
                  .U8(1)
                  .Raw(std::vector<uint8_t>(9, 0))  // blur
                  .U8(4)
                  .U8(2)
                  .Raw(std::vector<uint8_t>(2 * 5 + 19, 0))  // gradient glow, 2 colours
                  .U8(5)
                  .U8(2)
                  .U8(2)
                  .Raw(std::vector<uint8_t>(8 + 16 + 5, 0))  // 2x2 convolution
                  .U8(0xAA)
                  .Take();
  ByteReader r(list);
  Budget budget(1 << 20);
  EXPECT_EQ(ReadFilterList(r, budget).size(), 3u);
  EXPECT_EQ(r.U8(), 0xAA);
  EXPECT_FALSE(r.Failed());
  auto bad = SwfWriter().U8(1).U8(9).Take();
  ByteReader r2(bad);
  ReadFilterList(r2, budget);
  EXPECT_TRUE(r2.Failed());
}

}  // namespace
}  // namespace orrivel::swf
