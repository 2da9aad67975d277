#include "swf/render/render_cache.h"

#include <algorithm>
#include <cmath>

#include "swf/render/bitmap_decode.h"
#include "swf/render/morph.h"

namespace orrivel::swf {

RenderCache::RenderCache(const Movie& movie, ImageDecoder& decoder)
    : decoder_(decoder), main_(movie) {}

const Character* RenderCache::Store::Find(uint16_t id) const {
  auto it = movie.characters.find(id);
  return it == movie.characters.end() ? nullptr : &it->second;
}

RenderCache::Store& RenderCache::StoreOf(const Movie* movie) {
  if (movie == nullptr || movie == &main_.movie) return main_;
  auto& store = others_[movie];
  if (!store) store = std::make_unique<Store>(*movie);
  return *store;
}

const raster::Image* RenderCache::Bitmap(uint16_t id, const Movie* movie) {
  Store& store = StoreOf(movie);
  auto it = store.bitmaps.find(id);
  if (it == store.bitmaps.end()) {
    std::optional<raster::Image> image;
    if (const auto* def = std::get_if<BitmapDefinition>(store.Find(id))) {
      image = DecodeBitmap(*def, store.movie.jpegTables, decoder_);
    }
    it = store.bitmaps.emplace(id, std::move(image)).first;
  }
  return it->second ? &*it->second : nullptr;
}

const ConvertedShape* RenderCache::ShapeOf(const DisplayNode& node) {
  if (node.drawing) return node.drawing.get();
  if (node.kind == DisplayNode::Kind::Shape) {
    Store& store = StoreOf(node.movie);
    auto it = store.shapes.find(node.characterId);
    if (it != store.shapes.end()) return &it->second;
    const auto* def = std::get_if<ShapeDefinition>(store.Find(node.characterId));
    if (def == nullptr) return nullptr;
    return &store.shapes
                .emplace(node.characterId, ConvertShape(def->shape, def->usesFillWindingRule))
                .first->second;
  }
  if (node.kind == DisplayNode::Kind::MorphShape) {
    Store& store = StoreOf(node.movie);
    const auto* def = std::get_if<MorphShapeDefinition>(store.Find(node.characterId));
    if (def == nullptr) return nullptr;
    const float ratio = std::isfinite(node.ratio) ? std::clamp(node.ratio, 0.0f, 1.0f) : 0.0f;
    MorphEntry& entry = store.morphs[node.characterId];
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
    if (node.picture) return node.picture.get();  // a stream's picture
    Store& store = StoreOf(node.movie);
    const auto* def = std::get_if<VideoDefinition>(store.Find(node.characterId));
    if (def == nullptr || !std::isfinite(node.ratio) || node.ratio < 0) return nullptr;
    return store.videos.Frame(*def, static_cast<uint32_t>(std::min(node.ratio, 65535.0f)));
  }
  if (node.kind != DisplayNode::Kind::Bitmap) return nullptr;
  if (node.picture) return node.picture.get();
  return Bitmap(node.characterId, node.movie);
}

const Character* RenderCache::CharacterOf(const DisplayNode& node) const {
  if (node.movie == nullptr || node.movie == &main_.movie) return main_.Find(node.characterId);
  const auto it = others_.find(node.movie);
  return it == others_.end() ? nullptr : it->second->Find(node.characterId);
}

Matrix RenderCache::ImageScale(const DisplayNode& node, const raster::Image& image) const {
  if (node.kind != DisplayNode::Kind::Video) return {};
  const auto* def = std::get_if<VideoDefinition>(CharacterOf(node));
  return def != nullptr ? VideoPictureScale(*def, image) : Matrix{};
}

bool RenderCache::SmoothImage(const DisplayNode& node) const {
  if (node.kind != DisplayNode::Kind::Video) return !node.picture || node.smooth;
  const auto* def = std::get_if<VideoDefinition>(CharacterOf(node));
  return def != nullptr && def->smoothing;
}

const TextLayout* RenderCache::TextOf(const DisplayNode& node) {
  if (node.kind != DisplayNode::Kind::Text) return nullptr;
  Store& store = StoreOf(node.movie);
  if (!node.editText) return store.texts.Layout(node.characterId);
  constexpr size_t kMaxViews = 512;
  auto it = views_.find(node.editText.get());
  if (it == views_.end()) {
    if (views_.size() >= kMaxViews) views_.clear();
    TextLayout layout = LayoutEditText(*node.editText, store.movie.header.version, store.texts);
    it =
        views_.emplace(node.editText.get(), std::make_pair(node.editText, std::move(layout))).first;
  }
  return &it->second.second;
}

}  // namespace orrivel::swf
