#include "swf/render/renderer.h"

#include <algorithm>
#include <deque>
#include <cmath>

#include "swf/raster/parallel.h"
#include "swf/render/filter_effects.h"
#include "swf/render/filtered_cache.h"
#include "swf/render/occlusion.h"
#include "swf/render/layer_stack.h"
#include "swf/render/paint.h"
#include "swf/render/render_cache.h"
#include "swf/render/shape_convert.h"
#include "swf/render/text_render.h"
#include "swf/render/sampled_paints.h"

namespace orrivel::swf {

namespace {

double AverageScale(const Matrix& m) { return std::sqrt(std::fabs(m.a * m.d - m.b * m.c)); }

FloatRect TransformRect(const FloatRect& r, const Matrix& m) {
  FloatRect out;
  if (r.Empty()) return out;
  const double xs[2] = {r.xMin, r.xMax}, ys[2] = {r.yMin, r.yMax};
  for (double x : xs) {
    for (double y : ys) {
      out.Include(static_cast<float>(m.ApplyX(x, y)), static_cast<float>(m.ApplyY(x, y)));
    }
  }
  return out;
}

raster::Stroke::Cap ToCap(CapStyle c) {
  switch (c) {
    case CapStyle::None:
      return raster::Stroke::Cap::None;
    case CapStyle::Square:
      return raster::Stroke::Cap::Square;
    default:
      return raster::Stroke::Cap::Round;
  }
}

raster::Stroke::Join ToJoin(JoinStyle j) {
  switch (j) {
    case JoinStyle::Bevel:
      return raster::Stroke::Join::Bevel;
    case JoinStyle::Miter:
      return raster::Stroke::Join::Miter;
    default:
      return raster::Stroke::Join::Round;
  }
}

}  // namespace

// Filtered nodes nested deeper than this are drawn without their filters.
constexpr int kMaxFilterNesting = 4;
// Each blend layer is as large as the target; deeper ones draw as normal.
constexpr int kMaxBlendNesting = 8;
// A filtered node is drawn this far past the target's edges at most, so
// that blurs near an edge see what lies beyond it (a partial redraw's box
// included) without the buffer growing with the blur.
constexpr int kMaxFilterMargin = 256;

// The drawing: walks the tree, culls what lies off the canvas, and draws
// shapes, bitmaps and text through the cache and the clip and layer stack.
struct Renderer::Impl {
  RenderCache cache;
  LayerPool layers;
  FilterScratch filterScratch;
  OffscreenPool offscreens;
  FilteredCache filtered;
  SampledPaints sampled;
  raster::FillScratch fillScratch;              // one batch of fills at a time
  OpaquePaints opaquePaints;                    // decoded bitmaps live as long as the cache
  int threads = 0;                              // 0: the machine's
  std::unique_ptr<raster::WorkerPool> workers;  // made on first use

  // Per Render call.
  bool antiAlias = true;
  double stageScale = 1;
  Matrix stageMatrix;  // stage twips to the pixels of the canvas being drawn
  int width = 0, height = 0;
  Viewport view;  // where the canvas lies in the whole picture

  Impl(const Movie& m, ImageDecoder& d) : cache(m, d) {}

  double LineWidth(const LineStyle& line, const Matrix& m) const {
    // Non-scaling strokes keep the stage's zoom; a stroke that ignores one
    // axis still follows the other.
    double scale = AverageScale(m);
    if (line.noHScale && line.noVScale) {
      scale = stageScale;
    } else if (line.noHScale) {
      scale = std::hypot(m.c, m.d);
    } else if (line.noVScale) {
      scale = std::hypot(m.a, m.b);
    }
    return std::max(1.0, line.width * scale);
  }

  FloatRect ShapeBounds(const ConvertedShape& shape, const Matrix& m) const {
    FloatRect r = TransformRect(shape.bounds, m);
    if (r.Empty()) return r;
    const float pad = static_cast<float>(
        std::max(1.0, shape.maxLineWidth * std::max(AverageScale(m), stageScale) * 0.5) + 1);
    r.xMin -= pad;
    r.yMin -= pad;
    r.xMax += pad;
    r.yMax += pad;
    return r;
  }

