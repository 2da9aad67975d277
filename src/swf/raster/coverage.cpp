#include "swf/raster/coverage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orrivel::swf::raster {
namespace {

struct Scratch {
  std::vector<float> acc;
  std::vector<uint8_t> cov;
  std::vector<const Edge*> sorted;
  std::vector<const Edge*> active;
  std::vector<std::pair<float, int>> crossings;
  // Column ranges [from, to) an edge touched, packed from << 32 | to so
  // that sorting compares plain integers (both are never negative).
  std::vector<uint64_t> spans;
};

inline int SpanFrom(uint64_t span) { return static_cast<int>(span >> 32); }
inline int SpanTo(uint64_t span) { return static_cast<int>(span & 0xFFFFFFFFu); }

Scratch& ThreadScratch() {
  thread_local Scratch s;
  return s;
}

// floor for non-negative and ceil for any canvas-bounded values; the
// library calls cost more than the rest of an edge step on plain x86-64.
inline int FloorPos(float v) { return static_cast<int>(v); }
inline int CeilPos(float v) {
  const int i = static_cast<int>(v);
  return i + (static_cast<float>(i) < v ? 1 : 0);
}

// Clamps v to [lo, hi] with lo >= 0; NaN becomes lo.
inline float Within(float v, float lo, float hi) {
  lo = lo > 0 ? lo : 0;
  return v >= lo ? (v <= hi ? v : hi) : lo;
}

// Adds the signed area of one edge piece inside a scanline to the row's
// accumulators (a[i] belongs to column i; the running sum is the coverage).
void AccumulateLine(float* a, float xa, float xb, float d) {
  const float x0 = std::min(xa, xb), x1 = std::max(xa, xb);
  const int x0i = FloorPos(x0);
  const float x0floor = static_cast<float>(x0i);
  const int x1i = CeilPos(x1);
  const float x1ceil = static_cast<float>(x1i);
  if (x1i <= x0i + 1) {
    const float xmf = 0.5f * (xa + xb) - x0floor;
    a[x0i] += d - d * xmf;
    a[x0i + 1] += d * xmf;
    return;
  }
  const float s = 1.0f / (x1 - x0);
  const float x0f = x0 - x0floor;
  const float a0 = 0.5f * s * (1 - x0f) * (1 - x0f);
  const float x1f = x1 - x1ceil + 1;
  const float am = 0.5f * s * x1f * x1f;
  a[x0i] += d * a0;
  if (x1i == x0i + 2) {
    a[x0i + 1] += d * (1 - a0 - am);
  } else {
    const float a1 = s * (1.5f - x0f);
    a[x0i + 1] += d * (a1 - a0);
    const float ds = d * s;
    for (int xi = x0i + 2; xi < x1i - 1; ++xi) a[xi] += ds;
    const float a2 = a1 + static_cast<float>(x1i - x0i - 3) * s;
    a[x1i - 1] += d * (1 - a2 - am);
  }
  a[x1i] += d * am;
}

template <FillRule rule>
inline uint8_t ToCoverage(float v) {
  v = std::fabs(v);
  if constexpr (rule == FillRule::EvenOdd) {
    // v - 2 * trunc(v / 2) equals fmod(v, 2) exactly and skips the library
    // call for every winding sum a real shape produces.
    if (v > 1) {
      v = v < 16777216.0f ? v - 2.0f * static_cast<float>(static_cast<int>(v * 0.5f))
                          : std::fmod(v, 2.0f);
      if (v > 1) v = 2 - v;
    }
  } else if (v > 1) {
    v = 1;
  }
  return static_cast<uint8_t>(v * 255.0f + 0.5f);
}

template <FillRule rule>
void AntiAliasedRow(Scratch& s, const EdgeList& el, int y, CoverageSink& sink) {
  const int width = el.right - el.left;
  float* acc = s.acc.data();
  const float left = static_cast<float>(el.left);
  const float top = static_cast<float>(y), bottom = top + 1;
  s.spans.clear();
  for (const Edge* e : s.active) {
    const float ya = std::max(e->y0, top), yb = std::min(e->y1, bottom);
    if (!(yb > ya)) continue;
    // Keep x inside the edge's own span: float rounding must not push it
    // outside the accumulator.
    const float ex0 = std::min(e->x0, e->x1) - left, ex1 = std::max(e->x0, e->x1) - left;
    const float xa = Within(e->x0 - left + (ya - e->y0) * e->dxdy, ex0, ex1);
    const float xb = Within(e->x0 - left + (yb - e->y0) * e->dxdy, ex0, ex1);
    AccumulateLine(acc, xa, xb, (yb - ya) * e->dir);
    const int from = FloorPos(std::max(std::min(xa, xb), 0.0f));
    const int to = std::min(CeilPos(std::max({xa, xb, 0.0f})) + 2, width + 2);
    s.spans.push_back(uint64_t(uint32_t(from)) << 32 | uint32_t(to));
  }
  if (s.spans.empty()) return;
  // Rows mostly hold a handful of spans: insertion sort wins there.
  if (s.spans.size() > 16) std::sort(s.spans.begin(), s.spans.end());
  for (size_t i = 1; i < s.spans.size(); ++i) {
    const auto v = s.spans[i];
    size_t j = i;
    for (; j > 0 && v < s.spans[j - 1]; --j) s.spans[j] = s.spans[j - 1];
    s.spans[j] = v;
  }
  // Between the columns the edges touched, the running sum is constant: those
  // runs go out as fills, the touched columns pixel by pixel.
  uint8_t* cov = s.cov.data();
  float sum = 0;
  int pos = SpanFrom(s.spans.front());
  size_t i = 0;
  while (i < s.spans.size()) {
    const int from = SpanFrom(s.spans[i]);
    int to = SpanTo(s.spans[i]);
    for (++i; i < s.spans.size() && SpanFrom(s.spans[i]) <= to; ++i) {
      to = std::max(to, SpanTo(s.spans[i]));
    }
    if (pos < from) {
      const uint8_t c = ToCoverage<rule>(sum);
      if (c != 0) sink.Fill(y, el.left + pos, from - pos, c);
    }
    const int visibleTo = std::min(to, width);
    for (int x = from; x < visibleTo; ++x) {
      sum += acc[x];
      cov[x] = ToCoverage<rule>(sum);
    }
    std::fill(acc + from, acc + to, 0.0f);
    if (from < visibleTo) sink.Row(y, el.left + from, visibleTo - from, cov + from);
    pos = to;
  }
  if (pos < width) {
    const uint8_t c = ToCoverage<rule>(sum);
    if (c != 0) sink.Fill(y, el.left + pos, width - pos, c);
  }
}

void AliasedRow(Scratch& s, const EdgeList& el, int y, FillRule rule, CoverageSink& sink) {
  const float yc = static_cast<float>(y) + 0.5f;
  s.crossings.clear();
  for (const Edge* e : s.active) {
    if (e->y0 <= yc && yc < e->y1) {
      s.crossings.push_back({e->x0 + (yc - e->y0) * e->dxdy, e->dir});
    }
  }
  if (s.crossings.empty()) return;
  std::sort(s.crossings.begin(), s.crossings.end());
  int winding = 0;
  int done = el.left;  // spans never overlap, even after rounding
  const auto inside = [rule](int w) { return rule == FillRule::EvenOdd ? (w & 1) != 0 : w != 0; };
  for (size_t i = 0; i < s.crossings.size(); ++i) {
    winding += s.crossings[i].second;
    if (!inside(winding)) continue;
    const float to =
        i + 1 < s.crossings.size() ? s.crossings[i + 1].first : static_cast<float>(el.right) + 1;
    // A pixel is inside when its centre x + 0.5 lies in [from, to).
    const int a = std::max(CeilPos(s.crossings[i].first - 0.5f), done);
    const int b = std::min(CeilPos(to - 0.5f), el.right);
    if (a >= b) continue;
    sink.Fill(y, a, b - a, 255);
    done = b;
  }
}

}  // namespace

