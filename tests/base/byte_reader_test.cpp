#include "base/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orrivel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteReader, ReadsBothByteOrdersAndFailsStickilyPastTheEnd) {
  const Bytes data = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x9A};
  ByteReader r(data);
  EXPECT_EQ(r.U16(), 0x1234);
  EXPECT_EQ(r.U32Be(), 0x78563412u);
  EXPECT_EQ(r.U16Be(), 0);  // one byte left
  EXPECT_TRUE(r.Failed());
  EXPECT_EQ(r.U8(), 0);  // the failure sticks
  ByteReader be(data);
  EXPECT_EQ(be.U16Be(), 0x3412);
  EXPECT_EQ(be.U32(), 0x12345678u);
}

TEST(ByteReader, SubReaderCannotReadIntoTheRest) {
  const Bytes data = {1, 2, 3, 4};
  ByteReader r(data);
  ByteReader sub = r.Sub(2);
  EXPECT_EQ(sub.U16(), 0x0201);
  EXPECT_EQ(sub.U8(), 0);
  EXPECT_TRUE(sub.Failed());
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.U8(), 3);
  EXPECT_TRUE(r.Sub(5).Failed());
}

TEST(ByteReader, StringsWithAndWithoutTerminator) {
  const Bytes data = {'a', 'b', 0, 'c'};
  ByteReader lenient(data);
  EXPECT_EQ(lenient.StringToEnd(), "ab");
  EXPECT_EQ(lenient.StringToEnd(), "c");  // runs to the end
  EXPECT_FALSE(lenient.Failed());
  ByteReader strict(data);
  EXPECT_EQ(strict.String(), "ab");
  EXPECT_EQ(strict.String(), "");
  EXPECT_TRUE(strict.Failed());
}

TEST(BitReader, ReadsFieldsMostSignificantBitFirst) {
  struct Case {
    Bytes bytes;
    unsigned n;
    bool isSigned;
    int64_t expected;
  } cases[] = {
      {{0b1010'0000}, 3, false, 5},
      {{0xAB, 0xC0}, 12, false, 0xABC},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 32, false, 0xFFFFFFFF},
      {{}, 0, true, 0},
      {{0x80}, 1, true, -1},
      {{0b1110'0000}, 4, true, -2},
      {{0b0110'0000}, 4, true, 6},
      {{0x80, 0, 0, 0}, 31, true, -(int64_t{1} << 30)},
      {{0x80, 0, 0, 0}, 32, true, INT32_MIN},
  };
  for (const Case& c : cases) {
    ByteReader r(c.bytes);
    BitReader bits(r);
    EXPECT_EQ(c.isSigned ? bits.SB(c.n) : int64_t{bits.UB(c.n)}, c.expected) << c.n;
    EXPECT_FALSE(r.Failed());
  }
}

TEST(BitReader, AlignsWhenDoneAndFailsOnBadWidthsOrRunningOut) {
  const Bytes data = {0b1010'0000, 0x42, 0xFF, 0xFF, 0xFF};
  ByteReader r(data);
  {
    BitReader bits(r);
    EXPECT_EQ(bits.UB(3), 5u);
  }
  EXPECT_EQ(r.U8(), 0x42);
  BitReader(r).UB(33);
  EXPECT_TRUE(r.Failed());
  ByteReader r2(data);
  BitReader bits2(r2);
  bits2.UB(32);
  bits2.UB(9);
  EXPECT_TRUE(r2.Failed());
}

}  // namespace
}  // namespace orrivel