  static raster::Path BitmapRect(const raster::Image& image, const Matrix& m) {
    raster::Path rect;
    const float w = image.width * float{kTwipsPerPixel};
    const float h = image.height * float{kTwipsPerPixel};
    rect.MoveTo(0, 0);
    rect.LineTo(w, 0);
    rect.LineTo(w, h);
    rect.LineTo(0, h);
    rect.Close();
    raster::Path out;
    out.Append(rect, m);
    return out;
  }

  static raster::Path WindowPath(const std::array<double, 4>& r, const Matrix& m) {
    raster::Path rect;
    rect.MoveTo(float(r[0]), float(r[1]));
    rect.LineTo(float(r[2]), float(r[1]));
    rect.LineTo(float(r[2]), float(r[3]));
    rect.LineTo(float(r[0]), float(r[3]));
    rect.Close();
    raster::Path out;
    out.Append(rect, m);
    return out;
  }

  // What the node draws, its filters' reach included.
  FloatRect NodeBounds(const DisplayNode& node, const Matrix& parent) {
    FloatRect r = ContentBounds(node, parent);
    if (node.filters.empty() || r.Empty()) return r;
    const FilterReach reach = ReachOf(node.filters, FilterScale());
    r.xMin -= static_cast<float>(reach.x);
    r.xMax += static_cast<float>(reach.x);
    r.yMin -= static_cast<float>(reach.y);
    r.yMax += static_cast<float>(reach.y);
    return r;
  }

  // Without `padded`, the bounds as the file states them (strokes included),
  // without the margin that anti-aliasing needs.
  FloatRect ContentBounds(const DisplayNode& node, const Matrix& parent, bool padded = true) {
    FloatRect r = UnclippedBounds(node, parent, padded);
    if (!node.clipRect || r.Empty()) return r;
    // Only what lies inside a scroll window shows.
    FloatRect window;
    const auto& c = *node.clipRect;
    window.Include(float(c[0]), float(c[1]));
    window.Include(float(c[2]), float(c[3]));
    window = TransformRect(window, parent * node.matrix);
    r.xMin = std::max(r.xMin, window.xMin - 1);
    r.yMin = std::max(r.yMin, window.yMin - 1);
    r.xMax = std::min(r.xMax, window.xMax + 1);
    r.yMax = std::min(r.yMax, window.yMax + 1);
    return r;
  }

  FloatRect UnclippedBounds(const DisplayNode& node, const Matrix& parent, bool padded) {
    const Matrix m = parent * node.matrix;
    if (const ConvertedShape* shape = cache.ShapeOf(node)) {
      return padded ? ShapeBounds(*shape, m) : TransformRect(shape->bounds, m);
    }
    if (const raster::Image* image = cache.BitmapOf(node)) {
      FloatRect r;
      r.Include(0, 0);
      r.Include(image->width * float{kTwipsPerPixel}, image->height * float{kTwipsPerPixel});
      return TransformRect(r, m * cache.ImageScale(node, *image));
    }
    if (const TextLayout* text = cache.TextOf(node)) return TransformRect(text->bounds, m);
    FloatRect r;
    if (node.kind == DisplayNode::Kind::Group) {
      for (const DisplayNode& child : node.children) {
        if (child.clipDepth == 0 && !child.visible) continue;
        r.Include(padded ? NodeBounds(child, m) : ContentBounds(child, m, false));
      }
    }
    return r;
  }

  // Filter sizes are stage pixels; the stage maps twips to device pixels.
  double FilterScale() const { return stageScale * kTwipsPerPixel; }

  bool Culled(const FloatRect& r) const { return ClipToCanvas(r, width, height).Empty(); }

  // Fills waiting to go to the rasterizer as one batch: the layers of one
  // shape, or of a run of plain shapes drawn one after another under the
  // same clip. A batch of many fills is spread over the threads.
  struct FillRun {
    std::deque<raster::Paint> paints;  // the items point into these
    std::deque<raster::Stroke> strokes;
    std::vector<raster::FillItem> items;
  };

