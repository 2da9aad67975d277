#include "swf/render/shape_convert.h"

#include <algorithm>
#include <unordered_map>

namespace orrivel::swf {

void FloatRect::Include(float x, float y) {
  if (Empty()) {
    xMin = xMax = x;
    yMin = yMax = y;
    return;
  }
  xMin = std::min(xMin, x);
  xMax = std::max(xMax, x);
  yMin = std::min(yMin, y);
  yMax = std::max(yMax, y);
}

void FloatRect::Include(const FloatRect& r) {
  if (r.Empty()) return;
  Include(r.xMin, r.yMin);
  Include(r.xMax, r.yMax);
}

namespace {

struct Edge {
  int32_t x0, y0, cx, cy, x1, y1;
  bool curve;
  Edge Reversed() const { return {x1, y1, cx, cy, x0, y0, curve}; }
};

uint64_t Key(int32_t x, int32_t y) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
}

// One style-array generation: a StyleChangeRecord with new styles starts the
// next one, and Flash draws each generation's fills and lines before the next.
struct Group {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
  std::vector<std::vector<Edge>> fillEdges;
  std::vector<std::vector<Edge>> lineEdges;
};

void AddEdge(raster::Path& path, const Edge& e) {
  if (e.curve) {
    path.QuadTo(static_cast<float>(e.cx), static_cast<float>(e.cy), static_cast<float>(e.x1),
                static_cast<float>(e.y1));
  } else {
    path.LineTo(static_cast<float>(e.x1), static_cast<float>(e.y1));
  }
}

// Links directed edges end-to-start into closed contours. Exact integer
// points make the matching reliable; a chain that never returns to its
// start (damaged data) is closed with a straight line.
raster::Path LinkContours(const std::vector<Edge>& edges) {
  std::unordered_map<uint64_t, std::vector<uint32_t>> byStart;
  byStart.reserve(edges.size());
  for (uint32_t i = static_cast<uint32_t>(edges.size()); i-- > 0;) {
    byStart[Key(edges[i].x0, edges[i].y0)].push_back(i);
  }
  std::vector<bool> used(edges.size(), false);
  auto takeNext = [&](int32_t x, int32_t y) -> int64_t {
    auto it = byStart.find(Key(x, y));
    if (it == byStart.end()) return -1;
    auto& list = it->second;
    while (!list.empty() && used[list.back()]) list.pop_back();
    if (list.empty()) return -1;
    const uint32_t i = list.back();
    list.pop_back();
    return i;
  };

  raster::Path path;
  for (uint32_t first = 0; first < edges.size(); ++first) {
    if (used[first]) continue;
    const int32_t sx = edges[first].x0, sy = edges[first].y0;
    path.MoveTo(static_cast<float>(sx), static_cast<float>(sy));
    int64_t cur = first;
    while (cur >= 0) {
      used[cur] = true;
      const Edge& e = edges[cur];
      AddEdge(path, e);
      if (e.x1 == sx && e.y1 == sy) break;
      cur = takeNext(e.x1, e.y1);
    }
    path.Close();
  }
  return path;
}

// Consecutive edges that meet form one polyline; a polyline that returns to
// its start is closed (joined all round) unless the style says noClose.
raster::Path LinePath(const std::vector<Edge>& edges, bool noClose) {
  raster::Path path;
  size_t runStart = 0;
  auto finishRun = [&](size_t end) {
    if (end == runStart) return;
    const Edge& a = edges[runStart];
    const Edge& b = edges[end - 1];
    if (!noClose && a.x0 == b.x1 && a.y0 == b.y1) path.Close();
  };
  for (size_t i = 0; i < edges.size(); ++i) {
    const Edge& e = edges[i];
    if (i == 0 || edges[i - 1].x1 != e.x0 || edges[i - 1].y1 != e.y0) {
      finishRun(i);
      runStart = i;
      path.MoveTo(static_cast<float>(e.x0), static_cast<float>(e.y0));
    }
    AddEdge(path, e);
  }
  finishRun(edges.size());
  return path;
}

void StartGroup(std::vector<Group>& groups, std::vector<FillStyle> fills,
                std::vector<LineStyle> lines) {
  Group g;
  g.fillEdges.resize(fills.size());
  g.lineEdges.resize(lines.size());
  g.fills = std::move(fills);
  g.lines = std::move(lines);
  groups.push_back(std::move(g));
}

}  // namespace

