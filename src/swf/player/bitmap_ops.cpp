#include "swf/player/bitmap_ops.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace orrivel::swf {

namespace {

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}
uint32_t Chan(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

std::size_t Index(const ScriptBitmap& b, int x, int y) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
         static_cast<std::size_t>(x);
}

// Calls f(srcPixel, dstPixel&) for each pixel of src's rect moved to
// (dx, dy) in dst, both clipped. The source rows are read before dst's are
// written so that src may be dst, unless inPlace: then the pixels are read
// as the walk, row by row from the top left, has already changed them.
template <typename F>
void ForEachPair(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy, F f,
                 bool inPlace = false) {
  if (!dst.Valid() || !src.Valid()) return;
  if (rect.x < 0) dx -= rect.x, rect.width += rect.x, rect.x = 0;
  if (rect.y < 0) dy -= rect.y, rect.height += rect.y, rect.y = 0;
  if (dx < 0) rect.x -= dx, rect.width += dx, dx = 0;
  if (dy < 0) rect.y -= dy, rect.height += dy, dy = 0;
  rect.width = std::min({rect.width, src.width - rect.x, dst.width - dx});
  rect.height = std::min({rect.height, src.height - rect.y, dst.height - dy});
  if (rect.width <= 0 || rect.height <= 0) return;
  const bool snapshot = &src == &dst && !inPlace;
  const std::vector<uint32_t> copy = snapshot ? src.argb : std::vector<uint32_t>{};
  const std::vector<uint32_t>& from = snapshot ? copy : src.argb;
  for (int j = 0; j < rect.height; ++j) {
    for (int i = 0; i < rect.width; ++i) {
      uint32_t s = from[Index(src, rect.x + i, rect.y + j)];
      if (!src.transparent) s |= 0xFF000000u;
      uint32_t& d = dst.argb[Index(dst, dx + i, dy + j)];
      d = KeptPixel(dst, f(s, d));
    }
  }
  dst.Changed();
}

}  // namespace

uint32_t KeptPixel(const ScriptBitmap& bitmap, uint32_t argb) {
  if (!bitmap.transparent) return argb | 0xFF000000u;
  const uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  // Premultiplied with rounding; back with a bias of 3/8 of a step, not a
  // half (0x43434343 reads back as 0x43444444, 0x10101010 unchanged).
  const auto keep = [a](uint32_t c) {
    const uint32_t pre = (c * a + 127) / 255;
    return std::min<uint32_t>(255, (pre * 255 + a * 3 / 8) / a);
  };
  return Pack(a, keep(Chan(argb, 16)), keep(Chan(argb, 8)), keep(Chan(argb, 0)));
}

uint32_t StraightPixel(uint32_t p) {
  const uint32_t a = p >> 24;
  if (a == 0) return 0;
  if (a == 255) return p;
  const auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a * 3 / 8) / a); };
  return Pack(a, un(Chan(p, 16)), un(Chan(p, 8)), un(Chan(p, 0)));
}

PixelRect ClipRect(const ScriptBitmap& bitmap, PixelRect r) {
  const int x0 = std::max(0, r.x), y0 = std::max(0, r.y);
  const int x1 = std::min(bitmap.width, r.x + std::max(0, r.width));
  const int y1 = std::min(bitmap.height, r.y + std::max(0, r.height));
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

void ColorTransformPixels(ScriptBitmap& dst, PixelRect rect, const ColorTransform& cx) {
  ForEachPair(dst, dst, rect, rect.x, rect.y, [&](uint32_t s, uint32_t) {
    const Rgba c =
        cx.Apply(Rgba{static_cast<uint8_t>(Chan(s, 16)), static_cast<uint8_t>(Chan(s, 8)),
                      static_cast<uint8_t>(Chan(s, 0)), static_cast<uint8_t>(s >> 24)});
    return Pack(c.a, c.r, c.g, c.b);
  });
}

void ScrollPixels(ScriptBitmap& dst, int dx, int dy) {
  if (!dst.Valid()) return;
  ForEachPair(dst, dst, {0, 0, dst.width, dst.height}, dx, dy,
              [](uint32_t s, uint32_t) { return s; });
}

void CopyChannel(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                 uint32_t srcChannel, uint32_t dstChannel) {
  // Each side names one channel (1, 2, 4 or 8): a source naming none or
  // several gives zeros; a destination naming none or several is left alone.
  constexpr int kShift[] = {16, 8, 0, 24};
  const auto single = [&](uint32_t bits) {
    for (int i = 0; i < 4; ++i) {
      if (bits == (1u << i)) return kShift[i];
    }
    return -1;
  };
  const int from = single(srcChannel), to = single(dstChannel);
  if (to < 0) return;
  ForEachPair(
      dst, src, rect, dx, dy,
      [&](uint32_t s, uint32_t d) {
        const uint32_t v = from < 0 ? 0 : Chan(s, from);
        return (d & ~(0xFFu << to)) | v << to;
      },
      /*inPlace=*/true);
}

void MergePixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                 const std::array<uint32_t, 4>& m) {
  ForEachPair(dst, src, rect, dx, dy, [&](uint32_t s, uint32_t d) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
      const int shift = 24 - 8 * i;
      const uint32_t k = std::min<uint32_t>(m[static_cast<std::size_t>(i)], 256);
      out |= ((Chan(s, shift) * k + Chan(d, shift) * (256 - k)) / 256) << shift;
    }
    return out;
  });
}

