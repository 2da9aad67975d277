#include "base/color.h"

#include <algorithm>

namespace orrivel {
namespace {

int16_t Clamp16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

uint8_t ApplyChannel(uint8_t c, int16_t mult, int16_t add) {
  const int32_t v = (static_cast<int32_t>(c) * mult) / 256 + add;
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

ColorTransform ColorTransform::operator*(const ColorTransform& in) const {
  ColorTransform r;
  r.rMult = Clamp16(rMult * in.rMult / 256);
  r.gMult = Clamp16(gMult * in.gMult / 256);
  r.bMult = Clamp16(bMult * in.bMult / 256);
  r.aMult = Clamp16(aMult * in.aMult / 256);
  r.rAdd = Clamp16(rMult * in.rAdd / 256 + rAdd);
  r.gAdd = Clamp16(gMult * in.gAdd / 256 + gAdd);
  r.bAdd = Clamp16(bMult * in.bAdd / 256 + bAdd);
  r.aAdd = Clamp16(aMult * in.aAdd / 256 + aAdd);
  return r;
}

Rgba ColorTransform::Apply(Rgba c) const {
  return {ApplyChannel(c.r, rMult, rAdd), ApplyChannel(c.g, gMult, gAdd),
          ApplyChannel(c.b, bMult, bAdd), ApplyChannel(c.a, aMult, aAdd)};
}

}  // namespace orrivel
