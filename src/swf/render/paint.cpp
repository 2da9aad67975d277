#include "swf/render/paint.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

float ToLinear(uint8_t c) {
  const float v = c / 255.0f;
  return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

uint8_t FromLinear(float v) {
  v = std::clamp(v, 0.0f, 1.0f);
  const float s = v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1 / 2.4f) - 0.055f;
  return static_cast<uint8_t>(std::lround(std::clamp(s, 0.0f, 1.0f) * 255.0f));
}

// The colour a fraction t of the way from a to b, in the gradient's space.
Rgba Between(Rgba a, Rgba b, float t, bool linearRgb) {
  const auto mix = [t](uint8_t x, uint8_t y) {
    return static_cast<uint8_t>(std::lround(x + (float(y) - float(x)) * t));
  };
  const auto lerp = [&](uint8_t x, uint8_t y) {
    return linearRgb ? FromLinear(ToLinear(x) + (ToLinear(y) - ToLinear(x)) * t) : mix(x, y);
  };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b), mix(a.a, b.a)};
}

// Flash keeps the records in file order and never sorts them, and its
// colour table has 256 entries, one per ratio: a record repeating the ratio
// before it takes the next entry, so each shows as a thin band. A record
// whose ratio goes down only starts the ramp to the next record that goes
// past the ratios so far, from where that ramp stands there (a hard step).
// Past the highest ratio, the first record after it whose ratio went down
// fills the rest, whatever the spread; without one, the last record that
// found no entry left does.
std::vector<raster::GradientStop> RampStops(const std::vector<GradientRecord>& records,
                                            const ColorTransform& cx, bool linearRgb) {
  std::vector<raster::GradientStop> stops;
  std::optional<Rgba> below, same;      // records since the highest ratio
  int covered = records.front().ratio;  // the table entry reached so far
  int highest = covered;                // the highest ratio as written
  stops.push_back({covered / 255.0f, records.front().color});
  for (std::size_t k = 1; k < records.size(); ++k) {
    int at = records[k].ratio;
    if (at < highest) {
      if (!below) below = records[k].color;
      continue;
    }
    highest = at;
    if (at <= covered) {
      if (covered == 255 || below) {
        same = records[k].color;
        continue;
      }
      at = covered + 1;
    }
    if (below || same) {
      // The ramp from the record before, as it stands where the ratios so
      // far end.
      const float before = records[k - 1].ratio;
      const float t = (covered - before) / static_cast<float>(at - before);
      stops.push_back(
          {covered / 255.0f, Between(records[k - 1].color, records[k].color, t, linearRgb)});
    }
    stops.push_back({at / 255.0f, records[k].color});
    covered = at;
    below.reset();
    same.reset();
  }
  if (below || same) stops.push_back({covered / 255.0f, below ? *below : *same});
  for (raster::GradientStop& stop : stops) stop.color = cx.Apply(stop.color);
  return stops;
}

std::optional<raster::Paint> GradientPaint(const FillStyle& style, const PaintContext& ctx) {
  const Gradient& g = style.gradient;
  // A gradient without stops fills solid opaque black.
  if (g.records.empty()) return SolidPaint(Rgba{0, 0, 0, 255}, ctx.colorTransform);
  raster::Paint p;
  p.kind = style.type == FillType::LinearGradient ? raster::Paint::Kind::LinearGradient
                                                  : raster::Paint::Kind::RadialGradient;
  p.linearRgb = g.interpolation == InterpolationMode::LinearRgb;
  p.stops = RampStops(g.records, ctx.colorTransform, p.linearRgb);
  p.spread = ToSpread(g.spread);
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
