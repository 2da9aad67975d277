#include "swf/render/filter_effects.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "swf/raster/filter_kernels.h"
#include "swf/raster/filter_rows.h"
#include "swf/raster/parallel.h"

namespace orrivel::swf {
namespace {

using Table = std::array<uint32_t, 256>;

float BoxOf(float stagePixels, double scale) { return static_cast<float>(stagePixels * scale); }

// The offset of a shadow or bevel, whole device pixels.
void Offset(const Filter& f, double scale, int& dx, int& dy) {
  const double d = f.distance * scale;
  dx = static_cast<int>(std::lround(std::clamp(std::cos(f.angle) * d, -1e5, 1e5)));
  dy = static_cast<int>(std::lround(std::clamp(std::sin(f.angle) * d, -1e5, 1e5)));
}

uint32_t PremultipliedColor(Rgba c, float alpha) {
  const float a = std::clamp(alpha * c.a / 255.0f, 0.0f, 1.0f);
  auto ch = [&](uint8_t v) { return static_cast<uint32_t>(v * a + 0.5f); };
  return static_cast<uint32_t>(a * 255 + 0.5f) << 24 | ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
}

// A gradient's colours at each of 256 positions, premultiplied.
Table GradientTable(const std::vector<GradientFilterStop>& stops) {
  Table t{};
  if (stops.empty()) return t;
  for (int i = 0; i < 256; ++i) {
    size_t k = 0;
    while (k < stops.size() && stops[k].ratio < i) ++k;
    Rgba c;
    if (k == 0) {
      c = stops.front().color;
    } else if (k == stops.size()) {
      c = stops.back().color;
    } else {
      const GradientFilterStop &a = stops[k - 1], &b = stops[k];
      const float span = static_cast<float>(b.ratio - a.ratio);
      const float u = span > 0 ? (i - a.ratio) / span : 1;
      auto mix = [&](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(x + (y - x) * u));
      };
      c = {mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b),
           mix(a.color.a, b.color.a)};
    }
    t[i] = PremultipliedColor(c, 1);
  }
  return t;
}

// The area's alpha, blurred by the filter's box, into s.alpha (w x h).
void BlurredAlpha(const raster::Canvas& area, const Filter& f, double scale, FilterScratch& s) {
  const int w = area.width, h = area.height;
  s.alpha.resize(static_cast<size_t>(w) * h);
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      raster::AlphaRow(area.pixels + static_cast<size_t>(y) * area.stride,
                       s.alpha.data() + static_cast<size_t>(y) * w, w);
    }
  });
  raster::BoxBlurPlane(s.alpha.data(), w, h, w, BoxOf(f.blurX, scale), BoxOf(f.blurY, scale),
                       f.passes);
}

// Drop shadow, glow and gradient glow: the blurred (and offset) alpha,
// coloured, behind the object or, when inner, inside its edge.
void Shadow(raster::Canvas& area, const Filter& f, double scale, FilterScratch& s) {
  const int w = area.width, h = area.height;
  BlurredAlpha(area, f, scale, s);
  int dx = 0, dy = 0;
  if (f.kind != Filter::Kind::Glow) Offset(f, scale, dx, dy);
  const bool gradient = f.kind == Filter::Kind::GradientGlow;
  const Table table = gradient ? GradientTable(f.gradient) : Table{};
  const uint32_t color = PremultipliedColor(f.color, 1);
  // The shadow's colour depends on the blurred alpha alone.
  Table shadows;
  for (uint32_t a = 0; a < 256; ++a) {
    float b = raster::AlphaFraction(a);
    if (f.inner) b = 1 - b;
    const float v = std::min(1.0f, b * f.strength);
    shadows[a] = gradient ? table[static_cast<int>(v * 255 + 0.5f)] : raster::ScaleColor(color, v);
  }
  const raster::ShadowStyle style{shadows.data(), f.inner, f.knockout, f.hideObject};
  const std::vector<uint8_t> none(static_cast<size_t>(w), 0);
  // Columns whose source lies inside the area; beyond, the alpha is 0.
  const int x0 = std::clamp(dx, 0, w), x1 = std::clamp(w + dx, x0, w);
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      const int sy = y - dy;
      if (sy < 0 || sy >= h) {
        raster::ShadowRow(row, none.data(), w, style);
        continue;
      }
      raster::ShadowRow(row, none.data(), x0, style);
      raster::ShadowRow(row + x0, s.alpha.data() + static_cast<size_t>(sy) * w + (x0 - dx), x1 - x0,
                        style);
      raster::ShadowRow(row + x1, none.data(), w - x1, style);
    }
  });
}

