#include "swf/render/layer_stack.h"

#include <algorithm>
#include <cmath>

#include "swf/raster/pixel.h"
#include "swf/raster/simd.h"

namespace orrivel::swf {

namespace {

// a[i] * b[i] / 255, rounded.
void MultiplyRow(uint8_t* a, const uint8_t* b, size_t n) {
  size_t i = 0;
#if defined(ORRIVEL_SSE2)
  const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(128);
  const auto div255 = [&](__m128i x) {
    x = _mm_add_epi16(x, half);
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i lo =
        div255(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero)));
    const __m128i hi =
        div255(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) a[i] = static_cast<uint8_t>(raster::Div255(uint32_t{a[i]} * b[i]));
}

// Rows that either mask leaves clear stay clear; only the rows both may
// cover are multiplied.
void IntersectMask(raster::Mask& mask, const raster::Mask& other) {
  if (mask.width != other.width || mask.height != other.height ||
      mask.coverage.size() != other.coverage.size() ||
      mask.coverage.size() != static_cast<size_t>(mask.width) * mask.height) {
    const size_t n = std::min(mask.coverage.size(), other.coverage.size());
    MultiplyRow(mask.coverage.data(), other.coverage.data(), n);
    return;
  }
  const int top = std::max(mask.top, other.top);
  const int bottom = std::min(mask.Bottom(), other.Bottom());
  const size_t w = static_cast<size_t>(mask.width);
  for (int y = std::max(mask.top, 0); y < mask.Bottom(); ++y) {
    uint8_t* row = mask.coverage.data() + y * w;
    if (y >= top && y < bottom) {
      MultiplyRow(row, other.coverage.data() + y * w, w);
    } else {
      std::fill_n(row, w, uint8_t{0});
    }
  }
  mask.top = top < bottom ? top : 0;
  mask.bottom = top < bottom ? bottom : 0;
}

raster::Canvas SubCanvas(const raster::Canvas& c, const PixelBox& b) {
  raster::Canvas s;
  s.pixels = c.pixels + static_cast<size_t>(b.y0) * c.stride + b.x0;
  s.width = b.x1 - b.x0;
  s.height = b.y1 - b.y0;
  s.stride = c.stride;
  return s;
}

}  // namespace

PixelBox ClipToCanvas(const FloatRect& r, int width, int height, int x0, int y0) {
  PixelBox b;
  if (r.Empty() || !std::isfinite(r.xMin) || !std::isfinite(r.yMin) || !std::isfinite(r.xMax) ||
      !std::isfinite(r.yMax)) {
    return b;
  }
  const float left = static_cast<float>(x0), top = static_cast<float>(y0);
  b.x0 = static_cast<int>(std::max(left, std::floor(r.xMin) - 1));
  b.y0 = static_cast<int>(std::max(top, std::floor(r.yMin) - 1));
  b.x1 = static_cast<int>(std::min(left + static_cast<float>(width), std::ceil(r.xMax) + 1));
  b.y1 = static_cast<int>(std::min(top + static_cast<float>(height), std::ceil(r.yMax) + 1));
  return b;
}

raster::Mask EmptyMask(int width, int height) {
  raster::Mask mask;
  mask.width = width;
  mask.height = height;
  mask.coverage.assign(static_cast<size_t>(width) * height, 0);
  mask.top = mask.bottom = 0;
  return mask;
}

ClipStack::ClipStack(const raster::Mask* parentClip) : parent_(parentClip), current_(parentClip) {}

void ClipStack::Expire(uint16_t depth) {
  const size_t before = active_.size();
  std::erase_if(active_, [&](const Active& a) { return a.clipDepth < depth; });
  if (active_.size() != before) Recompute();
}

bool ClipStack::WouldExpire(uint16_t depth) const {
  return std::any_of(active_.begin(), active_.end(),
                     [&](const Active& a) { return a.clipDepth < depth; });
}

// A mask layer placed within another's range is cut by it over its whole
// own range, even where that reaches past the other's.
void ClipStack::Push(uint16_t clipDepth, raster::Mask mask) {
  if (current_ != nullptr) IntersectMask(mask, *current_);
  active_.push_back({clipDepth, std::move(mask)});
  Recompute();
}

// Runs after every change of active_, whose storage may have moved. The
// newest active mask already holds every one pushed before it.
void ClipStack::Recompute() { current_ = active_.empty() ? parent_ : &active_.back().mask; }

raster::Canvas LayerPool::Open(int width, int height, const PixelBox& box) {
  if (inUse_ == pool_.size()) pool_.push_back(std::make_unique<Layer>());
  Layer& layer = *pool_[inUse_++];
  layer.pixels.resize(static_cast<size_t>(width) * height);
  layer.width = width;
  layer.height = height;
  // Only the box is composited later, so only the box needs clearing.
  for (int y = box.y0; y < box.y1; ++y) {
    std::fill_n(layer.pixels.data() + static_cast<size_t>(y) * width + box.x0, box.x1 - box.x0, 0u);
  }
  return {layer.pixels.data(), width, height, width};
}

void LayerPool::Close(raster::Canvas& dst, const PixelBox& box, BlendMode mode) {
  Layer& layer = *pool_[--inUse_];
  const raster::Canvas canvas{layer.pixels.data(), layer.width, layer.height, layer.width};
  raster::Canvas dstView = SubCanvas(dst, box);
  // A plain layer (the Layer mode) composites as normal.
  raster::Composite(dstView, SubCanvas(canvas, box),
                    mode == BlendMode::Layer ? BlendMode::Normal : mode);
}

raster::Canvas OffscreenPool::Open(int width, int height) {
  if (inUse_ == pool_.size()) pool_.push_back(std::make_unique<std::vector<uint32_t>>());
  std::vector<uint32_t>& pixels = *pool_[inUse_++];
  pixels.assign(static_cast<size_t>(width) * height, 0u);
  return {pixels.data(), width, height, width};
}

raster::Mask CropMask(const raster::Mask& mask, const PixelBox& box) {
  raster::Mask out = EmptyMask(box.x1 - box.x0, box.y1 - box.y0);
  const int from = std::max(box.y0, std::max(mask.top, 0));
  const int to = std::min({box.y1, mask.height, mask.bottom});
  if (from < to) {
    out.top = from - box.y0;
    out.bottom = to - box.y0;
  }
  for (int y = from; y < to; ++y) {
    const int x1 = std::min(box.x1, mask.width);
    if (x1 <= box.x0) break;
    std::copy_n(mask.coverage.data() + static_cast<size_t>(y) * mask.width + box.x0, x1 - box.x0,
                out.coverage.data() + static_cast<size_t>(y - box.y0) * out.width);
  }
  return out;
}

}  // namespace orrivel::swf
