// Gradient paint: a 256-entry colour table like Flash's, indexed by the
// position of each pixel centre in the gradient square.
#include <algorithm>
#include <array>
#include <cmath>

#include "swf/raster/gradient_rows.h"
#include "swf/raster/paint.h"
#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::raster {
namespace {

float ToLinear(uint8_t c) {
  const float v = c / 255.0f;
  return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

uint8_t FromLinear(float v) {
  v = std::clamp(v, 0.0f, 1.0f);
  const float s = v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1 / 2.4f) - 0.055f;
  return static_cast<uint8_t>(std::lround(std::clamp(s, 0.0f, 1.0f) * 255.0f));
}

uint8_t Mix(uint8_t a, uint8_t b, float t) {
  return static_cast<uint8_t>(std::lround(a + (float(b) - float(a)) * t));
}

Rgba Interpolate(const Rgba& a, const Rgba& b, float t, bool linearRgb) {
  if (!linearRgb) return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t), Mix(a.a, b.a, t)};
  const auto lerp = [t](uint8_t x, uint8_t y) {
    return FromLinear(ToLinear(x) + (ToLinear(y) - ToLinear(x)) * t);
  };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b), Mix(a.a, b.a, t)};
}

class GradientShader final : public Shader {
 public:
  explicit GradientShader(const Paint& paint, const Matrix& toUnit)
      : kind_(paint.kind), spread_(paint.spread), m_(toUnit) {
    const float f = std::isfinite(paint.focalPoint) ? paint.focalPoint : 0.0f;
    focal_ = kind_ == Paint::Kind::RadialGradient ? std::clamp(f, -0.998f, 0.998f) : 0.0f;
    BuildTable(paint);
  }

  void Shade(int x, int y, int count, uint32_t* out) override {
    // Positions step from the row's first pixel, so a pixel's colour does
    // not depend on where its span starts.
    const double py = y + 0.5;
    const double gx = m_.a * 0.5 + m_.c * py + m_.tx;
    const double gy = m_.b * 0.5 + m_.d * py + m_.ty;
    switch (spread_) {
      case Spread::Pad:
        return Run<Spread::Pad>(gx, gy, x, count, out);
      case Spread::Reflect:
        return Run<Spread::Reflect>(gx, gy, x, count, out);
      case Spread::Repeat:
        return Run<Spread::Repeat>(gx, gy, x, count, out);
    }
  }

 private:
  // (gx, gy): the row's first pixel in the gradient; pixels x to x + count.
  template <Spread S>
  void Run(double gx, double gy, int x, int count, uint32_t* out) const {
    // Float suffices along a row: positions come from its start plus x
    // steps, so no error accumulates along it.
    const float x0 = Bounded(gx), y0 = Bounded(gy);
    const float dx = static_cast<float>(m_.a), dy = static_cast<float>(m_.b);
    int i = 0;
#if defined(ORRIVEL_SSE2) && ORRIVEL_AVX2_DISPATCH
    if (ActiveSimd() == SimdLevel::Avx2) {
      const GradientRow row{x0,     y0,           dx, dy, kind_ != Paint::Kind::LinearGradient,
                            focal_, table_.data()};
      i = avx2::GradientRows(row, S, x, count, out);
    }
#endif
#ifdef ORRIVEL_SSE2
    i = RunSse2<S>(x0, y0, dx, dy, x, i, count, out);
#endif
    if (kind_ == Paint::Kind::LinearGradient) {
      for (; i < count; ++i) out[i] = table_[Index<S>(x0 + dx * float(x + i))];
    } else if (focal_ == 0) {
      for (; i < count; ++i) {
        const float u = x0 + dx * float(x + i), v = y0 + dy * float(x + i);
        out[i] = table_[Index<S>(std::sqrt(u * u + v * v))];
      }
    } else {
      for (; i < count; ++i) {
        out[i] = table_[Index<S>(Focal(x0 + dx * float(x + i), y0 + dy * float(x + i)))];
      }
    }
  }

#ifdef ORRIVEL_SSE2
  // Four pixels at a time from pixel `from` on, with the same float
  // operations as the scalar loop; returns how far it got.
  template <Spread S>
  int RunSse2(float x0, float y0, float dx, float dy, int x, int from, int count,
              uint32_t* out) const {
    const __m128 step = _mm_setr_ps(0, 1, 2, 3), zero = _mm_setzero_ps(), one = _mm_set1_ps(1);
    const __m128 lo = _mm_set1_ps(-1e6f), hi = _mm_set1_ps(1e6f);
    const __m128 f = _mm_set1_ps(focal_), fc = _mm_set1_ps(focal_ * focal_ - 1);
    const auto floor4 = [one](__m128 t) {
      const __m128 r = _mm_cvtepi32_ps(_mm_cvttps_epi32(t));
      return _mm_sub_ps(r, _mm_and_ps(_mm_cmpgt_ps(r, t), one));
    };
    alignas(16) int32_t idx[4];
    int i = from;
    for (; i + 4 <= count; i += 4) {
      const __m128 fi = _mm_add_ps(_mm_set1_ps(float(x + i)), step);
      const __m128 u = _mm_add_ps(_mm_set1_ps(x0), _mm_mul_ps(_mm_set1_ps(dx), fi));
      const __m128 v = _mm_add_ps(_mm_set1_ps(y0), _mm_mul_ps(_mm_set1_ps(dy), fi));
      __m128 t;
      if (kind_ == Paint::Kind::LinearGradient) {
        t = u;
      } else if (focal_ == 0) {
        t = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(u, u), _mm_mul_ps(v, v)));
      } else {
        const __m128 ddx = _mm_sub_ps(u, f);
        const __m128 a = _mm_add_ps(_mm_mul_ps(ddx, ddx), _mm_mul_ps(v, v));
        const __m128 b = _mm_mul_ps(f, ddx);
        const __m128 den =
            _mm_sub_ps(_mm_sqrt_ps(_mm_sub_ps(_mm_mul_ps(b, b), _mm_mul_ps(a, fc))), b);
        t = _mm_andnot_ps(_mm_cmpeq_ps(a, zero), _mm_div_ps(a, den));  // a == 0: the focus
      }
      t = _mm_min_ps(_mm_max_ps(t, lo), hi);  // max picks lo for NaN
      if constexpr (S == Spread::Pad) {
        t = _mm_min_ps(_mm_max_ps(t, zero), one);
      } else if constexpr (S == Spread::Repeat) {
        t = _mm_sub_ps(t, floor4(t));
      } else {
        const __m128 even =
            _mm_mul_ps(_mm_set1_ps(2),
                       floor4(_mm_add_ps(_mm_mul_ps(t, _mm_set1_ps(0.5f)), _mm_set1_ps(0.5f))));
        const __m128 d = _mm_sub_ps(t, even);
        t = _mm_max_ps(d, _mm_sub_ps(zero, d));
      }
      const __m128 scaled = _mm_add_ps(_mm_mul_ps(t, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
      _mm_store_si128(reinterpret_cast<__m128i*>(idx), _mm_cvttps_epi32(scaled));
      for (int k = 0; k < 4; ++k) out[i + k] = table_[std::clamp(idx[k], 0, 255)];
    }
    return i;
  }
#endif

