// Turns SWF shape records (edges carrying a left fill, a right fill and a
// line style) into fillable closed contours per fill style and polylines per
// line style, in the order Flash draws them. Coordinates stay in twips.
#pragma once

#include <memory>
#include <vector>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"

namespace orrivel::swf {

struct ScriptBitmap;

struct ShapeLayer {
  bool isLine = false;
  raster::Path path;  // twips
  FillStyle fill;     // fill layers
  LineStyle line;     // line layers
  // A script's bitmap fill (beginBitmapFill): the bitmap, and its pixels
  // when the shape was taken, which the fill shows instead of fill.bitmapId.
  std::shared_ptr<ScriptBitmap> scriptBitmap;
  std::shared_ptr<const raster::Image> picture;
};

// Bounds of all points in twips (control points included, so conservative).
struct FloatRect {
  float xMin = 0, yMin = 0, xMax = -1, yMax = -1;
  bool Empty() const { return xMax < xMin || yMax < yMin; }
  void Include(float x, float y);
  void Include(const FloatRect& r);
};

struct ConvertedShape {
  raster::FillRule fillRule = raster::FillRule::EvenOdd;
  std::vector<ShapeLayer> layers;  // draw order: per style group, fills then lines
  FloatRect bounds;                // of the geometry, twips, strokes not included
  float maxLineWidth = 0;          // twips, widest line style in use
};

ConvertedShape ConvertShape(const Shape& shape, bool nonZeroWinding);

}  // namespace orrivel::swf
