#include "swf/render/renderer.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "swf/render/bitmap_decode.h"
#include "swf/render/morph.h"
#include "swf/render/paint.h"
#include "swf/render/shape_convert.h"
#include "swf/render/text_render.h"

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

// Integer pixel box of r clipped to the canvas; empty when they miss.
struct PixelBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

PixelBox ClipToCanvas(const FloatRect& r, int width, int height) {
  PixelBox b;
  if (r.Empty() || !std::isfinite(r.xMin) || !std::isfinite(r.yMin) ||
      !std::isfinite(r.xMax) || !std::isfinite(r.yMax)) {
    return b;
  }
  b.x0 = static_cast<int>(std::max(0.0f, std::floor(r.xMin) - 1));
  b.y0 = static_cast<int>(std::max(0.0f, std::floor(r.yMin) - 1));
  b.x1 = static_cast<int>(std::min(static_cast<float>(width), std::ceil(r.xMax) + 1));
  b.y1 = static_cast<int>(std::min(static_cast<float>(height), std::ceil(r.yMax) + 1));
  return b;
}

void IntersectMask(raster::Mask& mask, const raster::Mask& other) {
  const size_t n = std::min(mask.coverage.size(), other.coverage.size());
  for (size_t i = 0; i < n; ++i) {
    mask.coverage[i] = static_cast<uint8_t>((mask.coverage[i] * other.coverage[i] + 127) / 255);
  }
}

raster::Stroke::Cap ToCap(CapStyle c) {
  switch (c) {
    case CapStyle::None: return raster::Stroke::Cap::None;
    case CapStyle::Square: return raster::Stroke::Cap::Square;
    default: return raster::Stroke::Cap::Round;
  }
}

raster::Stroke::Join ToJoin(JoinStyle j) {
  switch (j) {
    case JoinStyle::Bevel: return raster::Stroke::Join::Bevel;
    case JoinStyle::Miter: return raster::Stroke::Join::Miter;
    default: return raster::Stroke::Join::Round;
  }
}

raster::Canvas SubCanvas(const raster::Canvas& c, const PixelBox& b) {
  raster::Canvas s;
  s.pixels = c.pixels + static_cast<size_t>(b.y0) * c.stride + b.x0;
  s.width = b.x1 - b.x0;
  s.height = b.y1 - b.y0;
  s.stride = c.stride;
  return s;
}

}  // namespace

struct Renderer::Impl {
  const Movie& movie;
  ImageDecoder& decoder;

  std::unordered_map<uint16_t, ConvertedShape> shapes;
  struct MorphEntry {
    float ratio = -1;
    ConvertedShape shape;
  };
  std::unordered_map<uint16_t, MorphEntry> morphs;
  std::unordered_map<uint16_t, std::optional<raster::Image>> bitmaps;
  TextCache texts;

  // Per Render call.
  bool antiAlias = true;
  double stageScale = 1;
  int width = 0, height = 0;
  std::vector<std::unique_ptr<std::vector<uint32_t>>> layerPool;
  size_t layersInUse = 0;

  Impl(const Movie& m, ImageDecoder& d) : movie(m), decoder(d), texts(m) {}

  const Character* Find(uint16_t id) const {
    auto it = movie.characters.find(id);
    return it == movie.characters.end() ? nullptr : &it->second;
  }

  const raster::Image* Bitmap(uint16_t id) {
    auto it = bitmaps.find(id);
    if (it == bitmaps.end()) {
      std::optional<raster::Image> image;
      if (const auto* def = std::get_if<BitmapDefinition>(Find(id))) {
        image = DecodeBitmap(*def, movie.jpegTables, decoder);
      }
      it = bitmaps.emplace(id, std::move(image)).first;
    }
    return it->second ? &*it->second : nullptr;
  }

  const ConvertedShape* ShapeOf(const DisplayNode& node) {
    if (node.kind == DisplayNode::Kind::Shape) {
      auto it = shapes.find(node.characterId);
      if (it != shapes.end()) return &it->second;
      const auto* def = std::get_if<ShapeDefinition>(Find(node.characterId));
      if (def == nullptr) return nullptr;
      return &shapes.emplace(node.characterId, ConvertShape(def->shape, def->usesFillWindingRule))
                  .first->second;
    }
    if (node.kind == DisplayNode::Kind::MorphShape) {
      const auto* def = std::get_if<MorphShapeDefinition>(Find(node.characterId));
      if (def == nullptr) return nullptr;
      const float ratio = std::isfinite(node.ratio) ? std::clamp(node.ratio, 0.0f, 1.0f) : 0.0f;
      MorphEntry& entry = morphs[node.characterId];
      if (entry.ratio != ratio) {
        entry.shape = ConvertShape(InterpolateMorph(*def, ratio), false);
        entry.ratio = ratio;
      }
      return &entry.shape;
    }
    return nullptr;
  }

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

