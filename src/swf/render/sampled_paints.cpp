#include "swf/render/sampled_paints.h"

#include <algorithm>
#include <cmath>

#include "swf/raster/paint.h"
#include "swf/raster/parallel.h"

namespace orrivel::swf {
namespace {

// A render is one frame or one box of a partial redraw: kept pixels unused
// for this many are let go, and a paint seen longer ago is forgotten.
constexpr uint64_t kKeptRenders = 8;
constexpr size_t kMaxSightings = 256;
// Below this many pixels, sampling anew costs about what a copy does.
constexpr int64_t kMinPixels = 4096;

// The same map from the whole picture's pixels to the bitmap's. Only the
// offsets can differ by rounding, when a partial redraw moved the origin.
bool SameMap(const Matrix& x, const Matrix& y) {
  constexpr double kOffsetSlack = 1e-6;  // of a bitmap pixel
  return x.a == y.a && x.b == y.b && x.c == y.c && x.d == y.d &&
         std::fabs(x.tx - y.tx) <= kOffsetSlack && std::fabs(x.ty - y.ty) <= kOffsetSlack;
}

}  // namespace

bool SampledPaints::Key::Matches(const Key& o) const {
  const raster::Paint& p = paint;
  const raster::Paint& q = o.paint;
  if (p.kind != q.kind || box.x0 != o.box.x0 || box.y0 != o.box.y0 || box.x1 != o.box.x1 ||
      box.y1 != o.box.y1) {
    return false;
  }
  if (p.kind == raster::Paint::Kind::Bitmap) {
    return p.bitmap == q.bitmap && p.repeat == q.repeat && p.smooth == q.smooth &&
           p.colorTransform == q.colorTransform && SameMap(p.deviceToBitmap, q.deviceToBitmap);
  }
  return p.spread == q.spread && p.linearRgb == q.linearRgb && p.focalPoint == q.focalPoint &&
         std::equal(p.stops.begin(), p.stops.end(), q.stops.begin(), q.stops.end(),
                    [](const raster::GradientStop& a, const raster::GradientStop& b) {
                      return a.position == b.position && a.color == b.color;
                    }) &&
         SameMap(p.deviceToGradient, q.deviceToGradient);
}

void SampledPaints::Use(raster::Paint& paint, const PixelBox& box, const Viewport& view) {
  const bool bitmap = paint.kind == raster::Paint::Kind::Bitmap;
  if ((bitmap && paint.bitmap == nullptr) || paint.kind == raster::Paint::Kind::Solid ||
      (!bitmap && paint.stops.empty()) || box.Empty()) {
    return;
  }
  // The whole picture's pixels this paint may reach.
  const int wholeWidth = view.width > 0 ? view.width : box.x1;
  const int wholeHeight = view.width > 0 ? view.height : box.y1;
  Key key{paint,
          {std::max(box.x0 + view.x, 0), std::max(box.y0 + view.y, 0),
           std::min(box.x1 + view.x, wholeWidth), std::min(box.y1 + view.y, wholeHeight)}};
  if (key.box.Empty() ||
      int64_t(key.box.x1 - key.box.x0) * (key.box.y1 - key.box.y0) < kMinPixels) {
    return;
  }
  const Matrix fromWhole{1, 0, 0, 1, double(-view.x), double(-view.y)};
  Matrix& map = bitmap ? key.paint.deviceToBitmap : key.paint.deviceToGradient;
  map = map * fromWhole;

  Entry* entry = nullptr;
  for (auto& e : entries_) {
    if (e->key.Matches(key)) {
      entry = e.get();
      break;
    }
  }
  if (entry == nullptr) {
    // Kept from the second sighting on: most pictures that move, move on
    // every frame, and their pixels would never be used again.
    const auto seen = std::find_if(seen_.begin(), seen_.end(), [&](const Sighting& s) {
      return s.render < render_ && s.key.Matches(key);
    });
    if (seen == seen_.end()) {
      if (seen_.size() >= kMaxSightings) seen_.erase(seen_.begin());
      seen_.push_back({key, render_});
      return;
    }
    seen_.erase(seen);
    const size_t bytes = size_t(key.box.x1 - key.box.x0) * size_t(key.box.y1 - key.box.y0) * 4;
    if (!MakeRoom(bytes)) return;
    auto fresh = std::make_unique<Entry>();
    fresh->key = key;
    Sample(paint, key.box, view, fresh->pixels);
    bytes_ += bytes;
    entry = entries_.emplace_back(std::move(fresh)).get();
  }
  entry->lastUse = render_;
  raster::Paint copy;
  copy.kind = raster::Paint::Kind::Bitmap;
  copy.bitmap = &entry->pixels;
  copy.deviceToBitmap = {
      1, 0, 0, 1, double(view.x - entry->key.box.x0), double(view.y - entry->key.box.y0)};
  paint = std::move(copy);
}

// Samples the paint at every pixel of box (whole-picture pixels), as the
// blitter would along the rows of the canvas the paint was made for.
void SampledPaints::Sample(const raster::Paint& paint, const PixelBox& box, const Viewport& view,
                           raster::Image& out) {
  out.width = box.x1 - box.x0;
  out.height = box.y1 - box.y0;
  out.pixels.resize(size_t(out.width) * out.height);
  raster::ForEachBand(0, out.height, int64_t(out.width) * out.height, [&](int from, int to) {
    const auto shader = paint.kind == raster::Paint::Kind::Bitmap
                            ? raster::MakeBitmapShader(paint)
                            : raster::MakeGradientShader(paint);
    if (!shader) {
      std::fill(out.pixels.begin() + ptrdiff_t(from) * out.width,
                out.pixels.begin() + ptrdiff_t(to) * out.width, 0u);
      return;
    }
    for (int row = from; row < to; ++row) {
      shader->Shade(box.x0 - view.x, box.y0 + row - view.y, out.width,
                    out.pixels.data() + size_t(row) * out.width);
    }
  });
}

bool SampledPaints::MakeRoom(size_t bytes) {
  if (bytes > kMaxBytes) return false;
  // Only what earlier renders used can go: this render's paints point here.
  while (bytes_ + bytes > kMaxBytes) {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if ((*it)->lastUse < render_ &&
          (oldest == entries_.end() || (*it)->lastUse < (*oldest)->lastUse))
        oldest = it;
    }
    if (oldest == entries_.end()) return false;
    bytes_ -= (*oldest)->pixels.pixels.size() * 4;
    entries_.erase(oldest);
  }
  return true;
}

void SampledPaints::EndRender() {
  ++render_;
  std::erase_if(entries_, [this](const std::unique_ptr<Entry>& e) {
    if (e->lastUse + kKeptRenders >= render_) return false;
    bytes_ -= e->pixels.pixels.size() * 4;
    return true;
  });
  std::erase_if(seen_, [this](const Sighting& s) { return s.render + kKeptRenders < render_; });
}

void SampledPaints::Clear() {
  entries_.clear();
  seen_.clear();
  bytes_ = 0;
}

}  // namespace orrivel::swf