// Bevel and gradient bevel: the blurred alpha seen from both sides of the
// offset, highlight where it rises toward the light, shadow where it falls.
void Bevel(raster::Canvas& area, const Filter& f, double scale, FilterScratch& s) {
  const int w = area.width, h = area.height;
  BlurredAlpha(area, f, scale, s);
  int dx = 0, dy = 0;
  Offset(f, scale, dx, dy);
  const bool gradient = f.kind == Filter::Kind::GradientBevel;
  const Table table = gradient ? GradientTable(f.gradient) : Table{};
  raster::BevelStyle style;
  style.highlight = PremultipliedColor(f.highlight, 1);
  style.shadow = PremultipliedColor(f.color, 1);
  style.strength = f.strength;
  style.gradient = gradient ? table.data() : nullptr;
  style.inner = f.inner;
  style.onTop = f.onTop;
  style.knockout = f.knockout;
  style.hideObject = f.hideObject;
  // The blurred alpha at (x + ox, y + oy) for each x of row y, 0 outside.
  auto shifted = [&](int y, int ox, int oy, uint8_t* out) {
    const int sy = y + oy;
    const int x0 = std::clamp(-ox, 0, w), x1 = std::clamp(w - ox, x0, w);
    if (sy < 0 || sy >= h || x0 == x1) {
      std::fill(out, out + w, uint8_t{0});
      return;
    }
    std::fill(out, out + x0, uint8_t{0});
    std::copy_n(s.alpha.data() + static_cast<size_t>(sy) * w + x0 + ox, x1 - x0, out + x0);
    std::fill(out + x1, out + w, uint8_t{0});
  };
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    std::vector<uint8_t> lit(static_cast<size_t>(w)), shaded(static_cast<size_t>(w));
    for (int y = from; y < to; ++y) {
      shifted(y, dx, dy, lit.data());
      shifted(y, -dx, -dy, shaded.data());
      raster::BevelRow(area.pixels + static_cast<size_t>(y) * area.stride, lit.data(),
                       shaded.data(), w, style);
    }
  });
}

// Displacement map: the map is laid over the object from its top left,
// scaled with the stage, as are the distances it moves pixels by.
void Displace(raster::Canvas& area, const Filter& f, double scale, double originX, double originY,
              FilterScratch& s) {
  if (!f.map || f.map->size() < static_cast<size_t>(f.mapWidth) * f.mapHeight) return;
  raster::Displacement d;
  d.map = f.map->data();
  d.mapWidth = f.mapWidth;
  d.mapHeight = f.mapHeight;
  d.cell = scale;
  d.originX = originX + f.mapX * scale;
  d.originY = originY + f.mapY * scale;
  d.componentX = f.componentX;
  d.componentY = f.componentY;
  d.scaleX = f.scaleX * scale;
  d.scaleY = f.scaleY * scale;
  d.edge = static_cast<raster::Displacement::Edge>(f.displace);
  d.color = PremultipliedColor(f.color, 1);
  raster::Displace(area, d, s.copy);
}

}  // namespace

FilterReach ReachOf(const FilterList& filters, double scale) {
  // Far beyond any target; long lists of huge blurs must not overflow.
  constexpr int64_t kMaxReach = 1 << 24;
  int64_t x = 0, y = 0;
  if (!std::isfinite(scale) || scale <= 0) return {};
  for (const Filter& f : filters) {
    int dx = 0, dy = 0;
    switch (f.kind) {
      case Filter::Kind::Convolution:
        x += f.columns / 2;
        y += f.rows / 2;
        continue;
      case Filter::Kind::ColorMatrix:
      case Filter::Kind::DisplacementMap:
        continue;
      case Filter::Kind::Blur:
      case Filter::Kind::Glow:
        break;
      default:
        Offset(f, scale, dx, dy);
        break;
    }
    x = std::min(kMaxReach,
                 x + raster::BlurReach(BoxOf(f.blurX, scale), f.passes) + std::abs(dx) + 1);
    y = std::min(kMaxReach,
                 y + raster::BlurReach(BoxOf(f.blurY, scale), f.passes) + std::abs(dy) + 1);
  }
  return {static_cast<int>(x), static_cast<int>(y)};
}

void ApplyFilters(raster::Canvas& area, const FilterList& filters, double scale,
                  FilterScratch& scratch, double originX, double originY) {
  if (area.width <= 0 || area.height <= 0 || !std::isfinite(scale) || scale <= 0) return;
  for (const Filter& f : filters) {
    switch (f.kind) {
      case Filter::Kind::Blur:
        raster::BoxBlur(area, BoxOf(f.blurX, scale), BoxOf(f.blurY, scale), f.passes, scratch.copy);
        break;
      case Filter::Kind::DropShadow:
      case Filter::Kind::Glow:
      case Filter::Kind::GradientGlow:
        Shadow(area, f, scale, scratch);
        break;
      case Filter::Kind::Bevel:
      case Filter::Kind::GradientBevel:
        Bevel(area, f, scale, scratch);
        break;
      case Filter::Kind::ColorMatrix:
        raster::ApplyColorMatrix(area, f.colorMatrix);
        break;
      case Filter::Kind::Convolution: {
        raster::Convolution c;
        c.columns = f.columns;
        c.rows = f.rows;
        c.matrix = f.matrix.data();
        c.divisor = f.divisor;
        c.bias = f.bias;
        c.clamp = f.clamp;
        c.preserveAlpha = f.preserveAlpha;
        c.outside = f.color;
        raster::Convolve(area, c, scratch.floats);
        break;
      }
      case Filter::Kind::DisplacementMap:
        Displace(area, f, scale, originX, originY, scratch);
        break;
    }
  }
}

}  // namespace orrivel::swf
