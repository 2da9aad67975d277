#include "swf/format/byte_reader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "swf/format/tag_readers.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using test::SwfWriter;

TEST(ByteReader, ReadPastEndFailsStickilyAndReturnsZero) {
  const std::vector<uint8_t> data = {0x34, 0x12, 0x78};
  ByteReader r(data);
  EXPECT_EQ(r.U16(), 0x1234);
  EXPECT_EQ(r.U16(), 0);  // one byte left
  EXPECT_TRUE(r.Failed());
  EXPECT_EQ(r.U8(), 0);  // the failure sticks
}

TEST(ByteReader, SubReaderCannotReadIntoTheRest) {
  const std::vector<uint8_t> data = {1, 2, 3, 4};
  ByteReader r(data);
  ByteReader sub = r.Sub(2);
  EXPECT_EQ(sub.U16(), 0x0201);
  EXPECT_EQ(sub.U8(), 0);
  EXPECT_TRUE(sub.Failed());
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.U8(), 3);
}

TEST(ByteReader, StringNeedsItsTerminator) {
  const std::vector<uint8_t> good = {'a', 'b', 0, 'c'};
  ByteReader r(good);
  EXPECT_EQ(r.String(), "ab");
  EXPECT_EQ(r.String(), "");
  EXPECT_TRUE(r.Failed());
}

struct BitCase {
  const char* name;
  std::vector<uint8_t> bytes;
  unsigned n;
  bool isSigned;
  int64_t expected;
};

class BitFields : public ::testing::TestWithParam<BitCase> {};

TEST_P(BitFields, ReadsValue) {
  const auto& c = GetParam();
  ByteReader r(c.bytes);
  BitReader bits(r);
  const int64_t v = c.isSigned ? bits.SB(c.n) : static_cast<int64_t>(bits.UB(c.n));
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(v, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, BitFields,
    ::testing::Values(
        BitCase{"ub3", {0b1010'0000}, 3, false, 5},
        BitCase{"ub12_across_bytes", {0xAB, 0xC0}, 12, false, 0xABC},
        BitCase{"ub32", {0xFF, 0xFF, 0xFF, 0xFF}, 32, false, 0xFFFFFFFF},
        BitCase{"sb0", {}, 0, true, 0},
        BitCase{"sb1_set_is_minus_one", {0x80}, 1, true, -1},
        BitCase{"sb4_negative", {0b1110'0000}, 4, true, -2},
        BitCase{"sb4_positive", {0b0110'0000}, 4, true, 6},
        BitCase{"sb31_min", {0x80, 0, 0, 0}, 31, true, -(int64_t{1} << 30)},
        BitCase{"sb32_min", {0x80, 0, 0, 0}, 32, true, INT32_MIN}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BitReader, LeavesByteReaderAlignedAfterScope) {
  const std::vector<uint8_t> data = {0b1010'0000, 0x42};
  ByteReader r(data);
  {
    BitReader bits(r);
    EXPECT_EQ(bits.UB(3), 5u);
  }
  EXPECT_EQ(r.U8(), 0x42);
}

TEST(BitReader, RejectsWidthsOverThirtyTwoAndRunningOut) {
  const std::vector<uint8_t> data = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ByteReader r(data);
  BitReader bits(r);
  bits.UB(33);
  EXPECT_TRUE(r.Failed());
  ByteReader r2(data);
  BitReader bits2(r2);
  bits2.UB(32);
  bits2.UB(9);
  EXPECT_TRUE(r2.Failed());
}

TEST(Records, RectIsBitPacked) {
  // nbits=15: 0, 11000, 0, 8000 twips (550x400 px)
  auto bytes = SwfWriter().Rect(15, 0, 11000, -20, 8000).U8(0x99).Take();
  ByteReader r(bytes);
  const Rect rect = ReadRect(r);
  EXPECT_EQ(rect, (Rect{0, 11000, -20, 8000}));
  EXPECT_EQ(r.U8(), 0x99);  // aligned after the rect
  EXPECT_FALSE(r.Failed());
}

TEST(Records, RectWidthsAtTheLimitNeverOverflow) {
  const int32_t lo = -(1 << 30), hi = (1 << 30) - 1;
  auto bytes = SwfWriter().Rect(31, lo, hi, lo, hi).Take();
  ByteReader r(bytes);
  const Rect rect = ReadRect(r);
  EXPECT_EQ(rect.Width(), INT32_MAX);
}

struct MatrixCase {
  const char* name;
  std::vector<uint8_t> bytes;
  Matrix expected;
};

class Matrices : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(Matrices, Reads) {
  ByteReader r(GetParam().bytes);
  EXPECT_EQ(ReadMatrix(r), GetParam().expected);
  EXPECT_FALSE(r.Failed());
  EXPECT_TRUE(r.AtEnd());
}

INSTANTIATE_TEST_SUITE_P(
    All, Matrices,
    ::testing::Values(
        MatrixCase{"identity", SwfWriter().Flag(false).Flag(false).Bits(5, 0).Take(), Matrix{}},
        MatrixCase{"translate", SwfWriter().Translate(12, -100, 2000).Take(),
                   Matrix{1, 0, 0, 1, -100, 2000}},
        MatrixCase{"scale_and_rotate",
                   SwfWriter()
                       .Flag(true).Bits(5, 19).Bits(19, 0x20000).Bits(19, -0x8000)  // a=2, d=-0.5
                       .Flag(true).Bits(5, 18).Bits(18, 0x4000).Bits(18, -0x10000)  // b=.25, c=-1
                       .Bits(5, 0)
                       .Take(),
                   Matrix{2, 0.25, -1, -0.5, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Records, ColorTransformWithAndWithoutAlpha) {
  // add and mult terms, 10 bits: mult (128, 256, 512[, 64]), add (-255, 0, 255[, 10])
  auto withAlpha = SwfWriter().Flag(true).Flag(true).Bits(4, 10)
                       .Bits(10, 128).Bits(10, 256).Bits(10, 511).Bits(10, 64)
                       .Bits(10, -255).Bits(10, 0).Bits(10, 255).Bits(10, 10).Take();
  ByteReader r(withAlpha);
  const ColorTransform cx = ReadColorTransform(r, true);
  EXPECT_EQ(cx, (ColorTransform{128, 256, 511, 64, -255, 0, 255, 10}));
  EXPECT_TRUE(r.AtEnd());

  auto addOnly = SwfWriter().Flag(true).Flag(false).Bits(4, 9).Bits(9, 1).Bits(9, 2).Bits(9, -3).Take();
  ByteReader r2(addOnly);
  EXPECT_EQ(ReadColorTransform(r2, false), (ColorTransform{256, 256, 256, 256, 1, 2, -3, 0}));
  EXPECT_TRUE(r2.AtEnd());
}

TEST(Records, FilterListIsSkippedAndUnknownFilterFails) {
  auto list = SwfWriter().U8(3)
                  .U8(1).Raw(std::vector<uint8_t>(9, 0))                  // blur
                  .U8(4).U8(2).Raw(std::vector<uint8_t>(2 * 5 + 19, 0))  // gradient glow, 2 colours
                  .U8(5).U8(2).U8(2).Raw(std::vector<uint8_t>(8 + 16 + 5, 0))  // 2x2 convolution
                  .U8(0xAA).Take();
  ByteReader r(list);
  SkipFilterList(r);
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.U8(), 0xAA);

  auto bad = SwfWriter().U8(1).U8(9).Take();
  ByteReader r2(bad);
  SkipFilterList(r2);
  EXPECT_TRUE(r2.Failed());
}

}  // namespace
}  // namespace orrivel::swf