  const TextLayout* TextOfNode(const DisplayNode& node) {
    return node.kind == DisplayNode::Kind::Text ? texts.Layout(node.characterId) : nullptr;
  }

  const raster::Image* BitmapOfNode(const DisplayNode& node) {
    if (node.kind != DisplayNode::Kind::Bitmap) return nullptr;
    return Bitmap(node.characterId);
  }

  static raster::Path BitmapRect(const raster::Image& image, const Matrix& m) {
    raster::Path rect;
    const float w = image.width * 20.0f, h = image.height * 20.0f;
    rect.MoveTo(0, 0);
    rect.LineTo(w, 0);
    rect.LineTo(w, h);
    rect.LineTo(0, h);
    rect.Close();
    raster::Path out;
    out.Append(rect, m);
    return out;
  }

  FloatRect NodeBounds(const DisplayNode& node, const Matrix& parent) {
    const Matrix m = parent * node.matrix;
    if (const ConvertedShape* shape = ShapeOf(node)) return ShapeBounds(*shape, m);
    if (const raster::Image* image = BitmapOfNode(node)) {
      FloatRect r;
      r.Include(0, 0);
      r.Include(image->width * 20.0f, image->height * 20.0f);
      return TransformRect(r, m);
    }
    if (const TextLayout* text = TextOfNode(node)) return TransformRect(text->bounds, m);
    FloatRect r;
    if (node.kind == DisplayNode::Kind::Group) {
      for (const DisplayNode& child : node.children) {
        if (child.clipDepth == 0 && !child.visible) continue;
        r.Include(NodeBounds(child, m));
      }
    }
    return r;
  }

  bool Culled(const FloatRect& r) const { return ClipToCanvas(r, width, height).Empty(); }

