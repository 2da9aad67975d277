#include "swf/player/clip_geometry.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "swf/player/drawing.h"
#include "swf/player/edit_text.h"
#include "swf/player/hit_test.h"

namespace orrivel::swf {

namespace {

// Script hit tests measure shapes only; a bitmap's box comes from its tag.
class NoImages : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t>, uint64_t) override {
    return std::nullopt;
  }
};

TwipsBox FromRect(const Rect& r) {
  TwipsBox b;
  b.Include(r.xMin, r.yMin);
  b.Include(r.xMax, r.yMax);
  return b;
}

// The size a JPEG states in its frame header; 0 x 0 when there is none.
std::pair<int, int> JpegSize(const std::vector<uint8_t>& data) {
  std::size_t i = 0;
  while (i + 9 < data.size()) {
    if (data[i] != 0xFF) {
      ++i;
      continue;
    }
    const uint8_t marker = data[i + 1];
    if (marker == 0xD8 || marker == 0xD9 || marker == 0x01 || marker == 0xFF ||
        (marker >= 0xD0 && marker <= 0xD7)) {
      i += marker == 0xFF ? 1 : 2;
      continue;
    }
    const std::size_t len = (data[i + 2] << 8) | data[i + 3];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      return {(data[i + 7] << 8) | data[i + 8], (data[i + 5] << 8) | data[i + 6]};
    i += 2 + len;
  }
  return {0, 0};
}

TwipsBox CharacterBounds(const Movie& movie, const DisplayObject& obj) {
  // A field's box as scripts left it (a field made by a script has no character).
  if (obj.text) return FromRect(obj.text->Def().bounds);
  const auto it = movie.characters.find(obj.characterId);
  if (it == movie.characters.end()) return {};
  const Character& c = it->second;
  if (const auto* shape = std::get_if<ShapeDefinition>(&c)) return FromRect(shape->bounds);
  if (const auto* text = std::get_if<TextDefinition>(&c)) return FromRect(text->bounds);
  if (const auto* edit = std::get_if<EditTextDefinition>(&c)) return FromRect(edit->bounds);
  if (const auto* video = std::get_if<VideoDefinition>(&c)) {
    TwipsBox b;
    b.Include(0, 0);
    b.Include(video->width * double{kTwipsPerPixel}, video->height * double{kTwipsPerPixel});
    return b;
  }
  if (const auto* morph = std::get_if<MorphShapeDefinition>(&c)) {
    const double r = obj.ratio / 65535.0;
    auto mix = [r](int a, int b) { return std::round(a + (b - a) * r); };
    const Rect& s = morph->startBounds;
    const Rect& e = morph->endBounds;
    TwipsBox b;
    b.Include(mix(s.xMin, e.xMin), mix(s.yMin, e.yMin));
    b.Include(mix(s.xMax, e.xMax), mix(s.yMax, e.yMax));
    return b;
  }
  if (const auto* bitmap = std::get_if<BitmapDefinition>(&c)) {
    auto [w, h] = std::pair<int, int>{bitmap->width, bitmap->height};
    // A JPEG's size is in its data; a loaded picture's is known up front.
    if (bitmap->kind != BitmapKind::Lossless && bitmap->kind != BitmapKind::Lossless2 &&
        (w == 0 || h == 0))
      std::tie(w, h) = JpegSize(bitmap->imageData);
    TwipsBox b;
    if (w > 0 && h > 0) {
      b.Include(0, 0);
      b.Include(w * kTwipsPerPixel, h * kTwipsPerPixel);
    }
    return b;
  }
  return {};
}

}  // namespace

void TwipsBox::Include(double x, double y) {
  if (empty) {
    xMin = xMax = x;
    yMin = yMax = y;
    empty = false;
    return;
  }
  xMin = std::min(xMin, x);
  xMax = std::max(xMax, x);
  yMin = std::min(yMin, y);
  yMax = std::max(yMax, y);
}

