// Resolves SWF fill styles into rasterizer paints for one placement: the
// colour transform is applied to colours and gradient stops, gradient and
// bitmap matrices are turned into device-to-paint mappings.
#pragma once

#include <functional>
#include <optional>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"

namespace orrivel::swf {

// Finds a decoded bitmap by character id; nullptr when there is none.
using BitmapLookup = std::function<const raster::Image*(uint16_t id)>;

struct PaintContext {
  Matrix shapeToDevice;  // twips of the shape to device pixels
  ColorTransform colorTransform;
  bool allowSmoothing = true;  // low quality never smooths bitmaps
  BitmapLookup bitmaps;
};

// Nothing when the style cannot draw (a missing bitmap, no gradient records,
// a singular bitmap matrix): Flash leaves such fills empty.
std::optional<raster::Paint> MakePaint(const FillStyle& style, const PaintContext& context);

// Paint for a line without its own fill: its colour through the transform.
raster::Paint SolidPaint(Rgba color, const ColorTransform& transform);

}  // namespace orrivel::swf
