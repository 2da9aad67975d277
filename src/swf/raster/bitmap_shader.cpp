// Bitmap paint: samples a premultiplied image at each pixel centre mapped
// into bitmap space, nearest or bilinear, repeating or clamped to the edge,
// and applies the colour transform to the straight colour.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "swf/raster/color_table.h"
#include "swf/raster/paint.h"
#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/sample_row.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::raster {
namespace {

// Keeps far-away coordinates convertible to int; they only need to land
// somewhere consistent outside or inside the image.
constexpr double kCoordLimit = 1 << 28;

int Wrap(int i, int n) {
  const int r = i % n;
  return r < 0 ? r + n : r;
}

class BitmapShader final : public Shader {
 public:
  explicit BitmapShader(const Paint& p)
      : img_(*p.bitmap),
        m_(p.deviceToBitmap),
        repeat_(p.repeat),
        smooth_(p.smooth),
        table_(p.colorTransform.IsIdentity() ? std::nullopt
                                             : std::optional<ColorTable>(p.colorTransform)) {}

  void Shade(int x, int y, int count, uint32_t* out) override {
    const double px = x + 0.5, py = y + 0.5;
    const double half = smooth_ ? 0.5 : 0.0;  // bilinear taps sit on texel centres
    double u = m_.a * px + m_.c * py + m_.tx - half;
    double v = m_.b * px + m_.d * py + m_.ty - half;
    const double ue = u + m_.a * count, ve = v + m_.b * count;
    constexpr double kFixedLimit = 1 << 30;
    if (std::fabs(u) < kFixedLimit && std::fabs(v) < kFixedLimit && std::fabs(ue) < kFixedLimit &&
        std::fabs(ve) < kFixedLimit) {
      ShadeFixed(u, v, count, out);
    } else {
      for (int i = 0; i < count; ++i, u += m_.a, v += m_.b) {
        out[i] = smooth_ ? Bilinear(u, v) : Nearest(u + half, v + half);
      }
    }
    if (table_) table_->ApplyRow(out, count);
  }

 private:
  // One texel axis stepped in 32.32 fixed point: exact enough over any span
  // (an error below 2^-32 texel per pixel) and free of divisions.
  struct Axis {
    int64_t pos, step, period;  // period > 0 only when repeating
    int size;
    Axis(double start, double delta, int n, bool repeat) : size(n) {
      pos = static_cast<int64_t>(std::llround(start * 4294967296.0));
      step = static_cast<int64_t>(std::llround(delta * 4294967296.0));
      period = repeat ? int64_t(n) << 32 : 0;
      if (period) {
        pos %= period;
        if (pos < 0) pos += period;
        step %= period;
      }
    }
    int Index() const { return static_cast<int>(pos >> 32); }
    uint32_t Frac8() const { return static_cast<uint32_t>(pos >> 24) & 0xFF; }
    void Next() {
      pos += step;
      if (period) {
        if (pos >= period)
          pos -= period;
        else if (pos < 0)
          pos += period;
      }
    }
    // Texel i and its right/lower neighbour, wrapped or clamped.
    int Clamp(int i) const { return std::clamp(i, 0, size - 1); }
    int Neighbour(int i) const { return period ? (i + 1 == size ? 0 : i + 1) : Clamp(i + 1); }
  };