  void AppendShape(const ConvertedShape& shape, const Matrix& m, const ColorTransform& cx,
                   const Movie* movie, FillRun& run) {
    if (Culled(ShapeBounds(shape, m))) return;
    PaintContext ctx{m, cx, antiAlias,
                     [this, movie](uint16_t id) { return cache.Bitmap(id, movie); }};
    for (const ShapeLayer& layer : shape.layers) {
      std::optional<raster::Paint> paint;
      if (layer.picture) {
        // A script's bitmap fill shows its pixels as they were taken.
        PaintContext own = ctx;
        own.bitmaps = [&layer](uint16_t) { return layer.picture.get(); };
        paint = MakePaint(layer.fill, own);
      } else if (!layer.isLine) {
        paint = MakePaint(layer.fill, ctx);
        if (paint) KeepSampled(*paint, ShapeBounds(shape, m));
      } else {
        paint =
            layer.line.fill ? MakePaint(*layer.line.fill, ctx) : SolidPaint(layer.line.color, cx);
      }
      if (!paint) continue;
      raster::FillItem item{&layer.path, m, shape.fillRule,
                            &run.paints.emplace_back(std::move(*paint)), nullptr};
      if (layer.isLine && !layer.picture)
        item.stroke = &run.strokes.emplace_back(MakeStroke(layer.line, m));
      run.items.push_back(item);
    }
  }

  // A gradient, or a picture of the movie's own, drawn straight onto the
  // frame is sampled once while it stays put (not inside a filtered buffer,
  // which is kept whole).
  void KeepSampled(raster::Paint& paint, const FloatRect& bounds) {
    if (paint.kind == raster::Paint::Kind::Solid || offscreens.Depth() > 0) return;
    const int wholeWidth = view.width > 0 ? view.width : width;
    const int wholeHeight = view.width > 0 ? view.height : height;
    sampled.Use(paint, ClipToCanvas(bounds, wholeWidth, wholeHeight, -view.x, -view.y), view);
  }

  void Flush(FillRun& run, raster::Canvas& canvas, const raster::Mask* clip) {
    if (run.items.empty()) return;
    raster::FillPaths(canvas, run.items, {antiAlias, clip}, &fillScratch);
    run.items.clear();
    run.paints.clear();
    run.strokes.clear();
  }

  void DrawShape(const ConvertedShape& shape, const Matrix& m, const ColorTransform& cx,
                 raster::Canvas& canvas, const raster::Mask* clip, const Movie* movie) {
    FillRun run;
    AppendShape(shape, m, cx, movie, run);
    Flush(run, canvas, clip);
  }

  // Whether the node paints every pixel of the canvas opaque: a rectangle
  // of opaque colour, gradient or picture reaching past every edge, alone
  // or inside plain groups (`levels` deep at most). What lies under such a
  // node is never seen.
  bool Covers(const DisplayNode& n, const Matrix& parent, const ColorTransform& parentCx,
              int levels) {
    if (!n.visible || n.clipDepth != 0 || !Plain(n)) return false;
    const Matrix m = parent * n.matrix;
    const ColorTransform cx = parentCx * n.colorTransform;
    if (n.kind == DisplayNode::Kind::Group) {
      return levels > 0 &&
             std::any_of(n.children.begin(), n.children.end(),
                         [&](const DisplayNode& c) { return Covers(c, m, cx, levels - 1); });
    }
    const ConvertedShape* shape = cache.ShapeOf(n);
    if (!shape) return false;
    for (const ShapeLayer& layer : shape->layers) {
      if (layer.isLine || layer.picture || !FillsCanvas(layer.path, m, width, height)) continue;
      const PaintContext ctx{m, cx, antiAlias,
                             [this, &n](uint16_t id) { return cache.Bitmap(id, n.movie); }};
      if (const auto paint = MakePaint(layer.fill, ctx); paint && opaquePaints.Opaque(*paint)) {
        return true;
      }
    }
    return false;
  }