void TwipsBox::Include(const TwipsBox& b) {
  if (b.empty) return;
  Include(b.xMin, b.yMin);
  Include(b.xMax, b.yMax);
}

TwipsBox TransformBox(const TwipsBox& box, const Matrix& m) {
  TwipsBox out;
  if (box.empty) return out;
  for (double x : {box.xMin, box.xMax}) {
    for (double y : {box.yMin, box.yMax}) out.Include(m.ApplyX(x, y), m.ApplyY(x, y));
  }
  if (!std::isfinite(out.xMin + out.xMax + out.yMin + out.yMax)) return {};
  // Halves round up, as the player rounds to twips.
  out.xMin = std::floor(out.xMin + 0.5);
  out.yMin = std::floor(out.yMin + 0.5);
  out.xMax = std::floor(out.xMax + 0.5);
  out.yMax = std::floor(out.yMax + 0.5);
  return out;
}

const DisplayObject* PlacementOf(const TimelineInstance& t) {
  const auto parent = t.Parent();
  if (!parent) return nullptr;
  const DisplayList& list = parent->List();
  if (auto it = list.find(t.depthHint); it != list.end() && it->second.instance.get() == &t)
    return &it->second;
  for (const auto& [depth, obj] : list) {
    if (obj.instance.get() == &t) return &obj;
    for (const DisplayObject& sharing : obj.above) {
      if (sharing.instance.get() == &t) return &sharing;
    }
  }
  return nullptr;
}

bool ConcatenatedMatrix(const TimelineInstance& t, Matrix& out) {
  return MatrixUpTo(t, nullptr, out);
}

bool MatrixUpTo(const TimelineInstance& t, const TimelineInstance* ancestor, Matrix& out) {
  Matrix m;
  const TimelineInstance* cur = &t;
  std::shared_ptr<TimelineInstance> hold;
  while (cur != ancestor && !cur->IsRoot()) {
    const DisplayObject* placed = PlacementOf(*cur);
    if (!placed) return false;
    m = placed->matrix * m;
    hold = cur->Parent();
    cur = hold.get();
  }
  if (ancestor && cur != ancestor) return false;
  // Up to the stage, a root that scripts moved counts too.
  if (!ancestor && cur->rootPlacement) m = cur->rootPlacement->matrix * m;
  out = m;
  return true;
}

TwipsBox LocalBounds(const TimelineInstance& t, bool withStrokes) {
  TwipsBox box;
  if (t.drawing && !t.drawing->Empty()) {
    const FloatRect r = t.drawing->Bounds(withStrokes);
    box.Include(std::round(r.xMin), std::round(r.yMin));
    box.Include(std::round(r.xMax), std::round(r.yMax));
  }
  // A movie loaded into the clip measures its own characters.
  const Movie& movie = t.GetMovie();
  for (const auto& [depth, obj] : t.List()) {
    const TwipsBox inner =
        obj.instance ? LocalBounds(*obj.instance, withStrokes) : CharacterBounds(movie, obj);
    box.Include(TransformBox(inner, obj.matrix));
  }
  return box;
}

bool HitsShape(TimelineInstance& t, double x, double y) {
  TimelineContext& ctx = t.Context();
  if (!ctx.scriptHits) {
    static NoImages noImages;
    ctx.scriptHits = std::make_shared<HitTester>(*ctx.movie, noImages);
    ctx.scriptHits->SetScriptRules(true);
  }
  Matrix m;
  if (!ConcatenatedMatrix(t, m)) return false;
  ctx.scriptHits->Begin(x, y);
  return ctx.scriptHits->OnTimeline(t, m);
}

Drawing& DrawingOf(TimelineInstance& t) {
  if (!t.drawing) t.drawing = std::make_shared<Drawing>(&t.Context().drawingCommands);
  return *t.drawing;
}

}  // namespace orrivel::swf
