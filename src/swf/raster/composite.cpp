// Layer compositing with Flash's blend modes, on premultiplied pixels. The
// separable modes use the usual premultiplied form
//   result = s * (1 - da) + d * (1 - sa) + B(s, d)
// where B already carries the sa * da weighting; alpha is source-over.
// Add sums every channel, alpha included, and Subtract clamps each colour
// channel; Invert, Alpha and Erase only use the layer's alpha.
#include <algorithm>
#include <cstdlib>

#include "swf/raster/parallel.h"
#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/raster.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::raster {
namespace {

struct Px {
  int a, r, g, b;
};

Px Split(uint32_t p) { return {int(AlphaOf(p)), int(RedOf(p)), int(GreenOf(p)), int(BlueOf(p))}; }

// Rounded division by 255 for sums of several 8-bit products.
inline int Div(int x) {
  // The negative case is rare (only for invalid premultiplied input).
  if (x >= 0) [[likely]]
    return (x + 127) / 255;
  return -((127 - x) / 255);
}

inline uint32_t Pack(int a, int r, int g, int b) {
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
  // Both sides computed and selected: the choice follows the picture, so a
  // branch would mispredict on about every other pixel.
  const int dark = 2 * sc * dc, light = sa * da - 2 * (da - dc) * (sa - sc);
  const int pickDark = -int(2 * sc <= sa);
  return (dark & pickDark) | (light & ~pickDark);
}

#ifdef ORRIVEL_SSE2
// The separable modes on all four channels of a pixel at once, in float
// lanes. Every intermediate is an integer below 2^24, so results equal the
// integer formulas bit for bit.
inline __m128 Lanes(uint32_t p) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_cvtepi32_ps(
      _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p)), zero), zero));
}

inline __m128 AlphaLane(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)); }

// Div on each lane: truncation towards zero after a rounding bias with the
// sign of x. The extra half keeps every quotient at least 0.5 / 255 away from
// an integer, far more than the error of multiplying by a rounded 1 / 255
// for sums this small.
inline __m128i DivLanes(__m128 x) {
  const __m128 bias = _mm_or_ps(_mm_set1_ps(127.5f), _mm_and_ps(x, _mm_set1_ps(-0.0f)));
  return _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(x, bias), _mm_set1_ps(1.0f / 255.0f)));
}

inline __m128 SelectLanes(__m128 mask, __m128 a, __m128 b) {
  return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

inline __m128 HardLightLanes(__m128 sc, __m128 dc, __m128 sa, __m128 da) {
  const __m128 twoSc = _mm_add_ps(sc, sc);
  const __m128 dark = _mm_mul_ps(twoSc, dc);
  const __m128 light = _mm_sub_ps(
      _mm_mul_ps(sa, da),
      _mm_mul_ps(_mm_add_ps(_mm_sub_ps(da, dc), _mm_sub_ps(da, dc)), _mm_sub_ps(sa, sc)));
  return SelectLanes(_mm_cmple_ps(twoSc, sa), dark, light);
}

template <typename F>
uint32_t SeparableLanes(uint32_t sp, uint32_t dp, F term) {
  const __m128 s = Lanes(sp), d = Lanes(dp);
  const __m128 sa = AlphaLane(s), da = AlphaLane(d), k255 = _mm_set1_ps(255.0f);
  const __m128 sum = _mm_add_ps(
      _mm_add_ps(_mm_mul_ps(_mm_sub_ps(k255, da), s), _mm_mul_ps(_mm_sub_ps(k255, sa), d)),
      term(s, d, sa, da));
  const int sAlpha = int(AlphaOf(sp)), dAlpha = int(AlphaOf(dp));
  const int a = std::clamp(sAlpha + dAlpha - Div(sAlpha * dAlpha), 0, 255);
  // Same clamping as Pack: colour channels within 0..alpha.
  __m128i ch = _mm_packs_epi32(DivLanes(sum), _mm_setzero_si128());
  ch = _mm_min_epi16(_mm_max_epi16(ch, _mm_setzero_si128()), _mm_set1_epi16(short(a)));
  ch = _mm_insert_epi16(ch, a, 3);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(ch, ch)));
}