  // Where the children start to show: past the last one that covers the
  // canvas, unless a mask layer below it reaches over it.
  size_t FirstSeen(const std::vector<DisplayNode>& children, const Matrix& m,
                   const ColorTransform& cx) {
    for (size_t i = children.size(); i-- > 1;) {
      if (!Covers(children[i], m, cx, 2)) continue;
      for (size_t j = 0; j < i; ++j) {
        if (children[j].clipDepth != 0 && children[j].clipDepth >= children[i].depth) return 0;
      }
      return i;
    }
    return 0;
  }

  // A node that draws only shapes, with nothing that needs a layer, a mask or
  // a snap to whole pixels: such nodes in a row can share one batch. Morphs
  // stay out, as the cache keeps one ratio of each.
  bool Plain(const DisplayNode& n) const {
    if (!n.filters.empty() || n.blendMode != BlendMode::Normal || n.cacheAsBitmap ||
        n.opaqueBackground || n.mask || n.clipRect || n.clipDepth != 0) {
      return false;
    }
    if (n.kind == DisplayNode::Kind::Shape) return true;
    if (n.kind != DisplayNode::Kind::Group) return false;
    return std::all_of(n.children.begin(), n.children.end(), [this](const DisplayNode& c) {
      return (!c.visible && c.clipDepth == 0) || Plain(c);
    });
  }

  void AppendPlain(const DisplayNode& node, const Matrix& parent, const ColorTransform& parentCx,
                   FillRun& run) {
    const Matrix m = parent * node.matrix;
    const ColorTransform cx = parentCx * node.colorTransform;
    if (node.kind == DisplayNode::Kind::Group) {
      for (const DisplayNode& child : node.children) {
        if (child.visible) AppendPlain(child, m, cx, run);
      }
    } else if (const ConvertedShape* shape = cache.ShapeOf(node)) {
      AppendShape(*shape, m, cx, node.movie, run);
    }
  }

  raster::Stroke MakeStroke(const LineStyle& line, const Matrix& m) const {
    raster::Stroke stroke;
    stroke.width = static_cast<float>(LineWidth(line, m));
    stroke.startCap = ToCap(line.startCap);
    stroke.endCap = ToCap(line.endCap);
    stroke.join = ToJoin(line.join);
    stroke.miterLimit = std::max(1.0f, line.miterLimit);
    return stroke;
  }

  void DrawBitmap(const raster::Image& image, const Matrix& m, const ColorTransform& cx,
                  raster::Canvas& canvas, const raster::Mask* clip, bool smooth = true,
                  const FloatRect* still = nullptr) {
    const raster::Path rect = BitmapRect(image, m);
    raster::Paint paint;
    paint.kind = raster::Paint::Kind::Bitmap;
    paint.bitmap = &image;
    const Matrix pixelsToTwips{kTwipsPerPixel, 0, 0, kTwipsPerPixel, 0, 0};
    if (!(m * pixelsToTwips).Invert(paint.deviceToBitmap)) return;
    paint.smooth = antiAlias && smooth;
    paint.colorTransform = cx;
    if (still) KeepSampled(paint, *still);
    raster::FillPath(canvas, rect, raster::FillRule::NonZero, paint, {antiAlias, clip});
  }

  // Coverage of a node as a mask: its fills and strokes, any paint.
  void AddCoverage(const DisplayNode& node, const Matrix& parent, raster::Mask& mask) {
    const Matrix m = parent * node.matrix;
    const raster::DrawOptions options{antiAlias, nullptr};
    if (const ConvertedShape* shape = cache.ShapeOf(node)) {
      if (Culled(ShapeBounds(*shape, m))) return;
      raster::Path device;
      for (const ShapeLayer& layer : shape->layers) {
        device.Clear();
        device.Append(layer.path, m);
        if (layer.isLine) {
          raster::FillMask(mask, raster::StrokeToPath(device, MakeStroke(layer.line, m)),
                           raster::FillRule::NonZero, options);
        } else {
          raster::FillMask(mask, device, shape->fillRule, options);
        }
      }
    } else if (const raster::Image* image = cache.BitmapOf(node)) {
      raster::FillMask(mask, BitmapRect(*image, m * cache.ImageScale(node, *image)),
                       raster::FillRule::NonZero, options);
    } else if (const TextLayout* text = cache.TextOf(node)) {
      if (!Culled(TransformRect(text->bounds, m))) AddTextCoverage(*text, m, mask, options);
    } else if (node.kind == DisplayNode::Kind::Group) {
      for (const DisplayNode& child : node.children) {
        if (child.clipDepth == 0) AddCoverage(child, m, mask);
      }
    }
  }