void SortEdges(const EdgeList& el, std::vector<const Edge*>& sorted) {
  sorted.clear();
  for (const Edge& e : el.edges) sorted.push_back(&e);
  std::sort(sorted.begin(), sorted.end(),
            [](const Edge* a, const Edge* b) { return a->y0 < b->y0; });
}

void RasterizeRows(const EdgeList& el, const std::vector<const Edge*>& sorted, FillRule rule,
                   bool antiAlias, CoverageSink& sink, int from, int to) {
  if (el.Empty()) return;
  Scratch& s = ThreadScratch();
  const size_t width = static_cast<size_t>(el.right - el.left);
  if (s.acc.size() < width + 3) s.acc.assign(width + 3, 0.0f);
  if (s.cov.size() < width + 1) s.cov.assign(width + 1, 0);
  const int first = std::max(from, el.top), last = std::min(to, el.bottom);
  // The edges a run from the top would hold on reaching `first`, in the
  // same order: those that start above its bottom and have not ended.
  s.active.clear();
  size_t next = 0;
  const float firstBottom = static_cast<float>(first + 1);
  for (; next < sorted.size() && sorted[next]->y0 < firstBottom; ++next) {
    if (first == el.top || sorted[next]->y1 > static_cast<float>(first)) {
      s.active.push_back(sorted[next]);
    }
  }
  for (int y = first; y < last; ++y) {
    const float rowBottom = static_cast<float>(y + 1);
    while (next < sorted.size() && sorted[next]->y0 < rowBottom) {
      s.active.push_back(sorted[next++]);
    }
    if (s.active.empty()) {
      if (next >= sorted.size()) break;
      continue;
    }
    if (antiAlias) {
      if (rule == FillRule::EvenOdd) {
        AntiAliasedRow<FillRule::EvenOdd>(s, el, y, sink);
      } else {
        AntiAliasedRow<FillRule::NonZero>(s, el, y, sink);
      }
    } else {
      AliasedRow(s, el, y, rule, sink);
    }
    std::erase_if(s.active, [rowBottom](const Edge* e) { return e->y1 <= rowBottom; });
  }
}

void Rasterize(const EdgeList& el, FillRule rule, bool antiAlias, CoverageSink& sink) {
  if (el.Empty()) return;
  std::vector<const Edge*>& sorted = ThreadScratch().sorted;
  SortEdges(el, sorted);
  RasterizeRows(el, sorted, rule, antiAlias, sink, el.top, el.bottom);
}

}  // namespace orrivel::swf::raster
