#include "swf/render/layer_stack.h"

#include <algorithm>
#include <cmath>

namespace orrivel::swf {

namespace {

void IntersectMask(raster::Mask& mask, const raster::Mask& other) {
  const size_t n = std::min(mask.coverage.size(), other.coverage.size());
  for (size_t i = 0; i < n; ++i) {
    mask.coverage[i] = static_cast<uint8_t>((mask.coverage[i] * other.coverage[i] + 127) / 255);
  }
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
  return mask;
}

ClipStack::ClipStack(const raster::Mask* parentClip) : parent_(parentClip), current_(parentClip) {}

void ClipStack::Expire(uint16_t depth) {
  const size_t before = active_.size();
  std::erase_if(active_, [&](const Active& a) { return a.clipDepth < depth; });
  if (active_.size() != before) Recompute();
}

void ClipStack::Push(uint16_t clipDepth, raster::Mask mask) {
  if (parent_ != nullptr) IntersectMask(mask, *parent_);
  active_.push_back({clipDepth, std::move(mask)});
  Recompute();
}

// Runs after every change of active_, whose storage may have moved.
void ClipStack::Recompute() {
  if (active_.empty()) {
    current_ = parent_;
  } else if (active_.size() == 1) {
    current_ = &active_.front().mask;
  } else {
    combined_ = active_.front().mask;
    for (size_t i = 1; i < active_.size(); ++i) IntersectMask(combined_, active_[i].mask);
    current_ = &combined_;
  }
}

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
  for (int y = box.y0; y < box.y1 && y < mask.height; ++y) {
    const int x1 = std::min(box.x1, mask.width);
    if (x1 <= box.x0) break;
    std::copy_n(mask.coverage.data() + static_cast<size_t>(y) * mask.width + box.x0, x1 - box.x0,
                out.coverage.data() + static_cast<size_t>(y - box.y0) * out.width);
  }
  return out;
}

}  // namespace orrivel::swf
