// The system's fonts through GDI: generic names open a face whose outlines
// reach the rasterizer.
#include "swf/render/device_fonts.h"

#include <gtest/gtest.h>

namespace orrivel::swf {
namespace {

TEST(DeviceFontsWin32Test, GenericNamesGiveOutlinesAndAdvances) {
  DeviceFonts& fonts = SystemDeviceFonts();
  for (const char* name : {"_sans", "_serif", "_typewriter"}) {
    const int face = fonts.OpenFace(name, false, false);
    ASSERT_GE(face, 0) << name;
    EXPECT_GT(fonts.Metrics(face).ascent, 500) << name;
    const auto a = fonts.Glyph(face, U'A');
    ASSERT_TRUE(a && a->outline.size() > 3) << name;
    EXPECT_GT(a->advance, 400) << name;
    EXPECT_LT(a->advance, 900) << name;
    const auto space = fonts.Glyph(face, U' ');
    ASSERT_TRUE(space) << name;
    EXPECT_TRUE(space->outline.empty());
  }
  // Curved outlines come through whole: every contour closes where it began.
  const auto o = fonts.Glyph(fonts.OpenFace("_serif", false, true), U'O');
  ASSERT_TRUE(o);
  int curves = 0, contours = 0;
  std::pair<int32_t, int32_t> at{0, 0}, start{0, 0};
  for (const ShapeRecord& r : o->outline) {
    if (const auto* s = std::get_if<StyleChangeRecord>(&r); s && s->moveTo) {
      EXPECT_EQ(at, start) << "contour " << contours;
      at = start = *s->moveTo;
      ++contours;
    } else if (const auto* l = std::get_if<StraightEdgeRecord>(&r)) {
      at = {at.first + l->dx, at.second + l->dy};
    } else if (const auto* c = std::get_if<CurvedEdgeRecord>(&r)) {
      at = {at.first + c->controlDx + c->anchorDx, at.second + c->controlDy + c->anchorDy};
      ++curves;
    }
  }
  EXPECT_EQ(at, start);
  EXPECT_EQ(contours, 2);
  EXPECT_GT(curves, 4);
  // Bold is wider than regular.
  const int regular = fonts.OpenFace("_sans", false, false),
            bold = fonts.OpenFace("_sans", true, false);
  EXPECT_GT(fonts.Glyph(bold, U'm')->advance, fonts.Glyph(regular, U'm')->advance);
}

}  // namespace
}  // namespace orrivel::swf
