// Layer compositing with Flash's blend modes, on premultiplied pixels. The
// separable modes use the usual premultiplied form
//   result = s * (1 - da) + d * (1 - sa) + B(s, d)
// where B already carries the sa * da weighting; alpha is source-over.
// Add and Subtract clamp each colour channel; Invert, Alpha and Erase only
// use the layer's alpha.
#include <algorithm>
#include <cstdlib>

#include "swf/raster/pixel.h"
#include "swf/raster/raster.h"

namespace orrivel::swf::raster {
namespace {

struct Px {
  int a, r, g, b;
};

Px Split(uint32_t p) { return {int(AlphaOf(p)), int(RedOf(p)), int(GreenOf(p)), int(BlueOf(p))}; }

// Rounded division by 255 for sums of several 8-bit products.
int Div(int x) { return x >= 0 ? (x + 127) / 255 : -((127 - x) / 255); }

uint32_t Pack(int a, int r, int g, int b) {
  a = std::clamp(a, 0, 255);
  // Keep the result a valid premultiplied pixel.
  const auto c = [a](int v) { return static_cast<uint32_t>(std::clamp(v, 0, a)); };
  return PackArgb(uint32_t(a), c(r), c(g), c(b));
}

int OverAlpha(const Px& s, const Px& d) { return s.a + d.a - Div(s.a * d.a); }

template <typename F>
uint32_t Separable(uint32_t sp, uint32_t dp, F blend) {
  const Px s = Split(sp), d = Split(dp);
  const auto ch = [&](int sc, int dc) {
    return Div((255 - d.a) * sc + (255 - s.a) * dc + blend(sc, dc, s.a, d.a));
  };
  return Pack(OverAlpha(s, d), ch(s.r, d.r), ch(s.g, d.g), ch(s.b, d.b));
}

int HardLightTerm(int sc, int dc, int sa, int da) {
  return 2 * sc <= sa ? 2 * sc * dc : sa * da - 2 * (da - dc) * (sa - sc);
}

uint32_t BlendPixel(BlendMode mode, uint32_t s, uint32_t d) {
  switch (mode) {
    case BlendMode::Multiply:
      return Separable(s, d, [](int sc, int dc, int, int) { return sc * dc; });
    case BlendMode::Screen:
      return Separable(s, d, [](int sc, int dc, int sa, int da) { return sc * da + dc * sa - sc * dc; });
    case BlendMode::Lighten:
      return Separable(s, d, [](int sc, int dc, int sa, int da) { return std::max(sc * da, dc * sa); });
    case BlendMode::Darken:
      return Separable(s, d, [](int sc, int dc, int sa, int da) { return std::min(sc * da, dc * sa); });
    case BlendMode::Difference:
      return Separable(s, d, [](int sc, int dc, int sa, int da) { return std::abs(sc * da - dc * sa); });
    case BlendMode::Overlay:
      return Separable(s, d, [](int sc, int dc, int sa, int da) { return HardLightTerm(dc, sc, da, sa); });
    case BlendMode::HardLight:
      return Separable(s, d, HardLightTerm);
    case BlendMode::Add: {
      const Px a = Split(s), b = Split(d);
      const int alpha = OverAlpha(a, b);
      return Pack(alpha, std::min(a.r + b.r, alpha), std::min(a.g + b.g, alpha), std::min(a.b + b.b, alpha));
    }
    case BlendMode::Subtract: {
      const Px a = Split(s), b = Split(d);
      return Pack(OverAlpha(a, b), b.r - a.r, b.g - a.g, b.b - a.b);
    }
    case BlendMode::Invert: {
      // The background turns into its negative where the layer is opaque.
      const Px a = Split(s), b = Split(d);
      const auto ch = [&](int dc) { return Div(a.a * (b.a - dc) + (255 - a.a) * dc); };
      return Pack(b.a, ch(b.r), ch(b.g), ch(b.b));
    }
    case BlendMode::Alpha:
      return ScalePixel(d, AlphaOf(s));
    case BlendMode::Erase:
      return ScalePixel(d, 255 - AlphaOf(s));
    default:
      return SrcOver(d, s);
  }
}

// Plain source-over of premultiplied rows, the common case.
void NormalRow(uint32_t* dst, const uint32_t* src, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t s = src[i];
    if (s == 0) continue;
    dst[i] = AlphaOf(s) == 255 ? s : SrcOver(dst[i], s);
  }
}

// Per channel round(from * (255 - t) / 255) + round(to * t / 255), which
// never exceeds 255, so the lanes cannot carry into each other.
uint32_t Lerp(uint32_t from, uint32_t to, uint32_t t) {
  return ScalePixel(from, 255 - t) + ScalePixel(to, t);
}

}  // namespace

void Composite(Canvas& dst, const Canvas& layer, BlendMode mode, const Mask* clip) {
  if (!dst.pixels || !layer.pixels || dst.stride < dst.width || layer.stride < layer.width) return;
  const int w = std::min(dst.width, layer.width), h = std::min(dst.height, layer.height);
  const bool maskOk = clip && clip->coverage.size() >= size_t(clip->width) * clip->height;
  for (int y = 0; y < h; ++y) {
    uint32_t* d = dst.pixels + size_t(y) * dst.stride;
    const uint32_t* s = layer.pixels + size_t(y) * layer.stride;
    if (!clip && (mode == BlendMode::Normal || mode == BlendMode::Layer)) {
      NormalRow(d, s, w);
      continue;
    }
    for (int x = 0; x < w; ++x) {
      uint32_t m = 255;
      if (clip) m = maskOk && y < clip->height && x < clip->width ? clip->coverage[size_t(y) * clip->width + x] : 0;
      if (m == 0) continue;
      const uint32_t blended = BlendPixel(mode, s[x], d[x]);
      d[x] = m == 255 ? blended : Lerp(d[x], blended, m);
    }
  }
}

}  // namespace orrivel::swf::raster
