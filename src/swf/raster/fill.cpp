// FillPath, StrokePath, FillMask and Clear: flatten, build edges, rasterize
// coverage, then paint through a span blitter.
#include <algorithm>
#include <optional>
#include <vector>

#include "swf/raster/coverage.h"
#include "swf/raster/paint.h"
#include "swf/raster/parallel.h"
#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/simd.h"
#include "swf/raster/stroke.h"

namespace orrivel::swf::raster {
namespace {

bool ValidCanvas(const Canvas& c) {
  return c.pixels && c.width > 0 && c.height > 0 && c.stride >= c.width;
}

// Multiplies a row's coverage by the clip mask; pixels outside the mask are
// clipped away entirely.
void ApplyMask(const Mask* mask, int y, int x, int count, uint8_t* cov) {
  if (!mask) return;
  if (mask->RowClear(y)) {
    std::fill_n(cov, count, uint8_t{0});
    return;
  }
  const bool rowInside =
      y >= 0 && y < mask->height && mask->coverage.size() >= size_t(mask->width) * mask->height;
  for (int i = 0; i < count; ++i) {
    const int px = x + i;
    const uint8_t m =
        rowInside && px < mask->width ? mask->coverage[size_t(y) * mask->width + px] : 0;
    cov[i] = static_cast<uint8_t>(Div255(uint32_t(cov[i]) * m));
  }
}

// Constant coverage goes through the per-pixel path when a clip mask or
// additive drawing needs it.
void FillAsRow(CoverageSink& sink, int y, int x, int count, uint8_t cov) {
  thread_local std::vector<uint8_t> row;
  if (row.size() < size_t(count)) row.resize(count);
  std::fill(row.begin(), row.begin() + count, cov);
  sink.Row(y, x, count, row.data());
}

struct EdgeScratch {
  Polylines lines;
  EdgeList edges;
};

EdgeScratch& ThreadEdges() {
  thread_local EdgeScratch s;
  return s;
}

const EdgeList& Prepare(const Path& path, int width, int height) {
  EdgeScratch& s = ThreadEdges();
  const CullRect cull{0, 0, float(width), float(height)};
  if (!Flatten(path, kFlattenTolerance, &cull, s.lines)) s.lines.Clear();
  BuildEdges(s.lines, width, height, s.edges);
  return s.edges;
}

class SolidBlitter final : public CoverageSink {
 public:
  SolidBlitter(Canvas& c, uint32_t color, const DrawOptions& o)
      : c_(c), color_(color), mask_(o.clip), additive_(o.additive) {}
  void Row(int y, int x, int count, uint8_t* cov) override {
    ApplyMask(mask_, y, x, count, cov);
    uint32_t* dst = c_.pixels + size_t(y) * c_.stride + x;
    if (additive_) {
      AddSolidCoverage(dst, count, color_, cov);
    } else {
      BlendSolidCoverage(dst, count, color_, cov);
    }
  }
  void Fill(int y, int x, int count, uint8_t cov) override {
    if (mask_ || additive_) return FillAsRow(*this, y, x, count, cov);
    uint32_t* dst = c_.pixels + size_t(y) * c_.stride + x;
    const uint32_t src = cov == 255 ? color_ : ScalePixel(color_, cov);
    if (AlphaOf(src) == 255) {
      FillSolid(dst, count, src);
    } else {
      BlendSolid(dst, count, src);
    }
  }

 private:
  Canvas& c_;
  uint32_t color_;
  const Mask* mask_;
  bool additive_;
};

class ShaderBlitter final : public CoverageSink {
 public:
  ShaderBlitter(Canvas& c, Shader& shader, const DrawOptions& o)
      : c_(c), shader_(shader), mask_(o.clip), additive_(o.additive) {}
  void Row(int y, int x, int count, uint8_t* cov) override {
    ApplyMask(mask_, y, x, count, cov);
    uint32_t* dst = c_.pixels + size_t(y) * c_.stride + x;
    if (additive_) {
      AddSpanCoverage(dst, count, Shade(x, y, count), cov);
    } else {
      BlendSpanCoverage(dst, count, Shade(x, y, count), cov);
    }
  }
  void Fill(int y, int x, int count, uint8_t cov) override {
    if (mask_ || additive_) return FillAsRow(*this, y, x, count, cov);
    BlendSpan(c_.pixels + size_t(y) * c_.stride + x, count, Shade(x, y, count), cov);
  }

 private:
  const uint32_t* Shade(int x, int y, int count) {
    if (span_.size() < size_t(count)) span_.resize(count);
    shader_.Shade(x, y, count, span_.data());
    return span_.data();
  }

