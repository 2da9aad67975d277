// BitmapData.perlinNoise: gradient noise summed over octaves, each octave
// twice the frequency and half the amplitude of the one before, one field
// per channel. Fractal noise maps the signed sum around mid-grey;
// turbulence sums magnitudes, dark where the field is calm.
#include <algorithm>
#include <array>
#include <cmath>

#include "swf/player/bitmap_ops.h"

namespace orrivel::swf {

namespace {

class GradientField {
 public:
  explicit GradientField(NoiseRandom& rng) {
    for (int i = 0; i < 256; ++i) perm_[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i)
      std::swap(perm_[static_cast<std::size_t>(i)],
                perm_[rng.Next() % static_cast<uint32_t>(i + 1)]);
    for (auto& g : grad_) {
      const double angle = (rng.Next() % 3600) * (2 * 3.14159265358979 / 3600);
      g = {std::cos(angle), std::sin(angle)};
    }
  }

  // Noise in about -0.7..0.7 at (x, y); with a period, it wraps there so
  // that tiles meet without seams.
  double At(double x, double y, int periodX, int periodY) const {
    const double fx = std::floor(x), fy = std::floor(y);
    const double tx = x - fx, ty = y - fy;
    const auto cell = [](double v, int period) {
      long long c = static_cast<long long>(v);
      if (period > 0) c = ((c % period) + period) % period;
      return static_cast<int>(c & 255);
    };
    const int x0 = cell(fx, periodX), y0 = cell(fy, periodY);
    const int x1 = cell(fx + 1, periodX), y1 = cell(fy + 1, periodY);
    const auto dot = [&](int cx, int cy, double dx, double dy) {
      const auto& g = grad_[perm_[(perm_[static_cast<std::size_t>(cx)] + cy) & 255]];
      return g[0] * dx + g[1] * dy;
    };
    const auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    const double u = fade(tx), v = fade(ty);
    const double a = dot(x0, y0, tx, ty) + u * (dot(x1, y0, tx - 1, ty) - dot(x0, y0, tx, ty));
    const double b =
        dot(x0, y1, tx, ty - 1) + u * (dot(x1, y1, tx - 1, ty - 1) - dot(x0, y1, tx, ty - 1));
    return a + v * (b - a);
  }

 private:
  std::array<uint8_t, 256> perm_{};
  std::array<std::array<double, 2>, 256> grad_{};
};

}  // namespace

void PerlinNoise(ScriptBitmap& dst, const PerlinArgs& args) {
  if (!dst.Valid()) return;
  // An octave count past what a byte can resolve adds nothing but time.
  const int octaves = std::clamp(args.octaves, 0, 16);
  const double baseX = std::abs(args.baseX), baseY = std::abs(args.baseY);
  NoiseRandom rng(args.seed);
  std::array<GradientField, 4> fields{GradientField(rng), GradientField(rng), GradientField(rng),
                                      GradientField(rng)};
  const bool alpha = (args.channels & kAlpha) && dst.transparent;
  for (int y = 0; y < dst.height; ++y) {
    for (int x = 0; x < dst.width; ++x) {
      std::array<double, 4> sum{};  // red, green, blue, alpha
      double amplitude = 1, frequency = 1, total = 0;
      for (int o = 0; o < octaves; ++o) {
        const auto off = static_cast<std::size_t>(o) < args.offsets.size()
                             ? args.offsets[static_cast<std::size_t>(o)]
                             : std::pair<double, double>{0, 0};
        const double sx = baseX > 0 ? (x + off.first) * frequency / baseX : 0;
        const double sy = baseY > 0 ? (y + off.second) * frequency / baseY : 0;
        const int px =
            args.stitch && baseX > 0
                ? std::max(1, static_cast<int>(std::lround(dst.width * frequency / baseX)))
                : 0;
        const int py =
            args.stitch && baseY > 0
                ? std::max(1, static_cast<int>(std::lround(dst.height * frequency / baseY)))
                : 0;
        for (std::size_t c = 0; c < 4; ++c) {
          const double n = fields[c].At(sx, sy, px, py);
          sum[c] += (args.fractal ? n : std::abs(n)) * amplitude;
        }
        total += amplitude;
        amplitude /= 2;
        frequency *= 2;
      }
      const auto level = [&](double s) -> uint32_t {
        if (total <= 0) return args.fractal ? 128 : 0;
        const double v = s / total / 0.7;
        const double byte = args.fractal ? (v + 1) * 127.5 : v * 255;
        return static_cast<uint32_t>(std::clamp(byte, 0.0, 255.0));
      };
      uint32_t r = 0, g = 0, b = 0;
      if (args.grayScale) {
        r = g = b = level(sum[0]);
      } else {
        if (args.channels & kRed) r = level(sum[0]);
        if (args.channels & kGreen) g = level(sum[1]);
        if (args.channels & kBlue) b = level(sum[2]);
      }
      const uint32_t a = alpha ? level(sum[3]) : 255;
      dst.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(dst.width) +
               static_cast<std::size_t>(x)] = KeptPixel(dst, a << 24 | r << 16 | g << 8 | b);
    }
  }
  dst.Changed();
}

}  // namespace orrivel::swf