  void DrawChildren(const std::vector<DisplayNode>& children, const Matrix& m,
                    const ColorTransform& cx, raster::Canvas& canvas,
                    const raster::Mask* parentClip) {
    ClipStack clips(parentClip);
    FillRun run;
    const size_t first = parentClip ? 0 : FirstSeen(children, m, cx);
    for (size_t i = first; i < children.size(); ++i) {
      const DisplayNode& child = children[i];
      // What waits in the run goes out before its clip changes.
      if (clips.WouldExpire(child.depth)) Flush(run, canvas, clips.Current());
      clips.Expire(child.depth);
      if (child.clipDepth != 0) {
        Flush(run, canvas, clips.Current());
        raster::Mask mask = EmptyMask(width, height);
        AddCoverage(child, m, mask);
        clips.Push(child.clipDepth, std::move(mask));
        continue;
      }
      if (!child.visible) continue;
      if (Plain(child)) {
        AppendPlain(child, m, cx, run);
        continue;
      }
      Flush(run, canvas, clips.Current());
      DrawNode(child, m, cx, canvas, clips.Current());
    }
    Flush(run, canvas, clips.Current());
  }

  void DrawNode(const DisplayNode& node, const Matrix& parentIn, const ColorTransform& parentCx,
                raster::Canvas& canvas, const raster::Mask* clip, bool asLayer = true) {
    const Matrix parent = asLayer ? SnapForBitmap(node, parentIn) : parentIn;
    // A node cached as a bitmap is drawn as a filtered one with no filters:
    // kept whole while nothing in it changes.
    if (asLayer && (!node.filters.empty() || node.cacheAsBitmap) &&
        offscreens.Depth() < kMaxFilterNesting) {
      DrawFiltered(node, parent, parentCx, canvas, clip);
      return;
    }
    if (asLayer && node.blendMode != BlendMode::Normal && layers.Depth() < kMaxBlendNesting) {
      DrawLayered(node, parent, parentCx, canvas, clip);
      return;
    }
    const Matrix m = parent * node.matrix;
    const ColorTransform cx = parentCx * node.colorTransform;
    // A node masked by setMask (a clip or a text field) shows through the
    // mask's coverage.
    std::optional<ClipStack> masked;
    if (node.mask) {
      raster::Mask mask = EmptyMask(width, height);
      AddCoverage(*node.mask, stageMatrix, mask);
      masked.emplace(clip);
      masked->Push(0xFFFF, std::move(mask));
      clip = masked->Current();
    }
    // A scroll window cuts what the node draws, its background included.
    if (node.clipRect) {
      raster::Mask mask = EmptyMask(width, height);
      raster::FillMask(mask, WindowPath(*node.clipRect, m), raster::FillRule::NonZero,
                       {antiAlias, nullptr});
      if (!masked) masked.emplace(clip);
      masked->Push(0xFFFF, std::move(mask));
      clip = masked->Current();
    }
    if (node.opaqueBackground) DrawBackground(node, parent, *node.opaqueBackground, canvas, clip);
    if (const ConvertedShape* shape = cache.ShapeOf(node)) {
      DrawShape(*shape, m, cx, canvas, clip, node.movie);
    } else if (const raster::Image* image = cache.BitmapOf(node)) {
      const FloatRect bounds = NodeBounds(node, parent);
      if (!Culled(bounds)) {
        // A movie's own picture never changes; a script's or a video's may.
        const bool still = node.kind == DisplayNode::Kind::Bitmap && !node.picture;
        DrawBitmap(*image, m * cache.ImageScale(node, *image), cx, canvas, clip,
                   cache.SmoothImage(node), still ? &bounds : nullptr);
      }
    } else if (const TextLayout* text = cache.TextOf(node)) {
      if (!Culled(TransformRect(text->bounds, m))) {
        DrawTextLayout(*text, m, cx, canvas, {antiAlias, clip}, &fillScratch);
      }
    } else if (node.kind == DisplayNode::Kind::Group) {
      DrawChildren(node.children, m, cx, canvas, clip);
    }
  }

