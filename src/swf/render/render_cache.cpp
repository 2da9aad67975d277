#include "swf/render/render_cache.h"

#include <algorithm>
#include <cmath>

#include "swf/render/bitmap_decode.h"
#include "swf/render/morph.h"

namespace orrivel::swf {

RenderCache::RenderCache(const Movie& movie, ImageDecoder& decoder)
    : movie_(movie), decoder_(decoder), texts_(movie) {}

const Character* RenderCache::Find(uint16_t id) const {
  auto it = movie_.characters.find(id);
  return it == movie_.characters.end() ? nullptr : &it->second;
}

const raster::Image* RenderCache::Bitmap(uint16_t id) {
  auto it = bitmaps_.find(id);
  if (it == bitmaps_.end()) {
    std::optional<raster::Image> image;
    if (const auto* def = std::get_if<BitmapDefinition>(Find(id))) {
      image = DecodeBitmap(*def, movie_.jpegTables, decoder_);
    }
    it = bitmaps_.emplace(id, std::move(image)).first;
  }
  return it->second ? &*it->second : nullptr;
}

const ConvertedShape* RenderCache::ShapeOf(const DisplayNode& node) {
  if (node.drawing) return node.drawing.get();
  if (node.kind == DisplayNode::Kind::Shape) {
    auto it = shapes_.find(node.characterId);
    if (it != shapes_.end()) return &it->second;
    const auto* def = std::get_if<ShapeDefinition>(Find(node.characterId));
    if (def == nullptr) return nullptr;
    return &shapes_.emplace(node.characterId, ConvertShape(def->shape, def->usesFillWindingRule))
                .first->second;
  }
  if (node.kind == DisplayNode::Kind::MorphShape) {
    const auto* def = std::get_if<MorphShapeDefinition>(Find(node.characterId));
    if (def == nullptr) return nullptr;
    const float ratio = std::isfinite(node.ratio) ? std::clamp(node.ratio, 0.0f, 1.0f) : 0.0f;
    MorphEntry& entry = morphs_[node.characterId];
    if (entry.ratio != ratio) {
      entry.shape = ConvertShape(InterpolateMorph(*def, ratio), false);
      entry.ratio = ratio;
    }
    return &entry.shape;
  }
  return nullptr;
}

const raster::Image* RenderCache::BitmapOf(const DisplayNode& node) {
  if (node.kind == DisplayNode::Kind::Video) {
    const auto* def = std::get_if<VideoDefinition>(Find(node.characterId));
    if (def == nullptr || !std::isfinite(node.ratio) || node.ratio < 0) return nullptr;
    return videos_.Frame(*def, static_cast<uint32_t>(std::min(node.ratio, 65535.0f)));
  }
  return node.kind == DisplayNode::Kind::Bitmap ? Bitmap(node.characterId) : nullptr;
}

Matrix RenderCache::ImageScale(const DisplayNode& node, const raster::Image& image) const {
  if (node.kind != DisplayNode::Kind::Video) return {};
  const auto* def = std::get_if<VideoDefinition>(Find(node.characterId));
  return def != nullptr ? VideoPictureScale(*def, image) : Matrix{};
}

bool RenderCache::SmoothImage(const DisplayNode& node) const {
  if (node.kind != DisplayNode::Kind::Video) return true;
  const auto* def = std::get_if<VideoDefinition>(Find(node.characterId));
  return def != nullptr && def->smoothing;
}

const TextLayout* RenderCache::TextOf(const DisplayNode& node) {
  if (node.kind != DisplayNode::Kind::Text) return nullptr;
  if (!node.editText) return texts_.Layout(node.characterId);
  constexpr size_t kMaxViews = 512;
  auto it = views_.find(node.editText.get());
  if (it == views_.end()) {
    if (views_.size() >= kMaxViews) views_.clear();
    TextLayout layout = LayoutEditText(*node.editText, movie_.header.version, texts_);
    it =
        views_.emplace(node.editText.get(), std::make_pair(node.editText, std::move(layout))).first;
  }
  return &it->second.second;
}

}  // namespace orrivel::swf