  void ShadeFixed(double u, double v, int count, uint32_t* out) const {
    // Rows of a bitmap paint are often axis-aligned: v then stays put.
    Axis ax(u, m_.a, img_.width, repeat_), ay(v, m_.b, img_.height, repeat_);
    if (m_.b == 0) return ShadeRow(ax, ay, count, out);
    if (!ax.period && !ay.period) {
      // Clamped: a straight walk through the picture, eight pixels at a time
      // where the processor allows.
      const TexelWalk walk{
          img_.pixels.data(), img_.width, img_.height, ax.pos, ay.pos, ax.step, ay.step};
      return smooth_ ? SampleBilinear(walk, count, out) : SampleNearest(walk, count, out);
    }
    if (!smooth_) {
      for (int i = 0; i < count; ++i, ax.Next(), ay.Next()) {
        out[i] = At(ax.Clamp(ax.Index()), ay.Clamp(ay.Index()));
      }
      return;
    }
    for (int i = 0; i < count; ++i, ax.Next(), ay.Next()) {
      const int x0 = ax.Index(), y0 = ay.Index();
      const int c0 = ax.Clamp(x0), c1 = ax.Neighbour(x0);
      const uint32_t* row0 = img_.pixels.data() + size_t(ay.Clamp(y0)) * img_.width;
      const uint32_t* row1 = img_.pixels.data() + size_t(ay.Neighbour(y0)) * img_.width;
      out[i] = Bilerp(row0[c0], row0[c1], row1[c0], row1[c1], ax.Frac8(), ay.Frac8());
    }
  }

  // Unrotated bitmaps: the whole span samples one row (or one pair of rows).
  void ShadeRow(Axis& ax, const Axis& ay, int count, uint32_t* out) const {
    const int y0 = ay.Index();
    const uint32_t* row0 = img_.pixels.data() + size_t(ay.Clamp(y0)) * img_.width;
    if (!smooth_) {
      if (!ax.period && ax.step >= 0 && ax.pos >= 0 &&
          ((ax.pos + ax.step * (count - 1)) >> 32) < img_.width) {
        for (int i = 0; i < count; ++i, ax.pos += ax.step) out[i] = row0[ax.pos >> 32];
        return;
      }
      for (int i = 0; i < count; ++i, ax.Next()) out[i] = row0[ax.Clamp(ax.Index())];
      return;
    }
    // Blend the two rows first (neighbouring output pixels of a magnified
    // bitmap share their texel pair, so that blend is reused), then blend
    // across in one vector pass.
    const uint32_t* row1 = img_.pixels.data() + size_t(ay.Neighbour(y0)) * img_.width;
    const uint32_t wy = ay.Frac8();
    if (ax.step >= (int64_t(1) << 32) || ax.step <= -(int64_t(1) << 32)) {
      // Minified: every pixel has its own texel pair, nothing to reuse.
      for (int i = 0; i < count; ++i, ax.Next()) {
        const int x0 = ax.Index();
        const int c0 = ax.Clamp(x0), c1 = ax.Neighbour(x0);
        out[i] = Bilerp(row0[c0], row0[c1], row1[c0], row1[c1], ax.Frac8(), wy);
      }
      return;
    }
    if (right_.size() < size_t(count)) {
      right_.resize(count);
      weight_.resize(count);
    }
    if (!ax.period) return ShadeMagnifiedClamped(ax, row0, row1, wy, count, out);
    int lastX = 0;
    uint32_t left = 0, right = 0;
    for (int i = 0; i < count; ++i, ax.Next()) {
      const int x0 = ax.Index();
      if (x0 != lastX || i == 0) {
        const int c0 = ax.Clamp(x0), c1 = ax.Neighbour(x0);
        left = Lerp256(row0[c0], row1[c0], wy);
        right = Lerp256(row0[c1], row1[c1], wy);
        lastX = x0;
      }
      out[i] = left;
      right_[i] = right;
      weight_[i] = static_cast<uint8_t>(ax.Frac8());
    }
    LerpRow(out, out, right_.data(), weight_.data(), count);
  }