  // A node drawn as a bitmap (cached, filtered or with an opaque
  // background) sits on whole device pixels, its origin moved to the pixel
  // it falls in. The small nudge settles edges that fall exactly between
  // two pixel centres toward the lower right, as such bitmaps show.
  static Matrix SnapForBitmap(const DisplayNode& node, const Matrix& parent) {
    if (!node.cacheAsBitmap && node.filters.empty() && !node.opaqueBackground) return parent;
    const Matrix m = parent * node.matrix;
    if (!std::isfinite(m.tx) || !std::isfinite(m.ty)) return parent;
    constexpr double kNudge = 1.0 / 32;
    Matrix snapped = parent;
    snapped.tx += std::floor(m.tx) - m.tx + kNudge;
    snapped.ty += std::floor(m.ty) - m.ty + kNudge;
    return snapped;
  }

  // The opaque background fills the node's box, in the node's own space, with
  // its colour at full alpha.
  void DrawBackground(const DisplayNode& node, const Matrix& parent, Rgba color,
                      raster::Canvas& canvas, const raster::Mask* clip) {
    Matrix toLocal;
    if (!node.matrix.Invert(toLocal)) return;
    const FloatRect local = ContentBounds(node, toLocal, false);
    if (local.Empty()) return;
    raster::Path rect;
    rect.MoveTo(local.xMin, local.yMin);
    rect.LineTo(local.xMax, local.yMin);
    rect.LineTo(local.xMax, local.yMax);
    rect.LineTo(local.xMin, local.yMax);
    rect.Close();
    raster::Path device;
    device.Append(rect, parent * node.matrix);
    raster::Paint paint;
    color.a = 255;
    paint.color = color;
    raster::FillPath(canvas, device, raster::FillRule::NonZero, paint, {antiAlias, clip});
  }

  // A filtered node is drawn on its own into a transparent buffer covering
  // its bounds (the filters' reach included) and a margin past the
  // target's edges, filtered there, and composited with its blend mode
  // through the clip over it.
  void DrawFiltered(const DisplayNode& node, const Matrix& parent, const ColorTransform& cx,
                    raster::Canvas& canvas, const raster::Mask* clip) {
    if ((node.blendMode == BlendMode::Alpha || node.blendMode == BlendMode::Erase) &&
        !layers.InLayer() && offscreens.Depth() == 0) {
      return;
    }
    const FilterReach reach = ReachOf(node.filters, FilterScale());
    const int mx = std::min(reach.x, kMaxFilterMargin), my = std::min(reach.y, kMaxFilterMargin);
    PixelBox region =
        ClipToCanvas(NodeBounds(node, parent), width + 2 * mx, height + 2 * my, -mx, -my);
    const PixelBox visible{std::max(region.x0, 0), std::max(region.y0, 0),
                           std::min(region.x1, width), std::min(region.y1, height)};
    if (region.Empty() || visible.Empty()) return;
    const int w = region.x1 - region.x0, h = region.y1 - region.y0;
    FilteredCache::Setting setting{parent, cx, stageMatrix, w, h, FilterScale(), antiAlias};
    setting.parent.tx -= region.x0;
    setting.parent.ty -= region.y0;
    setting.stage.tx -= region.x0;
    setting.stage.ty -= region.y0;
    uint32_t* pixels = const_cast<uint32_t*>(filtered.Find(node, setting));
    const bool kept = pixels != nullptr;
    if (!kept) {
      // The object's own top left, whole pixels, where a displacement map starts.
      FloatRect origin = ContentBounds(node, parent, false);
      origin.xMin = std::floor(origin.xMin);
      origin.yMin = std::floor(origin.yMin);
      raster::Canvas buffer = offscreens.Open(w, h);
      const int savedWidth = width, savedHeight = height;
      const Matrix savedStage = stageMatrix;
      width = w;
      height = h;
      stageMatrix = setting.stage;
      DrawNode(node, setting.parent, cx, buffer, nullptr, false);
      ApplyFilters(buffer, node.filters, FilterScale(), filterScratch, origin.xMin - region.x0,
                   origin.yMin - region.y0);
      width = savedWidth;
      height = savedHeight;
      stageMatrix = savedStage;
      filtered.Store(node, setting, buffer.pixels);
      pixels = buffer.pixels;
    }
    // Composite only reads the kept pixels.
    raster::Canvas src{
        pixels + static_cast<size_t>(visible.y0 - region.y0) * w + (visible.x0 - region.x0),
        visible.x1 - visible.x0, visible.y1 - visible.y0, w};
    raster::Canvas dst{canvas.pixels + static_cast<size_t>(visible.y0) * canvas.stride + visible.x0,
                       src.width, src.height, canvas.stride};
    std::optional<raster::Mask> cropped;
    if (clip != nullptr) cropped = CropMask(*clip, visible);
    raster::Composite(dst, src,
                      node.blendMode == BlendMode::Layer ? BlendMode::Normal : node.blendMode,
                      cropped ? &*cropped : nullptr);
    if (!kept) offscreens.Close();
  }

