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

// a * wa / 256 + b * wb / 256 per channel, premultiplied; the weights
// (0..256) keep the sum opaque at most, so each 16-bit lane holds its
// channel.
ORRIVEL_PIXEL_INLINE uint32_t MixWeights(uint32_t a, uint64_t wa, uint32_t b, uint64_t wb) {
  auto spread = [](uint32_t p) {
    return (uint64_t{p} & 0x00FF00FFu) | ((uint64_t{p} & 0xFF00FF00u) << 24);
  };
  const uint64_t sum = (spread(a) * wa + spread(b) * wb + 0x0080008000800080u) >> 8;
  const uint64_t lanes = sum & 0x00FF00FF00FF00FFu;
  return static_cast<uint32_t>(lanes | (lanes >> 24));
}

// The weight of a fraction 0..1 (clamped).
ORRIVEL_PIXEL_INLINE uint64_t Weight(float f) {
  return static_cast<uint64_t>(std::clamp(f, 0.0f, 1.0f) * 256 + 0.5f);
}

// a * fa + b * fb per channel.
ORRIVEL_PIXEL_INLINE uint32_t Mix(uint32_t a, float fa, uint32_t b, float fb) {
  return MixWeights(a, Weight(fa), b, Weight(fb));
}

ORRIVEL_PIXEL_INLINE uint32_t Scale(uint32_t c, float k) { return Mix(c, k, 0, 0); }

ORRIVEL_PIXEL_INLINE float AlphaOf(uint32_t p) { return static_cast<float>(p >> 24) / 255.0f; }

// Per alpha byte a: a / 255 as a float and the weights of a / 255 and of
// 1 - a / 255, so that the per-pixel loops look them up instead of
// converting (the same values the float formulas give).
struct AlphaTables {
  std::array<float, 256> fraction;
  std::array<uint16_t, 256> direct, inverse;
  AlphaTables() {
    for (uint32_t a = 0; a < 256; ++a) {
      fraction[a] = AlphaOf(a << 24);
      direct[a] = static_cast<uint16_t>(Weight(fraction[a]));
      inverse[a] = static_cast<uint16_t>(Weight(1 - fraction[a]));
    }
  }
};

const AlphaTables& Alphas() {
  static const AlphaTables tables;
  return tables;
}

// The area's alpha, blurred by the filter's box, into s.alpha (w x h).
void BlurredAlpha(const raster::Canvas& area, const Filter& f, double scale, FilterScratch& s) {
  const int w = area.width, h = area.height;
  s.alpha.resize(static_cast<size_t>(w) * h);
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      const uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      uint8_t* out = s.alpha.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) out[x] = static_cast<uint8_t>(row[x] >> 24);
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
    float b = AlphaOf(a << 24);
    if (f.inner) b = 1 - b;
    const float v = std::min(1.0f, b * f.strength);
    shadows[a] = gradient ? table[static_cast<int>(v * 255 + 0.5f)] : Scale(color, v);
  }
  const AlphaTables& alphas = Alphas();
  raster::ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      const int sy = y - dy;
      // Columns whose source lies inside the area; beyond, the alpha is 0.
      const int x0 = std::clamp(dx, 0, w), x1 = std::clamp(w + dx, x0, w);
      const uint8_t* blurRow =
          sy >= 0 && sy < h ? s.alpha.data() + static_cast<size_t>(sy) * w : nullptr;
      for (int x = 0; x < w; ++x) {
        const uint32_t b = blurRow != nullptr && x >= x0 && x < x1 ? blurRow[x - dx] : 0;
        const uint32_t shadow = shadows[b];
        const uint32_t src = row[x];
        const uint32_t sa = src >> 24;
        if (f.inner) {
          const uint32_t in = MixWeights(shadow, alphas.direct[sa], 0, 0);
          row[x] =
              f.knockout || f.hideObject ? in : MixWeights(in, 256, src, alphas.inverse[in >> 24]);
        } else if (f.knockout) {
          row[x] = MixWeights(shadow, alphas.inverse[sa], 0, 0);
        } else {
          row[x] = f.hideObject ? shadow : MixWeights(src, 256, shadow, alphas.inverse[sa]);
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
  const AlphaTables& alphas = Alphas();
  auto at = [&](int x, int y) {
    return x >= 0 && x < w && y >= 0 && y < h
               ? alphas.fraction[s.alpha[static_cast<size_t>(y) * w + x]]
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
        const uint32_t sa = src >> 24;
        if (f.inner) {
          bevel = MixWeights(bevel, alphas.direct[sa], 0, 0);
        } else if (!f.onTop) {
          bevel = MixWeights(bevel, alphas.inverse[sa], 0, 0);
        }
        row[x] = f.knockout || f.hideObject
                     ? bevel
                     : MixWeights(bevel, 256, src, alphas.inverse[bevel >> 24]);
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