template <BlendMode mode>
uint32_t SeparablePixel(uint32_t s, uint32_t d) {
  return SeparableLanes(s, d, [](__m128 sc, __m128 dc, __m128 sa, __m128 da) {
    switch (mode) {
      case BlendMode::Multiply:
        return _mm_mul_ps(sc, dc);
      case BlendMode::Screen:
        return _mm_sub_ps(_mm_add_ps(_mm_mul_ps(sc, da), _mm_mul_ps(dc, sa)), _mm_mul_ps(sc, dc));
      case BlendMode::Lighten:
        return _mm_max_ps(_mm_mul_ps(sc, da), _mm_mul_ps(dc, sa));
      case BlendMode::Darken:
        return _mm_min_ps(_mm_mul_ps(sc, da), _mm_mul_ps(dc, sa));
      case BlendMode::Difference:
        return _mm_andnot_ps(_mm_set1_ps(-0.0f),
                             _mm_sub_ps(_mm_mul_ps(sc, da), _mm_mul_ps(dc, sa)));
      case BlendMode::Overlay:
        return HardLightLanes(dc, sc, da, sa);
      default:
        return HardLightLanes(sc, dc, sa, da);
    }
  });
}

constexpr bool IsSeparable(BlendMode m) {
  return m == BlendMode::Multiply || m == BlendMode::Screen || m == BlendMode::Lighten ||
         m == BlendMode::Darken || m == BlendMode::Difference || m == BlendMode::Overlay ||
         m == BlendMode::HardLight;
}
#endif

// The mode is a template argument so that each row loop carries only its
// own arithmetic, with no per-pixel dispatch.
template <BlendMode mode>
uint32_t BlendPixel(uint32_t s, uint32_t d) {
#ifdef ORRIVEL_SSE2
  if constexpr (IsSeparable(mode)) return SeparablePixel<mode>(s, d);
#endif
  switch (mode) {
    case BlendMode::Multiply:
      return Separable(s, d, [](int sc, int dc, int, int) { return sc * dc; });
    case BlendMode::Screen:
      return Separable(s, d,
                       [](int sc, int dc, int sa, int da) { return sc * da + dc * sa - sc * dc; });
    case BlendMode::Lighten:
      return Separable(s, d,
                       [](int sc, int dc, int sa, int da) { return std::max(sc * da, dc * sa); });
    case BlendMode::Darken:
      return Separable(s, d,
                       [](int sc, int dc, int sa, int da) { return std::min(sc * da, dc * sa); });
    case BlendMode::Difference:
      return Separable(s, d,
                       [](int sc, int dc, int sa, int da) { return std::abs(sc * da - dc * sa); });
    case BlendMode::Overlay:
      return Separable(
          s, d, [](int sc, int dc, int sa, int da) { return HardLightTerm(dc, sc, da, sa); });
    case BlendMode::HardLight:
      return Separable(s, d, HardLightTerm);
    case BlendMode::Add: {
      // Every channel, alpha included, is the clamped sum.
      const Px a = Split(s), b = Split(d);
      return Pack(std::min(a.a + b.a, 255), a.r + b.r, a.g + b.g, a.b + b.b);
    }
    case BlendMode::Subtract: {
      const Px a = Split(s), b = Split(d);
      return Pack(OverAlpha(a, b), b.r - a.r, b.g - a.g, b.b - a.b);
    }
    case BlendMode::Invert: {
      // Each colour channel turns towards 255 - d by the layer's alpha and
      // the backdrop keeps its alpha: a transparent backdrop gets colour
      // without alpha, which adds white where the layer lands.
      const Px a = Split(s), b = Split(d);
      const auto ch = [&](int dc) {
        return static_cast<uint32_t>(std::clamp(Div(dc * (255 - a.a) + (255 - dc) * a.a), 0, 255));
      };
      return PackArgb(uint32_t(b.a), ch(b.r), ch(b.g), ch(b.b));
    }
    case BlendMode::Alpha:
      return ScalePixel(d, AlphaOf(s));
    case BlendMode::Erase:
      return ScalePixel(d, 255 - AlphaOf(s));
    default:
      return SrcOver(d, s);
  }
}

