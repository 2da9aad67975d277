// Bitmap paint: samples a premultiplied image at each pixel centre mapped
// into bitmap space, nearest or bilinear, repeating or clamped to the edge,
// and applies the colour transform to the straight colour.
#include <algorithm>
#include <cmath>

#include "swf/raster/paint.h"
#include "swf/raster/pixel.h"

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
      : img_(*p.bitmap), m_(p.deviceToBitmap), repeat_(p.repeat), smooth_(p.smooth),
        ct_(p.colorTransform), hasCt_(!p.colorTransform.IsIdentity()) {}

  void Shade(int x, int y, int count, uint32_t* out) override {
    const double px = x + 0.5, py = y + 0.5;
    double u = m_.a * px + m_.c * py + m_.tx;
    double v = m_.b * px + m_.d * py + m_.ty;
    for (int i = 0; i < count; ++i, u += m_.a, v += m_.b) {
      out[i] = smooth_ ? Bilinear(u - 0.5, v - 0.5) : Nearest(u, v);
    }
    if (hasCt_) {
      for (int i = 0; i < count; ++i) out[i] = Premultiply(ct_.Apply(Unpremultiply(out[i])));
    }
  }

 private:
  static int Floor(double c, double& frac) {
    c = std::clamp(c, -kCoordLimit, kCoordLimit);
    if (!(c == c)) c = 0;
    const double f = std::floor(c);
    frac = c - f;
    return static_cast<int>(f);
  }

  int Col(int i) const { return repeat_ ? Wrap(i, img_.width) : std::clamp(i, 0, img_.width - 1); }
  int Row(int i) const { return repeat_ ? Wrap(i, img_.height) : std::clamp(i, 0, img_.height - 1); }
  uint32_t At(int cx, int ry) const { return img_.pixels[size_t(ry) * img_.width + cx]; }

  uint32_t Nearest(double u, double v) const {
    double f;
    return At(Col(Floor(u, f)), Row(Floor(v, f)));
  }

  uint32_t Bilinear(double u, double v) const {
    double fu, fv;
    const int x0 = Floor(u, fu), y0 = Floor(v, fv);
    const int c0 = Col(x0), c1 = Col(x0 + 1), r0 = Row(y0), r1 = Row(y0 + 1);
    const uint32_t wx = static_cast<uint32_t>(fu * 256.0), wy = static_cast<uint32_t>(fv * 256.0);
    // Weights sum to 256, so each 16-bit lane stays below 65536.
    const uint32_t w11 = (wx * wy) >> 8, w10 = (wx * (256 - wy)) >> 8, w01 = ((256 - wx) * wy) >> 8;
    const uint32_t w00 = 256 - w11 - w10 - w01;
    const uint32_t p00 = At(c0, r0), p10 = At(c1, r0), p01 = At(c0, r1), p11 = At(c1, r1);
    const auto lanes = [&](uint32_t mask, int shift) {
      return ((p00 >> shift) & mask) * w00 + ((p10 >> shift) & mask) * w10 +
             ((p01 >> shift) & mask) * w01 + ((p11 >> shift) & mask) * w11;
    };
    const uint32_t rb = (lanes(0x00FF00FFu, 0) >> 8) & 0x00FF00FFu;
    const uint32_t ag = lanes(0x00FF00FFu, 8) & 0xFF00FF00u;
    return rb | ag;
  }

  const Image& img_;
  Matrix m_;
  bool repeat_, smooth_;
  ColorTransform ct_;
  bool hasCt_;
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
