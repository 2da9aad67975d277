// RECT, MATRIX, CXFORM and blend modes.
#include <array>

#include "swf/format/tag_readers.h"

namespace orrivel::swf {

Rect ReadRect(ByteReader& r) {
  BitReader bits(r);
  const unsigned n = bits.UB(5);
  Rect rect;
  rect.xMin = bits.SB(n);
  rect.xMax = bits.SB(n);
  rect.yMin = bits.SB(n);
  rect.yMax = bits.SB(n);
  return rect;
}

Matrix ReadMatrix(ByteReader& r) {
  BitReader bits(r);
  Matrix m;
  if (bits.Flag()) {
    const unsigned n = bits.UB(5);
    m.a = bits.FB(n);
    m.d = bits.FB(n);
  }
  if (bits.Flag()) {
    const unsigned n = bits.UB(5);
    m.b = bits.FB(n);
    m.c = bits.FB(n);
  }
  const unsigned n = bits.UB(5);
  m.tx = bits.SB(n);
  m.ty = bits.SB(n);
  return m;
}

ColorTransform ReadColorTransform(ByteReader& r, bool withAlpha) {
  BitReader bits(r);
  const bool hasAdd = bits.Flag();
  const bool hasMult = bits.Flag();
  const unsigned n = bits.UB(4);
  // n <= 15, so every value fits an int16_t.
  auto read = [&] { return static_cast<int16_t>(bits.SB(n)); };
  ColorTransform cx;
  if (hasMult) {
    cx.rMult = read();
    cx.gMult = read();
    cx.bMult = read();
    if (withAlpha) cx.aMult = read();
  }
  if (hasAdd) {
    cx.rAdd = read();
    cx.gAdd = read();
    cx.bAdd = read();
    if (withAlpha) cx.aAdd = read();
  }
  return cx;
}

BlendMode BlendModeFromByte(uint8_t value) {
  if (value <= 1 || value > static_cast<uint8_t>(BlendMode::HardLight)) return BlendMode::Normal;
  return static_cast<BlendMode>(value);
}

}  // namespace orrivel::swf