ConvertedShape ConvertShape(const Shape& shape, bool nonZeroWinding) {
  ConvertedShape out;
  out.fillRule = nonZeroWinding ? raster::FillRule::NonZero : raster::FillRule::EvenOdd;

  std::vector<Group> groups;
  StartGroup(groups, shape.fillStyles, shape.lineStyles);
  int32_t penX = 0, penY = 0;
  uint32_t fill0 = 0, fill1 = 0, line = 0;  // 1-based, 0 = none

  for (const ShapeRecord& record : shape.records) {
    if (const auto* sc = std::get_if<StyleChangeRecord>(&record)) {
      if (sc->newFillStyles || sc->newLineStyles) {
        const Group& prev = groups.back();
        StartGroup(groups, sc->newFillStyles ? *sc->newFillStyles : prev.fills,
                   sc->newLineStyles ? *sc->newLineStyles : prev.lines);
        fill0 = fill1 = line = 0;
      }
      if (sc->moveTo) {
        penX = sc->moveTo->first;
        penY = sc->moveTo->second;
      }
      const Group& g = groups.back();
      if (sc->fillStyle0) fill0 = *sc->fillStyle0 <= g.fills.size() ? *sc->fillStyle0 : 0;
      if (sc->fillStyle1) fill1 = *sc->fillStyle1 <= g.fills.size() ? *sc->fillStyle1 : 0;
      if (sc->lineStyle) line = *sc->lineStyle <= g.lines.size() ? *sc->lineStyle : 0;
      continue;
    }
    Edge e{};
    e.x0 = penX;
    e.y0 = penY;
    if (const auto* s = std::get_if<StraightEdgeRecord>(&record)) {
      e.x1 = penX + s->dx;
      e.y1 = penY + s->dy;
      e.curve = false;
    } else {
      const auto& c = std::get<CurvedEdgeRecord>(record);
      e.cx = penX + c.controlDx;
      e.cy = penY + c.controlDy;
      e.x1 = e.cx + c.anchorDx;
      e.y1 = e.cy + c.anchorDy;
      e.curve = true;
      out.bounds.Include(static_cast<float>(e.cx), static_cast<float>(e.cy));
    }
    out.bounds.Include(static_cast<float>(e.x0), static_cast<float>(e.y0));
    out.bounds.Include(static_cast<float>(e.x1), static_cast<float>(e.y1));
    penX = e.x1;
    penY = e.y1;

    Group& g = groups.back();
    const bool degenerate = !e.curve && e.x0 == e.x1 && e.y0 == e.y1;
    if (!degenerate) {
      // The path's fill lies on the right of each directed edge: fillStyle1
      // as drawn, fillStyle0 reversed.
      if (fill0 != 0) g.fillEdges[fill0 - 1].push_back(e.Reversed());
      if (fill1 != 0) g.fillEdges[fill1 - 1].push_back(e);
    }
    if (line != 0) g.lineEdges[line - 1].push_back(e);
  }

  for (Group& g : groups) {
    for (size_t i = 0; i < g.fills.size(); ++i) {
      if (g.fillEdges[i].empty()) continue;
      ShapeLayer layer;
      layer.path = LinkContours(g.fillEdges[i]);
      layer.fill = g.fills[i];
      out.layers.push_back(std::move(layer));
    }
    for (size_t i = 0; i < g.lines.size(); ++i) {
      if (g.lineEdges[i].empty()) continue;
      ShapeLayer layer;
      layer.isLine = true;
      layer.line = g.lines[i];
      layer.path = LinePath(g.lineEdges[i], layer.line.noClose);
      out.maxLineWidth = std::max(out.maxLineWidth, static_cast<float>(layer.line.width));
      out.layers.push_back(std::move(layer));
    }
  }
  return out;
}

}  // namespace orrivel::swf
