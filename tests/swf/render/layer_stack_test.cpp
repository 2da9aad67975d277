#include "swf/render/layer_stack.h"

#include <gtest/gtest.h>

#include "swf/raster/pixel.h"

namespace orrivel::swf {
namespace {

raster::Path Rect(float x0, float y0, float x1, float y1) {
  raster::Path p;
  p.MoveTo(x0, y0);
  p.LineTo(x1, y0);
  p.LineTo(x1, y1);
  p.LineTo(x0, y1);
  p.Close();
  return p;
}

// A mask of the given size covering one rectangle (anti-aliased edges).
raster::Mask Covering(int w, int h, float x0, float y0, float x1, float y1) {
  raster::Mask m = EmptyMask(w, h);
  raster::FillMask(m, Rect(x0, y0, x1, y1), raster::FillRule::NonZero);
  return m;
}

// Masks track the rows they may cover; whatever the ranges, intersecting
// through the clip stack and cropping must give the plain per-byte results.
TEST(LayerStackTest, MasksIntersectAndCropAsWholeCanvasMasksDo) {
  struct Case {
    const char* name;
    float parent[4], a[4], b[4];
  };
  constexpr int w = 24, h = 40;
  const Case cases[] = {
      {"overlapping rows", {0, 2.5f, 24, 30}, {3, 10.3f, 20, 25}, {1, 20, 12, 38.6f}},
      {"disjoint rows", {0, 0, 24, 40}, {2, 1, 20, 9.5f}, {2, 20.5f, 20, 30}},
      {"nested inside", {4.5f, 5.5f, 18, 34}, {0, 0, 24, 40}, {6, 12, 10, 14.2f}},
      {"parent misses", {0, 36, 24, 38}, {0, 1, 24, 8}, {0, 2, 24, 9}},
  };
  for (const Case& c : cases) {
    const raster::Mask parent = Covering(w, h, c.parent[0], c.parent[1], c.parent[2], c.parent[3]);
    const raster::Mask a = Covering(w, h, c.a[0], c.a[1], c.a[2], c.a[3]);
    const raster::Mask b = Covering(w, h, c.b[0], c.b[1], c.b[2], c.b[3]);
    ClipStack clips(&parent);
    clips.Push(10, a);
    clips.Push(20, b);
    const raster::Mask& both = *clips.Current();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        const uint32_t pa = raster::Div255(uint32_t{a.coverage[i]} * parent.coverage[i]);
        const uint32_t pb = raster::Div255(uint32_t{b.coverage[i]} * parent.coverage[i]);
        ASSERT_EQ(both.coverage[i], raster::Div255(pa * pb)) << c.name << " at " << x << "," << y;
        if (both.RowClear(y)) {
          ASSERT_EQ(both.coverage[i], 0) << c.name << " row " << y;
        }
      }
    }
    const PixelBox box{3, 7, 19, 33};
    const raster::Mask crop = CropMask(both, box);
    for (int y = box.y0; y < box.y1; ++y) {
      for (int x = box.x0; x < box.x1; ++x) {
        const size_t i = static_cast<size_t>(y - box.y0) * crop.width + (x - box.x0);
        ASSERT_EQ(crop.coverage[i], both.coverage[static_cast<size_t>(y) * w + x]) << c.name;
        if (crop.RowClear(y - box.y0)) {
          ASSERT_EQ(crop.coverage[i], 0) << c.name;
        }
      }
    }
  }
}

}  // namespace
}  // namespace orrivel::swf
