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
// A TCOEF code by the next 12 bits of the stream: length 0 when no code
// starts with them, level 0 for the escape.
struct TcoefCode {
  uint8_t level = 0;  // magnitude; its sign bit follows the code
  uint8_t run = 0;
  bool last = false;
  uint8_t length = 0;
};
extern const TcoefCode* const kTcoefCodes;  // 4096 entries

// One TCOEF event, its sign bit included; not the escape's fields. Inline,
// with one peek for the code and its sign: blocks read many of them.
inline Coefficient ReadCoefficient(BitStream& bits) {
  const uint32_t next = bits.Peek(13);
  const TcoefCode e = kTcoefCodes[next >> 1];
  Coefficient c;
  if (e.length == 0) return c;
  c.valid = true;
  if (e.level == 0) {
    c.escape = true;
    bits.Skip(e.length);
    return c;
  }
  c.last = e.last;
  c.run = e.run;
  const bool negative = ((next >> (12 - e.length)) & 1) != 0;
  c.level = static_cast<int16_t>(negative ? -e.level : e.level);
  bits.Skip(e.length + 1u);
  return c;
}

extern const uint8_t kZigzag[64];

}  // namespace orrivel::swf::video::h263