  Canvas& c_;
  Shader& shader_;
  const Mask* mask_;
  bool additive_;
  std::vector<uint32_t> span_;
};

class MaskBlitter final : public CoverageSink {
 public:
  MaskBlitter(Mask& m, const Mask* clip) : m_(m), clip_(clip) {}
  void Row(int y, int x, int count, uint8_t* cov) override {
    ApplyMask(clip_, y, x, count, cov);
    uint8_t* dst = m_.coverage.data() + size_t(y) * m_.width + x;
    for (int i = 0; i < count; ++i) dst[i] = std::max(dst[i], cov[i]);
  }
  void Fill(int y, int x, int count, uint8_t cov) override {
    if (clip_) return FillAsRow(*this, y, x, count, cov);
    uint8_t* dst = m_.coverage.data() + size_t(y) * m_.width + x;
    for (int i = 0; i < count; ++i) dst[i] = std::max(dst[i], cov);
  }

 private:
  Mask& m_;
  const Mask* clip_;
};

std::unique_ptr<Shader> MakeShader(const Paint& paint) {
  if (paint.kind == Paint::Kind::Bitmap) return MakeBitmapShader(paint);
  return MakeGradientShader(paint);
}

// Rows [from, to) of prepared edges, painted. A shader keeps scratch rows,
// so each call has its own.
void DrawRows(Canvas& canvas, const EdgeList& edges, const std::vector<const Edge*>& sorted,
              FillRule rule, const Paint& paint, const DrawOptions& options, int from, int to) {
  if (paint.kind == Paint::Kind::Solid) {
    SolidBlitter blitter(canvas, Premultiply(paint.color), options);
    RasterizeRows(edges, sorted, rule, options.antiAlias, blitter, from, to);
    return;
  }
  std::unique_ptr<Shader> shader = MakeShader(paint);
  if (!shader) return;
  ShaderBlitter blitter(canvas, *shader, options);
  RasterizeRows(edges, sorted, rule, options.antiAlias, blitter, from, to);
}

// Batches shorter than this are drawn one fill at a time: waking the
// threads would cost more than it saves.
constexpr size_t kMinBatch = 8;
// A batch holding more edges than this gives its memory back afterwards.
constexpr size_t kKeptBatchEdges = size_t{1} << 20;

struct PreparedFill {
  Path device, stroked;
  Polylines lines;
  EdgeList edges;
  std::vector<const Edge*> sorted;
};

}  // namespace

struct FillScratch::Store {
  std::vector<PreparedFill> fills;
};

FillScratch::FillScratch() : store_(std::make_unique<Store>()) {}
FillScratch::~FillScratch() = default;

void FillPath(Canvas& canvas, const Path& path, FillRule rule, const Paint& paint,
              const DrawOptions& options) {
  if (!ValidCanvas(canvas) || path.Empty()) return;
  std::unique_ptr<Shader> shader;
  if (paint.kind == Paint::Kind::Bitmap) {
    shader = MakeBitmapShader(paint);
    if (!shader) return;
  } else if (paint.kind != Paint::Kind::Solid) {
    shader = MakeGradientShader(paint);
    if (!shader) return;
  } else if (paint.color.a == 0) {
    return;
  }
  const EdgeList& edges = Prepare(path, canvas.width, canvas.height);
  if (edges.Empty()) return;
  const int64_t area = int64_t{edges.right - edges.left} * (edges.bottom - edges.top);
  if (!WouldSplit(edges.bottom - edges.top, area)) {
    if (shader) {
      ShaderBlitter blitter(canvas, *shader, options);
      Rasterize(edges, rule, options.antiAlias, blitter);
    } else {
      SolidBlitter blitter(canvas, Premultiply(paint.color), options);
      Rasterize(edges, rule, options.antiAlias, blitter);
    }
    return;
  }
  // Each band has its own shader and blitter: they keep scratch rows.
  std::vector<const Edge*> sorted;
  SortEdges(edges, sorted);
  ForEachBand(edges.top, edges.bottom, area, [&](int from, int to) {
    DrawRows(canvas, edges, sorted, rule, paint, options, from, to);
  });
}

void FillPaths(Canvas& canvas, const std::vector<FillItem>& items, const DrawOptions& options,
               FillScratch* scratch) {
  if (!ValidCanvas(canvas)) return;
  const int width = canvas.width, height = canvas.height;
  if (items.size() < kMinBatch || !WouldSplit(height, int64_t{width} * height)) {
    Path device;
    for (const FillItem& item : items) {
      if (!item.path || !item.paint) continue;
      device.Clear();
      device.Append(*item.path, item.matrix);
      if (item.stroke) {
        StrokePath(canvas, device, *item.stroke, *item.paint, options);
      } else {
        FillPath(canvas, device, item.rule, *item.paint, options);
      }
    }
    return;
  }
  // Every fill's edges first, spread over the threads by item.
  std::optional<FillScratch> own;
  if (!scratch) scratch = &own.emplace();
  std::vector<PreparedFill>* prepared = &scratch->Get().fills;
  if (prepared->size() < items.size()) prepared->resize(items.size());
  const int count = static_cast<int>(items.size());
  const CullRect visible{0, 0, float(width), float(height)};
  // Preparing costs about as much per point as drawing a few dozen pixels.
  int64_t points = 0;
  for (const FillItem& item : items) {
    if (item.path) points += static_cast<int64_t>(item.path->Points().size());
  }
  ForEachBand(0, count, points * 64, [&, prepared](int from, int to) {
    for (int i = from; i < to; ++i) {
      PreparedFill& p = (*prepared)[i];
      const FillItem& item = items[i];
      p.edges.edges.clear();
      p.sorted.clear();
      p.lines.Clear();
      if (!item.path || !item.paint) continue;
      const Paint& paint = *item.paint;
      if (paint.kind == Paint::Kind::Solid && paint.color.a == 0) continue;
      p.device.Clear();
      p.device.Append(*item.path, item.matrix);
      if (p.device.Empty()) continue;
      const Path* fill = &p.device;
      if (item.stroke) {
        p.stroked = StrokeToPathVisible(p.device, *item.stroke, &visible);
        fill = &p.stroked;
        if (fill->Empty()) continue;
      }
      if (!Flatten(*fill, kFlattenTolerance, &visible, p.lines)) p.lines.Clear();
      BuildEdges(p.lines, width, height, p.edges);
      if (!p.edges.Empty()) SortEdges(p.edges, p.sorted);
    }
  });
  int top = height, bottom = 0;
  int64_t area = 0;
  size_t edgeCount = 0;
  for (int i = 0; i < count; ++i) {
    const EdgeList& e = (*prepared)[i].edges;
    edgeCount += e.edges.size();
    if (e.Empty()) continue;
    top = std::min(top, e.top);
    bottom = std::max(bottom, e.bottom);
    area += int64_t{e.right - e.left} * (e.bottom - e.top);
  }
  // Then row bands, each drawing its rows of every fill in order, so that
  // fills still cover one another as they would one by one.
  ForEachBand(top, bottom, area, [&, prepared](int from, int to) {
    for (int i = 0; i < count; ++i) {
      const PreparedFill& p = (*prepared)[i];
      if (p.edges.Empty() || p.edges.bottom <= from || p.edges.top >= to) continue;
      const FillRule rule = items[i].stroke ? FillRule::NonZero : items[i].rule;
      DrawRows(canvas, p.edges, p.sorted, rule, *items[i].paint, options, from, to);
    }
  });
  if (edgeCount > kKeptBatchEdges) {
    prepared->clear();
    prepared->shrink_to_fit();
  }
}

void StrokePath(Canvas& canvas, const Path& path, const Stroke& stroke, const Paint& paint,
                const DrawOptions& options) {
  if (!ValidCanvas(canvas) || path.Empty()) return;
  const CullRect visible{0, 0, float(canvas.width), float(canvas.height)};
  FillPath(canvas, StrokeToPathVisible(path, stroke, &visible), FillRule::NonZero, paint, options);
}

void FillMask(Mask& mask, const Path& path, FillRule rule, const DrawOptions& options) {
  if (mask.width <= 0 || mask.height <= 0 ||
      mask.coverage.size() < size_t(mask.width) * mask.height || path.Empty()) {
    return;
  }
  const EdgeList& edges = Prepare(path, mask.width, mask.height);
  if (edges.Empty()) return;
  if (mask.top >= mask.bottom) {
    mask.top = edges.top;
    mask.bottom = edges.bottom;
  } else {
    mask.top = std::min(mask.top, edges.top);
    mask.bottom = std::max(mask.bottom, edges.bottom);
  }
  const int64_t area = int64_t{edges.right - edges.left} * (edges.bottom - edges.top);
  if (!WouldSplit(edges.bottom - edges.top, area)) {
    MaskBlitter blitter(mask, options.clip);
    Rasterize(edges, rule, options.antiAlias, blitter);
    return;
  }
  std::vector<const Edge*> sorted;
  SortEdges(edges, sorted);
  ForEachBand(edges.top, edges.bottom, area, [&](int from, int to) {
    MaskBlitter blitter(mask, options.clip);
    RasterizeRows(edges, sorted, rule, options.antiAlias, blitter, from, to);
  });
}

void Clear(Canvas& canvas, Rgba color) {
  if (!ValidCanvas(canvas)) return;
  const uint32_t p = Premultiply(color);
  for (int y = 0; y < canvas.height; ++y) {
    uint32_t* row = canvas.pixels + size_t(y) * canvas.stride;
    int x = 0;
#if defined(ORRIVEL_SSE2)
    // Four pixels a store: the plain loop's speed hung on where the linker
    // happened to place it.
    const __m128i four = _mm_set1_epi32(static_cast<int>(p));
    for (; x + 4 <= canvas.width; x += 4) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), four);
    }
#endif
    std::fill(row + x, row + canvas.width, p);
  }
}

}  // namespace orrivel::swf::raster
