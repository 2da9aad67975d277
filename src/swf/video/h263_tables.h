// The variable-length codes of H.263 that Sorenson Spark keeps: macroblock
// type and chroma pattern, luma pattern, motion vector differences and
// transform coefficients. Each is looked up by peeking its longest code.
#pragma once

#include <cstdint>

#include "swf/video/bit_stream.h"

namespace orrivel::swf::video::h263 {

struct VlcEntry {
  int16_t value = 0;
  uint8_t length = 0;  // 0: no code starts with these bits
};

// MCBPC: value = macroblock type * 4 + chroma pattern; kStuffing for stuffing.
inline constexpr int16_t kStuffing = -1;
VlcEntry ReadIntraMcbpc(BitStream& bits);
VlcEntry ReadInterMcbpc(BitStream& bits);
// CBPY as intra macroblocks read it (inter ones invert it).
VlcEntry ReadCbpy(BitStream& bits);
// A motion vector difference in half pixels, sign included.
VlcEntry ReadMvd(BitStream& bits);

struct Coefficient {
  bool escape = false;  // the fixed-length escape follows
  bool last = false;
  uint8_t run = 0;
  int16_t level = 0;  // signed
  bool valid = false;
};
// One TCOEF event, its sign bit included; not the escape's fields.
Coefficient ReadCoefficient(BitStream& bits);

extern const uint8_t kZigzag[64];

}  // namespace orrivel::swf::video::h263
