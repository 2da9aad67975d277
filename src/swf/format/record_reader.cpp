// RECT, MATRIX, CXFORM, blend modes and filter lists.
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

void SkipFilterList(ByteReader& r) {
  const unsigned count = r.U8();
  for (unsigned i = 0; i < count && !r.Failed(); ++i) {
    const uint8_t id = r.U8();
    switch (id) {
      case 0:
        r.Skip(23);
        break;  // drop shadow
      case 1:
        r.Skip(9);
        break;  // blur
      case 2:
        r.Skip(15);
        break;  // glow
      case 3:
        r.Skip(27);
        break;   // bevel
      case 4:    // gradient glow
      case 7: {  // gradient bevel
        const unsigned colors = r.U8();
        r.Skip(colors * 5u + 19u);
        break;
      }
      case 5: {  // convolution
        const unsigned w = r.U8();
        const unsigned h = r.U8();
        r.Skip(8 + w * h * 4u + 5);
        break;
      }
      case 6:
        r.Skip(80);
        break;  // colour matrix
      default:
        r.Fail();
        break;
    }
  }
}

}  // namespace orrivel::swf