  // Blend modes other than normal: the node is drawn into a transparent
  // layer, which is then composited with the mode over the node's box only.
  void DrawLayered(const DisplayNode& node, const Matrix& parent, const ColorTransform& cx,
                   raster::Canvas& canvas, const raster::Mask* clip) {
    // Alpha and Erase only act on an enclosing layer; on the stage itself
    // they would punch holes into the frame.
    if ((node.blendMode == BlendMode::Alpha || node.blendMode == BlendMode::Erase) &&
        !layers.InLayer() && offscreens.Depth() == 0) {
      return;
    }
    const PixelBox box = ClipToCanvas(NodeBounds(node, parent), width, height);
    if (box.Empty()) return;
    raster::Canvas layer = layers.Open(width, height, box);
    DrawNode(node, parent, cx, layer, clip, false);
    layers.Close(canvas, box, node.blendMode);
  }
};

Renderer::Renderer(const Movie& movie, ImageDecoder& decoder)
    : impl_(std::make_unique<Impl>(movie, decoder)) {}

Renderer::~Renderer() = default;

FloatRect Renderer::Bounds(const DisplayNode& node, const Matrix& parent, double stageScale) {
  impl_->stageScale = stageScale;
  return impl_->NodeBounds(node, parent);
}

void Renderer::SetThreads(int threads) {
  impl_->threads = std::clamp(threads, 0, raster::WorkerPool::kMaxThreads);
  impl_->workers.reset();
  // What is kept was drawn by the old threads; draw it anew with the new.
  impl_->filtered.Clear();
  impl_->sampled.Clear();
}

void Renderer::Render(const DisplayNode& root, raster::Canvas& canvas, Quality quality,
                      const Viewport& view) {
  if (canvas.pixels == nullptr || canvas.width <= 0 || canvas.height <= 0 ||
      canvas.stride < canvas.width || !root.visible) {
    return;
  }
  Impl& im = *impl_;
  const int threads = im.threads > 0 ? im.threads : raster::WorkerPool::MachineThreads();
  if (threads > 1 && !im.workers) im.workers = std::make_unique<raster::WorkerPool>(threads);
  const raster::ScopedWorkers scope(threads > 1 ? im.workers.get() : nullptr);
  im.antiAlias = quality == Quality::High;
  im.stageScale = AverageScale(root.matrix);
  im.stageMatrix = root.matrix;
  im.width = canvas.width;
  im.height = canvas.height;
  im.view = view;
  im.DrawChildren(root.children, root.matrix, root.colorTransform, canvas, nullptr);
  im.filtered.EndRender();
  im.sampled.EndRender();
}

}  // namespace orrivel::swf