std::optional<ScriptBitmap> ComparePixels(const ScriptBitmap& a, const ScriptBitmap& b) {
  ScriptBitmap out;
  out.width = a.width;
  out.height = a.height;
  out.transparent = true;
  out.argb.assign(a.argb.size(), 0);
  bool differs = false;
  for (std::size_t i = 0; i < a.argb.size(); ++i) {
    const uint32_t p = a.transparent ? a.argb[i] : a.argb[i] | 0xFF000000u;
    const uint32_t q = b.transparent ? b.argb[i] : b.argb[i] | 0xFF000000u;
    if (p == q) continue;
    differs = true;
    if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
      const auto diff = [&](int shift) { return (Chan(p, shift) - Chan(q, shift)) & 0xFF; };
      out.argb[i] = Pack(0xFF, diff(16), diff(8), diff(0));
    } else {
      out.argb[i] = Pack(((p >> 24) - (q >> 24)) & 0xFF, 0xFF, 0xFF, 0xFF);
    }
    out.argb[i] = KeptPixel(out, out.argb[i]);
  }
  if (!differs) return std::nullopt;
  return out;
}

std::optional<ThresholdOp> ThresholdOpOf(std::string_view t) {
  if (t == "<") return ThresholdOp::Less;
  if (t == "<=") return ThresholdOp::LessEqual;
  if (t == ">") return ThresholdOp::Greater;
  if (t == ">=") return ThresholdOp::GreaterEqual;
  if (t == "==") return ThresholdOp::Equal;
  if (t == "!=") return ThresholdOp::NotEqual;
  return std::nullopt;
}

int ThresholdPixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                    ThresholdOp op, uint32_t threshold, uint32_t color, uint32_t mask,
                    bool copySource) {
  int count = 0;
  const uint32_t t = threshold & mask;
  ForEachPair(dst, src, rect, dx, dy, [&](uint32_t s, uint32_t d) {
    const uint32_t v = s & mask;
    bool pass = false;
    switch (op) {
      case ThresholdOp::Less:
        pass = v < t;
        break;
      case ThresholdOp::LessEqual:
        pass = v <= t;
        break;
      case ThresholdOp::Greater:
        pass = v > t;
        break;
      case ThresholdOp::GreaterEqual:
        pass = v >= t;
        break;
      case ThresholdOp::Equal:
        pass = v == t;
        break;
      case ThresholdOp::NotEqual:
        pass = v != t;
        break;
    }
    if (pass) {
      ++count;
      return color;
    }
    return copySource ? s : d;
  });
  return count;
}

bool FloodFill(ScriptBitmap& dst, int x, int y, uint32_t color) {
  if (!dst.Valid() || x < 0 || y < 0 || x >= dst.width || y >= dst.height) return false;
  const uint32_t target = dst.argb[Index(dst, x, y)];
  const uint32_t fill = KeptPixel(dst, color);
  if (target == fill) return false;
  // Scanline fill with an explicit stack: no recursion depth to run out of.
  std::vector<std::pair<int, int>> stack{{x, y}};
  while (!stack.empty()) {
    auto [sx, sy] = stack.back();
    stack.pop_back();
    if (dst.argb[Index(dst, sx, sy)] != target) continue;
    int l = sx, r = sx;
    while (l > 0 && dst.argb[Index(dst, l - 1, sy)] == target) --l;
    while (r + 1 < dst.width && dst.argb[Index(dst, r + 1, sy)] == target) ++r;
    for (int i = l; i <= r; ++i) dst.argb[Index(dst, i, sy)] = fill;
    for (int ny : {sy - 1, sy + 1}) {
      if (ny < 0 || ny >= dst.height) continue;
      for (int i = l; i <= r; ++i) {
        if (dst.argb[Index(dst, i, ny)] == target &&
            (i == l || dst.argb[Index(dst, i - 1, ny)] != target))
          stack.emplace_back(i, ny);
      }
    }
  }
  dst.Changed();
  return true;
}

