#include "swf/render/morph.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace orrivel::swf {

namespace {

double Lerp(double a, double b, float t) { return a + (b - a) * t; }

uint8_t LerpByte(uint8_t a, uint8_t b, float t) {
  return static_cast<uint8_t>(std::clamp(std::lround(Lerp(a, b, t)), 0l, 255l));
}

Rgba LerpColor(Rgba a, Rgba b, float t) {
  return {LerpByte(a.r, b.r, t), LerpByte(a.g, b.g, t), LerpByte(a.b, b.b, t),
          LerpByte(a.a, b.a, t)};
}

Matrix LerpMatrix(const Matrix& a, const Matrix& b, float t) {
  return {Lerp(a.a, b.a, t), Lerp(a.b, b.b, t),   Lerp(a.c, b.c, t),
          Lerp(a.d, b.d, t), Lerp(a.tx, b.tx, t), Lerp(a.ty, b.ty, t)};
}

FillStyle LerpFill(const FillStyle& a, const FillStyle& b, float t) {
  FillStyle f = a;
  f.color = LerpColor(a.color, b.color, t);
  f.gradient.matrix = LerpMatrix(a.gradient.matrix, b.gradient.matrix, t);
  f.gradient.focalPoint = static_cast<float>(Lerp(a.gradient.focalPoint, b.gradient.focalPoint, t));
  const size_t n = std::min(a.gradient.records.size(), b.gradient.records.size());
  for (size_t i = 0; i < n; ++i) {
    const GradientRecord& ra = a.gradient.records[i];
    const GradientRecord& rb = b.gradient.records[i];
    f.gradient.records[i] = {LerpByte(ra.ratio, rb.ratio, t), LerpColor(ra.color, rb.color, t)};
  }
  f.bitmapMatrix = LerpMatrix(a.bitmapMatrix, b.bitmapMatrix, t);
  return f;
}

LineStyle LerpLine(const LineStyle& a, const LineStyle& b, float t) {
  LineStyle l = a;
  l.width = static_cast<uint16_t>(std::clamp(std::lround(Lerp(a.width, b.width, t)), 0l, 65535l));
  l.color = LerpColor(a.color, b.color, t);
  if (a.fill && b.fill) l.fill = LerpFill(*a.fill, *b.fill, t);
  return l;
}

template <typename T, typename F>
std::vector<T> LerpStyles(const std::vector<T>& a, const std::vector<T>& b, float t, F lerp) {
  std::vector<T> out = a;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) out[i] = lerp(a[i], b[i], t);
  return out;
}

// An edge with absolute end points; straight edges carry their midpoint as
// control so that they pair with curves.
struct AbsEdge {
  double x0, y0, cx, cy, x1, y1;
  bool curve;
};

// Walks a record list edge by edge, following moves, in absolute twips.
class EdgeCursor {
 public:
  explicit EdgeCursor(const std::vector<ShapeRecord>& records) : records_(records) {}

  // Applies style-change moves up to the next edge.
  void SkipMoves() {
    while (index_ < records_.size()) {
      const auto* sc = std::get_if<StyleChangeRecord>(&records_[index_]);
      if (sc == nullptr) return;
      if (sc->moveTo) {
        x_ = sc->moveTo->first;
        y_ = sc->moveTo->second;
      }
      ++index_;
    }
  }

  // The next edge, or nothing when the list ran out.
  std::optional<AbsEdge> NextEdge() {
    SkipMoves();
    AbsEdge e{x_, y_, x_, y_, x_, y_, false};
    if (index_ >= records_.size()) return std::nullopt;
    if (const auto* s = std::get_if<StraightEdgeRecord>(&records_[index_])) {
      e.x1 = x_ + s->dx;
      e.y1 = y_ + s->dy;
      e.cx = (e.x0 + e.x1) / 2;
      e.cy = (e.y0 + e.y1) / 2;
    } else if (const auto* c = std::get_if<CurvedEdgeRecord>(&records_[index_])) {
      e.cx = x_ + c->controlDx;
      e.cy = y_ + c->controlDy;
      e.x1 = e.cx + c->anchorDx;
      e.y1 = e.cy + c->anchorDy;
      e.curve = true;
    }
    ++index_;
    x_ = e.x1;
    y_ = e.y1;
    return e;
  }

 private:
  const std::vector<ShapeRecord>& records_;
  size_t index_ = 0;
  double x_ = 0, y_ = 0;
};

int32_t Round(double v) {
  return static_cast<int32_t>(std::clamp(std::llround(v), -(1ll << 30), 1ll << 30));
}

}  // namespace

Shape InterpolateMorph(const MorphShapeDefinition& morph, float ratio) {
  const float t = std::isfinite(ratio) ? std::clamp(ratio, 0.0f, 1.0f) : 0.0f;
  Shape out;
  out.fillStyles = LerpStyles(morph.start.fillStyles, morph.end.fillStyles, t, LerpFill);
  out.lineStyles = LerpStyles(morph.start.lineStyles, morph.end.lineStyles, t, LerpLine);
  out.records.reserve(morph.start.records.size());

  EdgeCursor start(morph.start.records);
  EdgeCursor end(morph.end.records);
  // Positions are interpolated absolutely and rounded, then written as
  // deltas from the previous rounded point, so no rounding error builds up
  // and shared points stay exactly equal for contour matching.
  int32_t penX = 0, penY = 0;
  for (const ShapeRecord& record : morph.start.records) {
    if (const auto* sc = std::get_if<StyleChangeRecord>(&record)) {
      StyleChangeRecord copy = *sc;
      copy.moveTo.reset();  // moves are written before the next edge
      out.records.push_back(std::move(copy));
      continue;
    }
    const std::optional<AbsEdge> startEdge = start.NextEdge();
    if (!startEdge) break;
    const AbsEdge& a = *startEdge;
    // A start edge without a partner keeps its place: it does not morph.
    const AbsEdge b = end.NextEdge().value_or(a);
    const int32_t x0 = Round(Lerp(a.x0, b.x0, t)), y0 = Round(Lerp(a.y0, b.y0, t));
    if (x0 != penX || y0 != penY || out.records.empty()) {
      StyleChangeRecord move;
      move.moveTo = std::make_pair(x0, y0);
      out.records.push_back(move);
    }
    const int32_t x1 = Round(Lerp(a.x1, b.x1, t)), y1 = Round(Lerp(a.y1, b.y1, t));
    if (!a.curve && !b.curve) {
      out.records.push_back(StraightEdgeRecord{x1 - x0, y1 - y0});
    } else {
      const int32_t cx = Round(Lerp(a.cx, b.cx, t)), cy = Round(Lerp(a.cy, b.cy, t));
      out.records.push_back(CurvedEdgeRecord{cx - x0, cy - y0, x1 - cx, y1 - cy});
    }
    penX = x1;
    penY = y1;
  }
  return out;
}

}  // namespace orrivel::swf