  static float Bounded(double v) { return static_cast<float>(std::clamp(v, -1e15, 1e15)); }

  // Ray from the focal point through the pixel, scaled so the unit circle
  // is at 1: solve |F + s d| = 1 for s and take 1 / s.
  float Focal(float gx, float gy) const {
    const float dx = gx - focal_, dy = gy;
    const float a = dx * dx + dy * dy;
    if (a == 0) return 0;
    const float b = focal_ * dx, c = focal_ * focal_ - 1;
    return a / (std::sqrt(b * b - a * c) - b);
  }

  template <Spread S>
  static int Index(float t) {
    t = t > -1e6f ? (t < 1e6f ? t : 1e6f) : -1e6f;  // also maps NaN
    if constexpr (S == Spread::Pad) {
      t = std::clamp(t, 0.0f, 1.0f);
    } else if constexpr (S == Spread::Repeat) {
      t -= std::floor(t);
    } else {
      t = std::fabs(t - 2.0f * std::floor(t * 0.5f + 0.5f));  // distance to nearest even
    }
    return std::clamp(static_cast<int>(t * 255.0f + 0.5f), 0, 255);
  }

  void BuildTable(const Paint& paint) {
    const auto& stops = paint.stops;
    size_t s = 0;
    for (int i = 0; i < 256; ++i) {
      const float t = i / 255.0f;
      while (s < stops.size() && stops[s].position < t) ++s;
      Rgba c;
      if (s == 0) {
        c = stops.front().color;
      } else if (s == stops.size()) {
        c = stops.back().color;
      } else {
        const GradientStop& a = stops[s - 1];
        const GradientStop& b = stops[s];
        const float span = b.position - a.position;
        const float f = span > 0 ? std::clamp((t - a.position) / span, 0.0f, 1.0f) : 1.0f;
        c = Interpolate(a.color, b.color, f, paint.linearRgb);
      }
      table_[i] = Premultiply(c);
    }
  }

  Paint::Kind kind_;
  Spread spread_;
  Matrix m_;
  float focal_ = 0;
  std::array<uint32_t, 256> table_{};
};

}  // namespace

std::unique_ptr<Shader> MakeGradientShader(const Paint& paint) {
  if (paint.stops.empty()) return nullptr;
  // Fold the gradient square into the matrix: linear gradients map to 0..1
  // along x, radial ones to the unit circle.
  Matrix unit;
  if (paint.kind == Paint::Kind::LinearGradient) {
    unit = {1.0 / 32768, 0, 0, 1.0 / 32768, 0.5, 0.5};
  } else {
    unit = {1.0 / 16384, 0, 0, 1.0 / 16384, 0, 0};
  }
  const Matrix m = unit * paint.deviceToGradient;
  for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty}) {
    if (!std::isfinite(v)) return nullptr;
  }
  return std::make_unique<GradientShader>(paint, m);
}

}  // namespace orrivel::swf::raster
