#include "swf/video/h263_tables.h"

#include <array>
#include <string_view>
#include <vector>

namespace orrivel::swf::video::h263 {
namespace {

// A code written as its bits; spaces are for reading.
struct Code {
  std::string_view bits;
  int16_t value;
};

// A direct lookup table for codes up to Bits long.
template <unsigned Bits>
class Vlc {
 public:
  explicit Vlc(std::initializer_list<Code> codes) : table_(size_t{1} << Bits) {
    for (const Code& c : codes) {
      uint32_t prefix = 0;
      unsigned length = 0;
      for (char ch : c.bits) {
        if (ch == ' ') continue;
        prefix = (prefix << 1) | (ch == '1');
        ++length;
      }
      const unsigned free = Bits - length;
      for (uint32_t tail = 0; tail < (1u << free); ++tail) {
        table_[(prefix << free) | tail] = {c.value, static_cast<uint8_t>(length)};
      }
    }
  }
  const VlcEntry& At(uint32_t next) const { return table_[next]; }
  VlcEntry Read(BitStream& bits) const {
    const VlcEntry e = table_[bits.Peek(Bits)];
    bits.Skip(e.length);
    return e;
  }

 private:
  std::vector<VlcEntry> table_;
};

constexpr int16_t Mb(int type, int cbpc) { return static_cast<int16_t>(type * 4 + cbpc); }

const Vlc<9> kIntraMcbpc{
    {"1", Mb(3, 0)},       {"001", Mb(3, 1)},     {"010", Mb(3, 2)},
    {"011", Mb(3, 3)},     {"0001", Mb(4, 0)},    {"0000 01", Mb(4, 1)},
    {"0000 10", Mb(4, 2)}, {"0000 11", Mb(4, 3)}, {"0000 0000 1", kStuffing},
};

const Vlc<9> kInterMcbpc{
    {"1", Mb(0, 0)},           {"0011", Mb(0, 1)},        {"0010", Mb(0, 2)},
    {"0001 01", Mb(0, 3)},     {"011", Mb(1, 0)},         {"0000 111", Mb(1, 1)},
    {"0000 110", Mb(1, 2)},    {"0000 0010 1", Mb(1, 3)}, {"010", Mb(2, 0)},
    {"0000 101", Mb(2, 1)},    {"0000 100", Mb(2, 2)},    {"0000 0101", Mb(2, 3)},
    {"0001 1", Mb(3, 0)},      {"0000 0100", Mb(3, 1)},   {"0000 0011", Mb(3, 2)},
    {"0000 011", Mb(3, 3)},    {"0001 00", Mb(4, 0)},     {"0000 0010 0", Mb(4, 1)},
    {"0000 0001 1", Mb(4, 2)}, {"0000 0001 0", Mb(4, 3)}, {"0000 0000 1", kStuffing},
};

const Vlc<6> kCbpy{
    {"0011", 0},    {"0010 1", 1}, {"0010 0", 2}, {"1001", 3},    {"0001 1", 4}, {"0111", 5},
    {"0000 10", 6}, {"1011", 7},   {"0001 0", 8}, {"0000 11", 9}, {"0101", 10},  {"1010", 11},
    {"0100", 12},   {"1000", 13},  {"0110", 14},  {"11", 15},
};

// Magnitudes 0..32 half pixels; a sign bit follows every one but 0.
const Vlc<12> kMvdMagnitude{
    {"1", 0},
    {"01", 1},
    {"001", 2},
    {"0001", 3},
    {"0000 11", 4},
    {"0000 101", 5},
    {"0000 100", 6},
    {"0000 011", 7},
    {"0000 0101 1", 8},
    {"0000 0101 0", 9},
    {"0000 0100 1", 10},
    {"0000 0100 01", 11},
    {"0000 0100 00", 12},
    {"0000 0011 11", 13},
    {"0000 0011 10", 14},
    {"0000 0011 01", 15},
    {"0000 0011 00", 16},
    {"0000 0010 11", 17},
    {"0000 0010 10", 18},
    {"0000 0010 01", 19},
    {"0000 0010 00", 20},
    {"0000 0001 11", 21},
    {"0000 0001 10", 22},
    {"0000 0001 01", 23},
    {"0000 0001 00", 24},
    {"0000 0000 111", 25},
    {"0000 0000 110", 26},
    {"0000 0000 101", 27},
    {"0000 0000 100", 28},
    {"0000 0000 011", 29},
    {"0000 0000 010", 30},
    {"0000 0000 0011", 31},
    {"0000 0000 0010", 32},
};

// TCOEF events without their sign bit: last * 4096 + run * 64 + level.
constexpr int16_t Ev(int last, int run, int level) {
  return static_cast<int16_t>(last * 4096 + run * 64 + level);
}
constexpr int16_t kEscape = 0x7FFF;

const Vlc<12> kTcoef{
    {"10", Ev(0, 0, 1)},
    {"1111", Ev(0, 0, 2)},
    {"0101 01", Ev(0, 0, 3)},
    {"0010 111", Ev(0, 0, 4)},
    {"0001 1111", Ev(0, 0, 5)},
    {"0001 0010 1", Ev(0, 0, 6)},
    {"0001 0010 0", Ev(0, 0, 7)},
    {"0000 1000 01", Ev(0, 0, 8)},
    {"0000 1000 00", Ev(0, 0, 9)},
    {"0000 0000 111", Ev(0, 0, 10)},
    {"0000 0000 110", Ev(0, 0, 11)},
    {"0000 0100 000", Ev(0, 0, 12)},
    {"110", Ev(0, 1, 1)},
    {"0101 00", Ev(0, 1, 2)},
    {"0001 1110", Ev(0, 1, 3)},
    {"0000 0011 11", Ev(0, 1, 4)},
    {"0000 0100 001", Ev(0, 1, 5)},
    {"0000 0101 0000", Ev(0, 1, 6)},
    {"1110", Ev(0, 2, 1)},
    {"0001 1101", Ev(0, 2, 2)},
    {"0000 0011 10", Ev(0, 2, 3)},
    {"0000 0101 0001", Ev(0, 2, 4)},
    {"0110 1", Ev(0, 3, 1)},
    {"0001 0001 1", Ev(0, 3, 2)},
    {"0000 0011 01", Ev(0, 3, 3)},
    {"0110 0", Ev(0, 4, 1)},
    {"0001 0001 0", Ev(0, 4, 2)},
    {"0000 0101 0010", Ev(0, 4, 3)},
    {"0101 1", Ev(0, 5, 1)},
    {"0000 0011 00", Ev(0, 5, 2)},
    {"0000 0101 0011", Ev(0, 5, 3)},
    {"0100 11", Ev(0, 6, 1)},
    {"0000 0010 11", Ev(0, 6, 2)},
    {"0000 0101 0100", Ev(0, 6, 3)},
    {"0100 10", Ev(0, 7, 1)},
    {"0000 0010 10", Ev(0, 7, 2)},
    {"0100 01", Ev(0, 8, 1)},
    {"0000 0010 01", Ev(0, 8, 2)},
    {"0100 00", Ev(0, 9, 1)},
    {"0000 0010 00", Ev(0, 9, 2)},
    {"0010 110", Ev(0, 10, 1)},
    {"0000 0101 0101", Ev(0, 10, 2)},
    {"0010 101", Ev(0, 11, 1)},
    {"0010 100", Ev(0, 12, 1)},
    {"0001 1100", Ev(0, 13, 1)},
    {"0001 1011", Ev(0, 14, 1)},
    {"0001 0000 1", Ev(0, 15, 1)},
    {"0001 0000 0", Ev(0, 16, 1)},
    {"0000 1111 1", Ev(0, 17, 1)},
    {"0000 1111 0", Ev(0, 18, 1)},
    {"0000 1110 1", Ev(0, 19, 1)},
    {"0000 1110 0", Ev(0, 20, 1)},
    {"0000 1101 1", Ev(0, 21, 1)},
    {"0000 1101 0", Ev(0, 22, 1)},
    {"0000 0100 010", Ev(0, 23, 1)},
    {"0000 0100 011", Ev(0, 24, 1)},
    {"0000 0101 0110", Ev(0, 25, 1)},
    {"0000 0101 0111", Ev(0, 26, 1)},
    {"0111", Ev(1, 0, 1)},
    {"0000 1100 1", Ev(1, 0, 2)},
    {"0000 0000 101", Ev(1, 0, 3)},
    {"0011 11", Ev(1, 1, 1)},
    {"0000 0000 100", Ev(1, 1, 2)},
    {"0011 10", Ev(1, 2, 1)},
    {"0011 01", Ev(1, 3, 1)},
    {"0011 00", Ev(1, 4, 1)},
    {"0010 011", Ev(1, 5, 1)},
    {"0010 010", Ev(1, 6, 1)},
    {"0010 001", Ev(1, 7, 1)},
    {"0010 000", Ev(1, 8, 1)},
    {"0001 1010", Ev(1, 9, 1)},
    {"0001 1001", Ev(1, 10, 1)},
    {"0001 1000", Ev(1, 11, 1)},
    {"0001 0111", Ev(1, 12, 1)},
    {"0001 0110", Ev(1, 13, 1)},
    {"0001 0101", Ev(1, 14, 1)},
    {"0001 0100", Ev(1, 15, 1)},
    {"0001 0011", Ev(1, 16, 1)},
    {"0000 1100 0", Ev(1, 17, 1)},
    {"0000 1011 1", Ev(1, 18, 1)},
    {"0000 1011 0", Ev(1, 19, 1)},
    {"0000 1010 1", Ev(1, 20, 1)},
    {"0000 1010 0", Ev(1, 21, 1)},
    {"0000 1001 1", Ev(1, 22, 1)},
    {"0000 1001 0", Ev(1, 23, 1)},
    {"0000 1000 1", Ev(1, 24, 1)},
    {"0000 0001 11", Ev(1, 25, 1)},
    {"0000 0001 10", Ev(1, 26, 1)},
    {"0000 0001 01", Ev(1, 27, 1)},
    {"0000 0001 00", Ev(1, 28, 1)},
    {"0000 0100 100", Ev(1, 29, 1)},
    {"0000 0100 101", Ev(1, 30, 1)},
    {"0000 0100 110", Ev(1, 31, 1)},
    {"0000 0100 111", Ev(1, 32, 1)},
    {"0000 0101 1000", Ev(1, 33, 1)},
    {"0000 0101 1001", Ev(1, 34, 1)},
    {"0000 0101 1010", Ev(1, 35, 1)},
    {"0000 0101 1011", Ev(1, 36, 1)},
    {"0000 0101 1100", Ev(1, 37, 1)},
    {"0000 0101 1101", Ev(1, 38, 1)},
    {"0000 0101 1110", Ev(1, 39, 1)},
    {"0000 0101 1111", Ev(1, 40, 1)},
    {"0000 011", kEscape},
};

// kTcoef unpacked, so that a read needs no arithmetic on the entry.
const std::vector<TcoefCode> kTcoefTable = [] {
  std::vector<TcoefCode> t(4096);
  for (uint32_t i = 0; i < t.size(); ++i) {
    const VlcEntry& e = kTcoef.At(i);
    if (e.length == 0) continue;
    t[i].length = e.length;
    if (e.value == kEscape) continue;
    t[i].last = (e.value >> 12) != 0;
    t[i].run = static_cast<uint8_t>((e.value >> 6) & 63);
    t[i].level = static_cast<uint8_t>(e.value & 63);
  }
  return t;
}();

}  // namespace

const TcoefCode* const kTcoefCodes = kTcoefTable.data();

const uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

VlcEntry ReadIntraMcbpc(BitStream& bits) { return kIntraMcbpc.Read(bits); }
VlcEntry ReadInterMcbpc(BitStream& bits) { return kInterMcbpc.Read(bits); }
VlcEntry ReadCbpy(BitStream& bits) { return kCbpy.Read(bits); }

VlcEntry ReadMvd(BitStream& bits) {
  VlcEntry e = kMvdMagnitude.Read(bits);
  if (e.length != 0 && e.value != 0 && bits.Flag()) e.value = static_cast<int16_t>(-e.value);
  return e;
}

}  // namespace orrivel::swf::video::h263
