#include "swf/raster/color_table.h"

#include <gtest/gtest.h>

namespace orrivel::swf::raster {
namespace {

// The tables give what unpremultiplying, transforming and premultiplying
// again gives, for every alpha and a spread of colours, including pixels
// whose colour exceeds their alpha (damaged bitmaps). A pixel with no
// alpha stays transparent, even under a positive alpha offset.
TEST(ColorTableTest, MatchesTheTransformOfTheStraightColour) {
  struct Case {
    const char* name;
    ColorTransform ct;
  };
  ColorTransform half, tint, add, negative, clamp;
  half.aMult = 128;
  tint.rMult = 200, tint.gMult = 40, tint.bMult = 300, tint.aMult = 230;
  add.rAdd = 40, add.gAdd = -30, add.bAdd = 255, add.aAdd = 20;
  negative.rMult = -256, negative.rAdd = 255, negative.aMult = -100, negative.aAdd = 255;
  clamp.gMult = 32767, clamp.aAdd = -255;
  ColorTransform opaque;
  opaque.aAdd = 255, opaque.rAdd = 255;
  const Case cases[] = {{"identity", {}},        {"half alpha", half},   {"tint", tint},
                        {"offsets", add},        {"negative", negative}, {"saturating", clamp},
                        {"alpha offset", opaque}};
  for (const Case& c : cases) {
    const ColorTable table(c.ct);
    int mismatches = 0;
    for (uint32_t a = 0; a < 256; ++a) {
      for (uint32_t v = 0; v < 256; v += 5) {
        const uint32_t valid = v * a / 255;
        for (const uint32_t p :
             {PackArgb(a, valid, a - valid, valid / 2), PackArgb(a, v, 255 - v, v)}) {
          const uint32_t expected = a == 0 ? 0 : Premultiply(c.ct.Apply(Unpremultiply(p)));
          if (table.Apply(p) != expected && ++mismatches < 5) {
            ADD_FAILURE() << c.name << ": pixel " << std::hex << p << " gives " << table.Apply(p)
                          << ", expected " << expected;
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf::raster
