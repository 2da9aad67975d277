#include "swf/player/hit_test.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "swf/player/drawing.h"
#include "swf/player/timeline_instance.h"
#include "swf/render/bitmap_decode.h"
#include "swf/render/morph.h"

namespace orrivel::swf {

namespace {

// Hit areas built from sprites in sprites, or a hostile movie's cycles, stop here.
constexpr int kMaxDepth = 32;
constexpr int kMaxVisits = 20000;
constexpr std::size_t kMaxStaticObjects = 1024;

// Winding of the closed contours around (x, y): each edge crossing the
// horizontal through the point counts +1 upwards and -1 downwards when the
// point lies on its left.
int Winding(const raster::Polylines& lines, float x, float y, bool* onEdge = nullptr) {
  int winding = 0;
  uint32_t start = 0;
  for (const uint32_t end : lines.ends) {
    for (uint32_t i = start; i < end; ++i) {
      const raster::Point& p0 = lines.points[i];
      const raster::Point& p1 = lines.points[i + 1 < end ? i + 1 : start];
      const float side = (p1.x - p0.x) * (y - p0.y) - (x - p0.x) * (p1.y - p0.y);
      if (onEdge && side == 0 && x >= std::min(p0.x, p1.x) && x <= std::max(p0.x, p1.x) &&
          y >= std::min(p0.y, p1.y) && y <= std::max(p0.y, p1.y)) {
        *onEdge = true;
      }
      if (p0.y <= y && y < p1.y && side > 0) ++winding;
      if (p1.y <= y && y < p0.y && side < 0) --winding;
    }
    start = end;
  }
  return winding;
}

bool Inside(const raster::Path& path, raster::FillRule rule, float x, float y,
            raster::Polylines& lines, bool edgeIsOutside = false) {
  // Curves away from the point become chords, which leaves its winding as it is.
  const raster::CullRect near{x - 1, y - 1, x + 1, y + 1};
  if (!raster::Flatten(path, raster::kFlattenTolerance, &near, lines)) return false;
  bool onEdge = false;
  const int w = Winding(lines, x, y, edgeIsOutside ? &onEdge : nullptr);
  if (onEdge) return false;
  return rule == raster::FillRule::EvenOdd ? (w & 1) != 0 : w != 0;
}

double AverageScale(const Matrix& m) { return std::sqrt(std::fabs(m.a * m.d - m.b * m.c)); }

// A hit-area sprite counts with what its first frame places.
DisplayList FirstFrame(const SpriteDefinition& sprite) {
  DisplayList list;
  if (sprite.timeline.frames.empty()) return list;
  for (const ControlTag& tag : sprite.timeline.frames.front().tags) {
    if (const auto* place = std::get_if<PlaceObject>(&tag)) {
      ApplyPlaceObject(list, *place, kMaxStaticObjects);
    } else if (const auto* remove = std::get_if<RemoveObject>(&tag)) {
      ApplyRemoveObject(list, *remove);
    }
  }
  return list;
}

}  // namespace

HitTester::HitTester(const Movie& movie, ImageDecoder& decoder)
    : movie_(&movie), decoder_(decoder) {}

void HitTester::Begin(double x, double y) {
  x_ = x;
  y_ = y;
  budget_ = kMaxVisits;
}

bool HitTester::InButtonArea(const ButtonDefinition& button, const Matrix& m, const Movie* movie) {
  const Movie* outer = movie_;
  if (movie) movie_ = movie;
  bool hit = false;
  for (const ButtonRecord& rec : button.records) {
    hit = rec.stateHitTest && OnCharacter(rec.characterId, m * rec.matrix, 0, 1);
    if (hit) break;
  }
  movie_ = outer;
  return hit;
}

bool HitTester::OnObject(const DisplayObject& obj, const Matrix& parent, const Movie* movie) {
  const Movie* outer = movie_;
  if (movie) movie_ = movie;
  const bool hit = OnPlaced(obj, parent, 0);
  movie_ = outer;
  return hit;
}

bool HitTester::OnPlaced(const DisplayObject& obj, const Matrix& parent, int depth) {
  const Matrix m = parent * obj.matrix;
  if (obj.instance) return OnInstance(*obj.instance, m, depth + 1);
  return OnCharacter(obj.characterId, m, obj.ratio, depth);
}

bool HitTester::OnTimeline(const TimelineInstance& t, const Matrix& m) {
  return OnInstance(t, m, 0);
}

bool HitTester::OnDrawing(const TimelineInstance& t, const Matrix& m) {
  const auto shape = t.drawing ? t.drawing->Snapshot() : nullptr;
  return shape && OnShape(*shape, m);
}

bool HitTester::OnInstance(const TimelineInstance& t, const Matrix& m, int depth) {
  if (t.drawing) {
    if (auto shape = t.drawing->Snapshot(); shape && OnShape(*shape, m)) return true;
  }
  const Movie* outer = movie_;
  movie_ = &t.GetMovie();
  const bool hit = OnList(t.List(), m, depth);
  movie_ = outer;
  return hit;
}

bool HitTester::OnList(const DisplayList& list, const Matrix& m, int depth) {
  for (const auto& [d, obj] : list) {
    // Mask layers shape their neighbours; they cover nothing themselves.
    if (obj.clipDepth == 0 && OnPlaced(obj, m, depth)) return true;
    for (const DisplayObject& sharing : obj.above) {
      if (sharing.clipDepth == 0 && OnPlaced(sharing, m, depth)) return true;
    }
  }
  return false;
}

bool HitTester::OnCharacter(uint16_t id, const Matrix& m, uint16_t ratio, int depth) {
  if (depth > kMaxDepth || --budget_ < 0) return false;
  const auto it = movie_->characters.find(id);
  if (it == movie_->characters.end()) return false;
  const Character& c = it->second;
  if (const auto* shape = std::get_if<ShapeDefinition>(&c)) {
    auto s = shapes_.find({movie_, id});
    if (s == shapes_.end()) {
      s = shapes_.emplace(Key{movie_, id}, ConvertShape(shape->shape, shape->usesFillWindingRule))
              .first;
    }
    return OnShape(s->second, m);
  }
  if (const auto* morph = std::get_if<MorphShapeDefinition>(&c)) {
    return OnShape(*Morph(*morph, ratio), m);
  }
  if (const auto* text = std::get_if<TextDefinition>(&c)) {
    const Rect& r = text->bounds;
    return InBox(r.Width(), r.Height(), r.xMin, r.yMin, m);
  }
  if (const auto* edit = std::get_if<EditTextDefinition>(&c)) {
    const Rect& r = edit->bounds;
    return InBox(r.Width(), r.Height(), r.xMin, r.yMin, m);
  }
  if (const auto* bitmap = std::get_if<BitmapDefinition>(&c)) {
    int w = 0, h = 0;
    const double tw = kTwipsPerPixel;
    return BitmapSize(*bitmap, w, h) && InBox(w * tw, h * tw, 0, 0, m);
  }
  if (const auto* sprite = std::get_if<SpriteDefinition>(&c)) {
    return OnList(FirstFrame(*sprite), m, depth + 1);
  }
  if (const auto* button = std::get_if<ButtonDefinition>(&c)) {
    for (const ButtonRecord& rec : button->records) {
      if (rec.stateHitTest && OnCharacter(rec.characterId, m * rec.matrix, 0, depth + 1))
        return true;
    }
  }
  return false;
}

bool HitTester::OnShape(const ConvertedShape& shape, const Matrix& m) {
  if (shape.bounds.Empty()) return false;
  const double scale = AverageScale(m);
  const double halfLine = std::max(1.0, shape.maxLineWidth * scale) / 2;
  // Cheap reject: the point outside the shape's box (widened by its strokes).
  Matrix inverse;
  if (!m.Invert(inverse)) return false;
  const double u = inverse.ApplyX(x_, y_), v = inverse.ApplyY(x_, y_);
  const double pad = scale > 0 ? (halfLine + 1) / scale : 0;
  if (!(u >= shape.bounds.xMin - pad && u <= shape.bounds.xMax + pad &&
        v >= shape.bounds.yMin - pad && v <= shape.bounds.yMax + pad))
    return false;

  const auto x = static_cast<float>(x_), y = static_cast<float>(y_);
  raster::Path device;
  for (const ShapeLayer& layer : shape.layers) {
    device.Clear();
    device.Append(layer.path, m);
    if (!layer.isLine) {
      if (Inside(device, shape.fillRule, x, y, lines_, scriptRules_)) return true;
      continue;
    }
    raster::Stroke stroke;
    stroke.width = static_cast<float>(std::max(1.0, layer.line.width * scale));
    if (Inside(raster::StrokeToPath(device, stroke), raster::FillRule::NonZero, x, y, lines_))
      return true;
  }
  return false;
}

bool HitTester::InBox(double w, double h, double x0, double y0, const Matrix& m) const {
  Matrix inverse;
  if (w <= 0 || h <= 0 || !m.Invert(inverse)) return false;
  const double u = inverse.ApplyX(x_, y_) - x0, v = inverse.ApplyY(x_, y_) - y0;
  return u >= 0 && u < w && v >= 0 && v < h;
}

const ConvertedShape* HitTester::Morph(const MorphShapeDefinition& def, uint16_t ratio) {
  auto [it, added] = morphs_.try_emplace({movie_, def.id});
  if (added || it->second.ratio != ratio) {
    it->second.ratio = ratio;
    it->second.shape = ConvertShape(InterpolateMorph(def, ratio / 65535.0f), false);
  }
  return &it->second.shape;
}

bool HitTester::BitmapSize(const BitmapDefinition& def, int& w, int& h) {
  auto it = bitmapSizes_.find({movie_, def.id});
  if (it == bitmapSizes_.end()) {
    std::pair<int, int> size{def.width, def.height};
    if (def.kind != BitmapKind::Lossless && def.kind != BitmapKind::Lossless2) {
      // JPEG and friends carry their size inside the image data.
      const auto image = DecodeBitmap(def, movie_->jpegTables, decoder_);
      size = image ? std::pair{image->width, image->height} : std::pair{0, 0};
    }
    it = bitmapSizes_.emplace(Key{movie_, def.id}, size).first;
  }
  w = it->second.first;
  h = it->second.second;
  return w > 0 && h > 0;
}

}  // namespace orrivel::swf
