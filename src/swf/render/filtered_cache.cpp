#include "swf/render/filtered_cache.h"

#include <algorithm>

namespace orrivel::swf {
namespace {

// A render is one frame or one box of a partial redraw: an entry unused for
// this many is let go.
constexpr uint64_t kKeptRenders = 16;

}  // namespace

bool SameDrawing(const DisplayNode& a, const DisplayNode& b) {
  if (a.kind != b.kind || a.characterId != b.characterId || a.movie != b.movie ||
      a.depth != b.depth || a.clipDepth != b.clipDepth || !(a.matrix == b.matrix) ||
      !(a.colorTransform == b.colorTransform) || a.blendMode != b.blendMode || a.ratio != b.ratio ||
      a.visible != b.visible || !(a.filters == b.filters) || a.cacheAsBitmap != b.cacheAsBitmap ||
      a.opaqueBackground != b.opaqueBackground || a.editText != b.editText ||
      a.drawing != b.drawing || a.picture != b.picture || a.smooth != b.smooth ||
      a.clipRect != b.clipRect || !a.mask != !b.mask || a.children.size() != b.children.size()) {
    return false;
  }
  if (a.mask && !SameDrawing(*a.mask, *b.mask)) return false;
  return std::equal(a.children.begin(), a.children.end(), b.children.begin(), SameDrawing);
}

const uint32_t* FilteredCache::Find(const DisplayNode& node, const Setting& setting) {
  for (Entry& e : entries_) {
    if (e.setting == setting && SameDrawing(e.node, node)) {
      e.lastUse = render_;
      return e.pixels.data();
    }
  }
  return nullptr;
}

void FilteredCache::Store(const DisplayNode& node, const Setting& setting, const uint32_t* pixels) {
  if (setting.width <= 0 || setting.height <= 0) return;
  const size_t count = size_t(setting.width) * size_t(setting.height);
  const size_t bytes = count * sizeof(uint32_t);
  if (bytes > kMaxBytes / 2) return;
  while (bytes_ + bytes > kMaxBytes && !entries_.empty()) {
    const auto oldest =
        std::min_element(entries_.begin(), entries_.end(),
                         [](const Entry& x, const Entry& y) { return x.lastUse < y.lastUse; });
    Erase(static_cast<size_t>(oldest - entries_.begin()));
  }
  entries_.push_back({node, setting, std::vector<uint32_t>(pixels, pixels + count), render_});
  bytes_ += bytes;
}

void FilteredCache::EndRender() {
  ++render_;
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i].lastUse + kKeptRenders < render_) Erase(i);
  }
}

void FilteredCache::Clear() {
  entries_.clear();
  bytes_ = 0;
}

void FilteredCache::Erase(size_t index) {
  bytes_ -= entries_[index].pixels.size() * sizeof(uint32_t);
  entries_[index] = std::move(entries_.back());
  entries_.pop_back();
}

}  // namespace orrivel::swf