PixelRect ColorBounds(const ScriptBitmap& b, uint32_t mask, uint32_t color, bool findColor) {
  int x0 = b.width, y0 = b.height, x1 = -1, y1 = -1;
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      uint32_t p = b.argb[Index(b, x, y)];
      if (!b.transparent) p |= 0xFF000000u;
      if (((p & mask) == color) != findColor) continue;
      x0 = std::min(x0, x), y0 = std::min(y0, y);
      x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return {};
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void PaletteMap(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                const PaletteTables& tables) {
  ForEachPair(dst, src, rect, dx, dy, [&](uint32_t s, uint32_t) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
      const int shift = 24 - 8 * i;
      const uint32_t c = Chan(s, shift);
      const auto& table = tables.argb[static_cast<std::size_t>(i)];
      out += table ? (*table)[c] : c << shift;
    }
    return out;
  });
}

NoiseRandom::NoiseRandom(int32_t seed) {
  // The generator never leaves zero: seeds up to zero map to 1 - seed.
  int64_t s = seed <= 0 ? 1 - static_cast<int64_t>(seed) : seed;
  s %= 2147483647;
  state_ = static_cast<uint32_t>(s == 0 ? 1 : s);
}

uint32_t NoiseRandom::Next() {
  state_ = static_cast<uint32_t>(static_cast<uint64_t>(state_) * 16807 % 2147483647);
  return state_;
}

void NoisePixels(ScriptBitmap& dst, int32_t seed, int low, int high, uint32_t channels,
                 bool grayScale) {
  if (!dst.Valid()) return;
  // A high below the low gives the low everywhere.
  low = std::clamp(low, 0, 255), high = std::clamp(high, 0, 255);
  const auto span = static_cast<uint32_t>(std::max(high - low + 1, 1));
  NoiseRandom rng(seed);
  for (uint32_t& p : dst.argb) {
    uint32_t a = 255, r = 0, g = 0, b = 0;
    if (grayScale) {
      r = g = b = static_cast<uint32_t>(low) + rng.Next() % span;
    } else {
      if (channels & kRed) r = static_cast<uint32_t>(low) + rng.Next() % span;
      if (channels & kGreen) g = static_cast<uint32_t>(low) + rng.Next() % span;
      if (channels & kBlue) b = static_cast<uint32_t>(low) + rng.Next() % span;
    }
    if (channels & kAlpha) a = static_cast<uint32_t>(low) + rng.Next() % span;
    p = KeptPixel(dst, Pack(a, r, g, b));
  }
  dst.Changed();
}

int32_t DissolvePixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                       int32_t seed, int64_t count, uint32_t fillColor) {
  const PixelRect area = ClipRect(src, rect);
  const int64_t total = static_cast<int64_t>(area.width) * area.height;
  if (!dst.Valid() || total <= 0) return seed;
  count = std::clamp<int64_t>(count, 0, total);
  // A random order of the area's pixels; the first `count` of it change.
  std::vector<uint32_t> order(static_cast<std::size_t>(total));
  std::iota(order.begin(), order.end(), 0u);
  NoiseRandom rng(seed);
  for (int64_t i = 0; i < count; ++i) {
    const auto j = i + static_cast<int64_t>(rng.Next() % static_cast<uint64_t>(total - i));
    std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
  }
  const bool same = &src == &dst;
  const std::vector<uint32_t> copy = src.argb;
  for (int64_t i = 0; i < count; ++i) {
    const int ox = static_cast<int>(order[static_cast<std::size_t>(i)] % area.width);
    const int oy = static_cast<int>(order[static_cast<std::size_t>(i)] / area.width);
    const int tx = dx + (area.x - rect.x) + ox, ty = dy + (area.y - rect.y) + oy;
    if (tx < 0 || ty < 0 || tx >= dst.width || ty >= dst.height) continue;
    uint32_t v = same ? fillColor : copy[Index(src, area.x + ox, area.y + oy)];
    if (!same && !src.transparent) v |= 0xFF000000u;
    dst.argb[Index(dst, tx, ty)] = KeptPixel(dst, v);
  }
  dst.Changed();
  return static_cast<int32_t>(rng.state());
}

}  // namespace orrivel::swf
