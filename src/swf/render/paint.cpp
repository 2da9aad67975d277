#include "swf/render/paint.h"

#include <algorithm>

namespace orrivel::swf {

raster::Paint SolidPaint(Rgba color, const ColorTransform& transform) {
  raster::Paint p;
  p.kind = raster::Paint::Kind::Solid;
  p.color = transform.Apply(color);
  return p;
}

namespace {

raster::Spread ToSpread(SpreadMode s) {
  switch (s) {
    case SpreadMode::Reflect:
      return raster::Spread::Reflect;
    case SpreadMode::Repeat:
      return raster::Spread::Repeat;
    default:
      return raster::Spread::Pad;
  }
}

std::optional<raster::Paint> GradientPaint(const FillStyle& style, const PaintContext& ctx) {
  const Gradient& g = style.gradient;
  // A gradient without stops fills solid opaque black.
  if (g.records.empty()) return SolidPaint(Rgba{0, 0, 0, 255}, ctx.colorTransform);
  raster::Paint p;
  p.kind = style.type == FillType::LinearGradient ? raster::Paint::Kind::LinearGradient
                                                  : raster::Paint::Kind::RadialGradient;
  p.stops.reserve(g.records.size());
  // Flash keeps the records in file order and never sorts them: the first
  // record whose ratio goes down ends the ramp, its colour a hard step at
  // its predecessor's ratio that fills the rest, whatever the spread.
  float position = 0;
  for (const GradientRecord& r : g.records) {
    const bool down = r.ratio / 255.0f < position;
    position = std::max(position, r.ratio / 255.0f);
    p.stops.push_back({position, ctx.colorTransform.Apply(r.color)});
    if (down) break;
  }
  p.spread = ToSpread(g.spread);
  p.linearRgb = g.interpolation == InterpolationMode::LinearRgb;
  if (style.type == FillType::FocalRadialGradient) {
    p.focalPoint = std::clamp(g.focalPoint, -1.0f, 1.0f);
  }
  if (!(ctx.shapeToDevice * g.matrix).Invert(p.deviceToGradient)) {
    // A gradient squashed to nothing: every point lies past its end.
    p.kind = raster::Paint::Kind::Solid;
    p.color = p.stops.back().color;
    return p;
  }
  return p;
}

std::optional<raster::Paint> BitmapPaint(const FillStyle& style, const PaintContext& ctx) {
  const raster::Image* image = ctx.bitmaps ? ctx.bitmaps(style.bitmapId) : nullptr;
  if (image == nullptr || image->width <= 0 || image->height <= 0) return std::nullopt;
  raster::Paint p;
  p.kind = raster::Paint::Kind::Bitmap;
  p.bitmap = image;
  // The fill matrix maps bitmap pixels to shape twips (20 per pixel at 1:1).
  if (!(ctx.shapeToDevice * style.bitmapMatrix).Invert(p.deviceToBitmap)) return std::nullopt;
  p.repeat =
      style.type == FillType::RepeatingBitmap || style.type == FillType::NonSmoothedRepeatingBitmap;
  p.smooth = ctx.allowSmoothing &&
             (style.type == FillType::RepeatingBitmap || style.type == FillType::ClippedBitmap);
  p.colorTransform = ctx.colorTransform;
  return p;
}

}  // namespace

std::optional<raster::Paint> MakePaint(const FillStyle& style, const PaintContext& ctx) {
  switch (style.type) {
    case FillType::Solid:
      return SolidPaint(style.color, ctx.colorTransform);
    case FillType::LinearGradient:
    case FillType::RadialGradient:
    case FillType::FocalRadialGradient:
      return GradientPaint(style, ctx);
    case FillType::RepeatingBitmap:
    case FillType::ClippedBitmap:
    case FillType::NonSmoothedRepeatingBitmap:
    case FillType::NonSmoothedClippedBitmap:
      return BitmapPaint(style, ctx);
  }
  return std::nullopt;
}

}  // namespace orrivel::swf