  // A magnified, clamped row: the texels the span reaches are blended
  // down the column once each, then every pixel picks its pair without a
  // branch. The same blends as the general loop, so the same pixels.
  void ShadeMagnifiedClamped(Axis& ax, const uint32_t* row0, const uint32_t* row1, uint32_t wy,
                             int count, uint32_t* out) const {
    const int first = ax.Index();
    const int last = static_cast<int>((ax.pos + ax.step * (count - 1)) >> 32);
    const int lo = ax.Clamp(std::min(first, last));
    const int hi = ax.Clamp(std::max(first, last) + 1);
    if (mixed_.size() < size_t(hi - lo + 1)) mixed_.resize(hi - lo + 1);
    for (int c = lo; c <= hi; ++c) mixed_[c - lo] = Lerp256(row0[c], row1[c], wy);
    const uint32_t* mixed = mixed_.data() - lo;
    int64_t pos = ax.pos;
    const int64_t step = ax.step;
    const int w1 = img_.width - 1;
    for (int i = 0; i < count; ++i, pos += step) {
      const int x0 = static_cast<int>(pos >> 32);
      out[i] = mixed[std::clamp(x0, 0, w1)];
      right_[i] = mixed[std::clamp(x0 + 1, 0, w1)];
      weight_[i] = static_cast<uint8_t>(pos >> 24);
    }
    ax.pos = pos;
    LerpRow(out, out, right_.data(), weight_.data(), count);
  }

  // Weights sum to 256, so each 16-bit lane stays below 65536.
  static uint32_t Mix(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t wx,
                      uint32_t wy) {
    const uint32_t w11 = (wx * wy) >> 8, w10 = (wx * (256 - wy)) >> 8, w01 = ((256 - wx) * wy) >> 8;
    const uint32_t w00 = 256 - w11 - w10 - w01;
    const auto lanes = [&](int shift) {
      constexpr uint32_t kMask = 0x00FF00FFu;
      return ((p00 >> shift) & kMask) * w00 + ((p10 >> shift) & kMask) * w10 +
             ((p01 >> shift) & kMask) * w01 + ((p11 >> shift) & kMask) * w11;
    };
    return ((lanes(0) >> 8) & 0x00FF00FFu) | (lanes(8) & 0xFF00FF00u);
  }

  static int Floor(double c, double& frac) {
    c = std::clamp(c, -kCoordLimit, kCoordLimit);
    if (!(c == c)) c = 0;
    const double f = std::floor(c);
    frac = c - f;
    return static_cast<int>(f);
  }

  int Col(int i) const { return repeat_ ? Wrap(i, img_.width) : std::clamp(i, 0, img_.width - 1); }
  int Row(int i) const {
    return repeat_ ? Wrap(i, img_.height) : std::clamp(i, 0, img_.height - 1);
  }
  uint32_t At(int cx, int ry) const { return img_.pixels[size_t(ry) * img_.width + cx]; }

  uint32_t Nearest(double u, double v) const {
    double f;
    return At(Col(Floor(u, f)), Row(Floor(v, f)));
  }

  uint32_t Bilinear(double u, double v) const {
    double fu, fv;
    const int x0 = Floor(u, fu), y0 = Floor(v, fv);
    const int c0 = Col(x0), c1 = Col(x0 + 1), r0 = Row(y0), r1 = Row(y0 + 1);
    const uint32_t wx = static_cast<uint32_t>(fu * 256.0) & 0xFF;
    const uint32_t wy = static_cast<uint32_t>(fv * 256.0) & 0xFF;
    return Mix(At(c0, r0), At(c1, r0), At(c0, r1), At(c1, r1), wx, wy);
  }

  const Image& img_;
  mutable std::vector<uint32_t> right_;
  mutable std::vector<uint8_t> weight_;
  mutable std::vector<uint32_t> mixed_;
  Matrix m_;
  bool repeat_, smooth_;
  std::optional<ColorTable> table_;
};

}  // namespace

std::unique_ptr<Shader> MakeBitmapShader(const Paint& paint) {
  const Image* img = paint.bitmap;
  if (!img || img->width <= 0 || img->height <= 0 ||
      img->pixels.size() < size_t(img->width) * img->height) {
    return nullptr;
  }
  const Matrix& m = paint.deviceToBitmap;
  for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty}) {
    if (!std::isfinite(v)) return nullptr;
  }
  return std::make_unique<BitmapShader>(paint);
}

}  // namespace orrivel::swf::raster
