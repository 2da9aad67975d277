// Colour matrix and convolution: both work on unpremultiplied colours, as
// their parameters are written for them.
#include <algorithm>
#include <cmath>

#include "swf/raster/filter_kernels.h"
#include "swf/raster/parallel.h"

namespace orrivel::swf::raster {
namespace {

struct Rgbaf {
  float r = 0, g = 0, b = 0, a = 0;  // 0..255, unpremultiplied
};

Rgbaf Unpremultiply(uint32_t p) {
  const float a = static_cast<float>(p >> 24);
  if (a == 0) return {};
  const float k = 255.0f / a;
  return {static_cast<float>((p >> 16) & 0xFF) * k, static_cast<float>((p >> 8) & 0xFF) * k,
          static_cast<float>(p & 0xFF) * k, a};
}

uint32_t Premultiply(const Rgbaf& c) {
  // NaN (from a matrix of huge weights) becomes 0 before the casts.
  auto clamp = [](float v) { return v > 0 ? std::min(v, 255.0f) : 0.0f; };
  const float a = clamp(c.a);
  const float k = a / 255.0f;
  auto channel = [&](float v) { return static_cast<uint32_t>(clamp(v) * k + 0.5f); };
  return static_cast<uint32_t>(a + 0.5f) << 24 | channel(c.r) << 16 | channel(c.g) << 8 |
         channel(c.b);
}

}  // namespace

void ApplyColorMatrix(Canvas& area, const std::array<float, 20>& m) {
  ForEachBand(0, area.height, int64_t{area.width} * area.height, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
      for (int x = 0; x < area.width; ++x) {
        const Rgbaf c = Unpremultiply(row[x]);
        auto line = [&](int i) {
          return m[i] * c.r + m[i + 1] * c.g + m[i + 2] * c.b + m[i + 3] * c.a + m[i + 4];
        };
        row[x] = Premultiply({line(0), line(5), line(10), line(15)});
      }
    }
  });
}

void Convolve(Canvas& area, const Convolution& c, std::vector<float>& scratch) {
  const int w = area.width, h = area.height;
  if (w <= 0 || h <= 0 || c.columns <= 0 || c.rows <= 0 || c.matrix == nullptr) return;
  scratch.resize(static_cast<size_t>(w) * h * 4);
  const int64_t work = int64_t{w} * h;
  ForEachBand(0, h, work, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      for (int x = 0; x < w; ++x) {
        const Rgbaf p = Unpremultiply(area.pixels[static_cast<size_t>(y) * area.stride + x]);
        float* s = &scratch[(static_cast<size_t>(y) * w + x) * 4];
        s[0] = p.r, s[1] = p.g, s[2] = p.b, s[3] = p.a;
      }
    }
  });
  const float outside[4] = {static_cast<float>(c.outside.r), static_cast<float>(c.outside.g),
                            static_cast<float>(c.outside.b), static_cast<float>(c.outside.a)};
  const float divisor = c.divisor != 0 ? c.divisor : 1;
  const int cx = c.columns / 2, cy = c.rows / 2;
  ForEachBand(0, h, work * c.rows * c.columns, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      // Where every tap lies inside the area, no tap needs clamping or the
      // outside colour; the taps are summed in the same order either way.
      const bool rowInside = y - cy >= 0 && y - cy + c.rows <= h;
      const int insideFrom = cx, insideTo = w - c.columns + cx + 1;
      for (int x = 0; x < w; ++x) {
        float sum[4] = {0, 0, 0, 0};
        if (rowInside && x >= insideFrom && x < insideTo) {
          const float* k = c.matrix;
          for (int j = 0; j < c.rows; ++j) {
            const float* s = &scratch[(static_cast<size_t>(y + j - cy) * w + (x - cx)) * 4];
            for (int i = 0; i < c.columns; ++i, s += 4, ++k) {
              for (int n = 0; n < 4; ++n) sum[n] += s[n] * *k;
            }
          }
        } else {
          for (int j = 0; j < c.rows; ++j) {
            int sy = y + j - cy;
            const bool outY = sy < 0 || sy >= h;
            if (c.clamp) sy = std::clamp(sy, 0, h - 1);
            for (int i = 0; i < c.columns; ++i) {
              int sx = x + i - cx;
              const bool out = outY || sx < 0 || sx >= w;
              if (c.clamp) sx = std::clamp(sx, 0, w - 1);
              const float* s =
                  out && !c.clamp ? outside : &scratch[(static_cast<size_t>(sy) * w + sx) * 4];
              const float k = c.matrix[j * c.columns + i];
              for (int n = 0; n < 4; ++n) sum[n] += s[n] * k;
            }
          }
        }
        const float* self = &scratch[(static_cast<size_t>(y) * w + x) * 4];
        auto value = [&](int n) { return sum[n] / divisor + c.bias; };
        area.pixels[static_cast<size_t>(y) * area.stride + x] =
            Premultiply({value(0), value(1), value(2), c.preserveAlpha ? self[3] : value(3)});
      }
    }
  });
}

}  // namespace orrivel::swf::raster