// Plain source-over of premultiplied rows, the common case: the span loop
// at full coverage, which skips transparent and copies opaque pixels.
void NormalRow(uint32_t* dst, const uint32_t* src, int n) { BlendSpan(dst, n, src, 255); }

// Per channel round(from * (255 - t) / 255) + round(to * t / 255), which
// never exceeds 255, so the lanes cannot carry into each other.
uint32_t Lerp(uint32_t from, uint32_t to, uint32_t t) {
  return ScalePixel(from, 255 - t) + ScalePixel(to, t);
}

bool ValidPremultiplied(uint32_t p) {
  const uint32_t a = AlphaOf(p);
  return RedOf(p) <= a && GreenOf(p) <= a && BlueOf(p) <= a;
}

// A transparent layer pixel leaves a valid background pixel as it is in
// every mode but Alpha; layers are mostly empty around their content.
template <BlendMode mode>
void BlendRow(uint32_t* d, const uint32_t* s, int n, const uint8_t* maskRow) {
  for (int x = 0; x < n; ++x) {
    if (mode != BlendMode::Alpha && s[x] == 0 && ValidPremultiplied(d[x])) continue;
    const uint32_t m = maskRow ? maskRow[x] : 255;
    if (m == 0) continue;
    const uint32_t blended = BlendPixel<mode>(s[x], d[x]);
    d[x] = m == 255 ? blended : Lerp(d[x], blended, m);
  }
}

void CompositeRows(Canvas& dst, const Canvas& layer, BlendMode mode, const Mask* clip, bool maskOk,
                   int w, int from, int to);

}  // namespace

void Composite(Canvas& dst, const Canvas& layer, BlendMode mode, const Mask* clip) {
  if (!dst.pixels || !layer.pixels || dst.stride < dst.width || layer.stride < layer.width) return;
  const int w = std::min(dst.width, layer.width), h = std::min(dst.height, layer.height);
  const bool maskOk = clip && clip->coverage.size() >= size_t(clip->width) * clip->height;
  ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    CompositeRows(dst, layer, mode, clip, maskOk, w, from, to);
  });
}

namespace {

void CompositeRows(Canvas& dst, const Canvas& layer, BlendMode mode, const Mask* clip, bool maskOk,
                   int w, int from, int to) {
  for (int y = from; y < to; ++y) {
    uint32_t* d = dst.pixels + size_t(y) * dst.stride;
    const uint32_t* s = layer.pixels + size_t(y) * layer.stride;
    if (!clip && (mode == BlendMode::Normal || mode == BlendMode::Layer)) {
      NormalRow(d, s, w);
      continue;
    }
    const uint8_t* maskRow = nullptr;
    if (clip) {
      if (!maskOk || y >= clip->height || clip->RowClear(y)) continue;  // clipped away entirely
      maskRow = clip->coverage.data() + size_t(y) * clip->width;
    }
    const int visible = clip ? std::min(w, clip->width) : w;
    switch (mode) {
#define ORRIVEL_BLEND_ROW(M)                        \
  case BlendMode::M:                                \
    BlendRow<BlendMode::M>(d, s, visible, maskRow); \
    break;
      ORRIVEL_BLEND_ROW(Multiply)
      ORRIVEL_BLEND_ROW(Screen)
      ORRIVEL_BLEND_ROW(Lighten)
      ORRIVEL_BLEND_ROW(Darken)
      ORRIVEL_BLEND_ROW(Difference)
      ORRIVEL_BLEND_ROW(Overlay)
      ORRIVEL_BLEND_ROW(HardLight)
      ORRIVEL_BLEND_ROW(Add)
      ORRIVEL_BLEND_ROW(Subtract)
      ORRIVEL_BLEND_ROW(Invert)
      ORRIVEL_BLEND_ROW(Alpha)
      ORRIVEL_BLEND_ROW(Erase)
#undef ORRIVEL_BLEND_ROW
      default:
        BlendRow<BlendMode::Normal>(d, s, visible, maskRow);
        break;
    }
  }
}

}  // namespace

}  // namespace orrivel::swf::raster