  void DrawShape(const ConvertedShape& shape, const Matrix& m, const ColorTransform& cx,
                 raster::Canvas& canvas, const raster::Mask* clip) {
    if (Culled(ShapeBounds(shape, m))) return;
    PaintContext ctx{m, cx, antiAlias, [this](uint16_t id) { return Bitmap(id); }};
    const raster::DrawOptions options{antiAlias, clip};
    raster::Path device;
    for (const ShapeLayer& layer : shape.layers) {
      device.Clear();
      device.Append(layer.path, m);
      if (!layer.isLine) {
        if (auto paint = MakePaint(layer.fill, ctx)) {
          raster::FillPath(canvas, device, shape.fillRule, *paint, options);
        }
        continue;
      }
      const LineStyle& line = layer.line;
      std::optional<raster::Paint> paint =
          line.fill ? MakePaint(*line.fill, ctx) : SolidPaint(line.color, cx);
      if (!paint) continue;
      raster::StrokePath(canvas, device, MakeStroke(line, m), *paint, options);
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
                  raster::Canvas& canvas, const raster::Mask* clip) {
    const raster::Path rect = BitmapRect(image, m);
    raster::Paint paint;
    paint.kind = raster::Paint::Kind::Bitmap;
    paint.bitmap = &image;
    const Matrix pixelsToTwips{20, 0, 0, 20, 0, 0};
    if (!(m * pixelsToTwips).Invert(paint.deviceToBitmap)) return;
    paint.smooth = antiAlias;
    paint.colorTransform = cx;
    raster::FillPath(canvas, rect, raster::FillRule::NonZero, paint, {antiAlias, clip});
  }

  // Coverage of a node as a mask: its fills and strokes, any paint.
  void AddCoverage(const DisplayNode& node, const Matrix& parent, raster::Mask& mask) {
    const Matrix m = parent * node.matrix;
    const raster::DrawOptions options{antiAlias, nullptr};
    if (const ConvertedShape* shape = ShapeOf(node)) {
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
    } else if (const raster::Image* image = BitmapOfNode(node)) {
      raster::FillMask(mask, BitmapRect(*image, m), raster::FillRule::NonZero, options);
    } else if (const TextLayout* text = TextOfNode(node)) {
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
    struct ActiveClip {
      uint16_t clipDepth;
      raster::Mask mask;  // already intersected with parentClip
    };
    std::vector<ActiveClip> active;
    raster::Mask combined;
    const raster::Mask* clip = parentClip;
    auto recompute = [&] {
      if (active.empty()) {
        clip = parentClip;
      } else if (active.size() == 1) {
        clip = &active.front().mask;
      } else {
        combined = active.front().mask;
        for (size_t i = 1; i < active.size(); ++i) IntersectMask(combined, active[i].mask);
        clip = &combined;
      }
    };

    for (const DisplayNode& child : children) {
      const size_t before = active.size();
      std::erase_if(active, [&](const ActiveClip& a) { return a.clipDepth < child.depth; });
      if (active.size() != before) recompute();

      if (child.clipDepth != 0) {
        raster::Mask mask;
        mask.width = width;
        mask.height = height;
        mask.coverage.assign(static_cast<size_t>(width) * height, 0);
        AddCoverage(child, m, mask);
        if (parentClip != nullptr) IntersectMask(mask, *parentClip);
        active.push_back({child.clipDepth, std::move(mask)});
        recompute();
        continue;
      }
      if (child.visible) DrawNode(child, m, cx, canvas, clip);
    }
  }

  void DrawNode(const DisplayNode& node, const Matrix& parent, const ColorTransform& parentCx,
                raster::Canvas& canvas, const raster::Mask* clip, bool asLayer = true) {
    if (asLayer && node.blendMode != BlendMode::Normal) {
      DrawLayered(node, parent, parentCx, canvas, clip);
      return;
    }
    const Matrix m = parent * node.matrix;
    const ColorTransform cx = parentCx * node.colorTransform;
    if (const ConvertedShape* shape = ShapeOf(node)) {
      DrawShape(*shape, m, cx, canvas, clip);
    } else if (const raster::Image* image = BitmapOfNode(node)) {
      if (!Culled(NodeBounds(node, parent))) DrawBitmap(*image, m, cx, canvas, clip);
    } else if (const TextLayout* text = TextOfNode(node)) {
      if (!Culled(TransformRect(text->bounds, m))) {
        DrawTextLayout(*text, m, cx, canvas, {antiAlias, clip});
      }
    } else if (node.kind == DisplayNode::Kind::Group) {
      DrawChildren(node.children, m, cx, canvas, clip);
    }
  }

  // Blend modes other than normal: the node is drawn into a transparent
  // layer, which is then composited with the mode over the node's box only.
  void DrawLayered(const DisplayNode& node, const Matrix& parent, const ColorTransform& cx,
                   raster::Canvas& canvas, const raster::Mask* clip) {
    // Alpha and Erase only act on an enclosing layer; on the stage itself
    // they would punch holes into the frame.
    if ((node.blendMode == BlendMode::Alpha || node.blendMode == BlendMode::Erase) &&
        layersInUse == 0) {
      return;
    }
    const PixelBox box = ClipToCanvas(NodeBounds(node, parent), width, height);
    if (box.Empty()) return;
    if (layersInUse == layerPool.size()) {
      layerPool.push_back(std::make_unique<std::vector<uint32_t>>());
    }
    std::vector<uint32_t>& buffer = *layerPool[layersInUse];
    buffer.resize(static_cast<size_t>(width) * height);
    ++layersInUse;
    raster::Canvas layer{buffer.data(), width, height, width};
    for (int y = box.y0; y < box.y1; ++y) {
      std::fill_n(buffer.data() + static_cast<size_t>(y) * width + box.x0, box.x1 - box.x0, 0u);
    }
    DrawNode(node, parent, cx, layer, clip, false);
    raster::Canvas dstView = SubCanvas(canvas, box);
    const raster::Canvas layerView = SubCanvas(layer, box);
    const BlendMode mode = node.blendMode == BlendMode::Layer ? BlendMode::Normal : node.blendMode;
    raster::Composite(dstView, layerView, mode);
    --layersInUse;
  }
};

Renderer::Renderer(const Movie& movie, ImageDecoder& decoder)
    : impl_(std::make_unique<Impl>(movie, decoder)) {}

Renderer::~Renderer() = default;

FloatRect Renderer::Bounds(const DisplayNode& node, const Matrix& parent, double stageScale) {
  impl_->stageScale = stageScale;
  return impl_->NodeBounds(node, parent);
}

void Renderer::Render(const DisplayNode& root, raster::Canvas& canvas, Quality quality) {
  if (canvas.pixels == nullptr || canvas.width <= 0 || canvas.height <= 0 ||
      canvas.stride < canvas.width || !root.visible) {
    return;
  }
  Impl& im = *impl_;
  im.antiAlias = quality == Quality::High;
  im.stageScale = AverageScale(root.matrix);
  im.width = canvas.width;
  im.height = canvas.height;
  im.DrawChildren(root.children, root.matrix, root.colorTransform, canvas, nullptr);
}

}  // namespace orrivel::swf
