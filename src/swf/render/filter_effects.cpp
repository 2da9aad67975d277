#include "swf/render/filter_effects.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "swf/raster/filter_kernels.h"
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

// Called for every pixel of every shadow, glow and bevel: kept inline.
#if defined(__GNUC__)
#define ORRIVEL_PIXEL_INLINE inline __attribute__((always_inline))
#else
#define ORRIVEL_PIXEL_INLINE inline
#endif

// a * fa + b * fb per channel, premultiplied; the weights are 0..1 and
// keep the sum opaque at most, so each 16-bit lane holds its channel.
ORRIVEL_PIXEL_INLINE uint32_t Mix(uint32_t a, float fa, uint32_t b, float fb) {
  auto spread = [](uint32_t p) {
    return (uint64_t{p} & 0x00FF00FFu) | ((uint64_t{p} & 0xFF00FF00u) << 24);
  };
  const uint64_t wa = static_cast<uint64_t>(std::clamp(fa, 0.0f, 1.0f) * 256 + 0.5f);
  const uint64_t wb = static_cast<uint64_t>(std::clamp(fb, 0.0f, 1.0f) * 256 + 0.5f);
  const uint64_t sum = (spread(a) * wa + spread(b) * wb + 0x0080008000800080u) >> 8;
  const uint64_t lanes = sum & 0x00FF00FF00FF00FFu;
  return static_cast<uint32_t>(lanes | (lanes >> 24));
}

ORRIVEL_PIXEL_INLINE uint32_t Scale(uint32_t c, float k) { return Mix(c, k, 0, 0); }

ORRIVEL_PIXEL_INLINE float AlphaOf(uint32_t p) { return static_cast<float>(p >> 24) / 255.0f; }

// The area's alpha, blurred by the filter's box, as the alpha of `out`.
void BlurredAlpha(const raster::Canvas& area, const Filter& f, double scale, FilterScratch& s) {
  const int w = area.width, h = area.height;
  s.blur.resize(static_cast<size_t>(w) * h);
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      const uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      for (int x = 0; x < w; ++x) s.blur[static_cast<size_t>(y) * w + x] = row[x] & 0xFF000000u;
    }
  });
  raster::Canvas view{s.blur.data(), w, h, w};
  raster::BoxBlur(view, BoxOf(f.blurX, scale), BoxOf(f.blurY, scale), f.passes, s.copy);
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
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      const int sy = y - dy;
      for (int x = 0; x < w; ++x) {
        const int sx = x - dx;
        float b = sx >= 0 && sx < w && sy >= 0 && sy < h
                      ? AlphaOf(s.blur[static_cast<size_t>(sy) * w + sx])
                      : 0.0f;
        if (f.inner) b = 1 - b;
        const float v = std::min(1.0f, b * f.strength);
        const uint32_t shadow =
            gradient ? table[static_cast<int>(v * 255 + 0.5f)] : Scale(color, v);
        const uint32_t src = row[x];
        const float sa = AlphaOf(src);
        if (f.inner) {
          const uint32_t in = Scale(shadow, sa);
          row[x] = f.knockout || f.hideObject ? in : Mix(in, 1, src, 1 - AlphaOf(in));
        } else if (f.knockout) {
          row[x] = Scale(shadow, 1 - sa);
        } else {
          row[x] = f.hideObject ? shadow : Mix(src, 1, shadow, 1 - sa);
        }
      }
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
  const uint32_t highlight = PremultipliedColor(f.highlight, 1);
  const uint32_t shadow = PremultipliedColor(f.color, 1);
  auto at = [&](int x, int y) {
    return x >= 0 && x < w && y >= 0 && y < h ? AlphaOf(s.blur[static_cast<size_t>(y) * w + x])
                                              : 0.0f;
  };
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      for (int x = 0; x < w; ++x) {
        const float t =
            std::clamp((at(x + dx, y + dy) - at(x - dx, y - dy)) * f.strength, -1.0f, 1.0f);
        uint32_t bevel;
        if (gradient) {
          bevel = table[static_cast<int>(std::lround(127.5f - t * 127.5f))];
        } else {
          bevel = t > 0 ? Scale(highlight, t) : Scale(shadow, -t);
        }
        const uint32_t src = row[x];
        const float sa = AlphaOf(src);
        if (f.inner) {
          bevel = Scale(bevel, sa);
        } else if (!f.onTop) {
          bevel = Scale(bevel, 1 - sa);
        }
        row[x] = f.knockout || f.hideObject ? bevel : Mix(bevel, 1, src, 1 - AlphaOf(bevel));
      }
    }
  });
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
                  FilterScratch& scratch) {
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
    }
  }
}

}  // namespace orrivel::swf
