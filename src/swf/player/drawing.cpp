#include "swf/player/drawing.h"

#include <algorithm>
#include <cmath>

#include "swf/render/script_bitmap.h"

namespace orrivel::swf {

namespace {

// Drawn coordinates stay where float twips are exact enough and the
// rasterizer's fixed point cannot overflow.
constexpr double kMaxCoordinate = 1 << 26;

float Clamp(double v) {
  if (!std::isfinite(v)) return v > 0 ? static_cast<float>(kMaxCoordinate) : 0.0f;
  return static_cast<float>(std::clamp(v, -kMaxCoordinate, kMaxCoordinate));
}

// Flash pads a drawn stroke's box by the whole line width, not half of it.
void Widen(FloatRect& out, const FloatRect& r, float pad) {
  if (r.Empty()) return;
  out.Include(r.xMin - pad, r.yMin - pad);
  out.Include(r.xMax + pad, r.yMax + pad);
}

}  // namespace

Drawing::~Drawing() {
  if (shared_) *shared_ -= commands_;
}

void Drawing::Clear() {
  if (shared_) *shared_ -= commands_;
  commands_ = 0;
  shape_ = ConvertedShape{};
  bitmapFills_ = false;
  snapshot_.reset();
  penX_ = penY_ = fillStartX_ = fillStartY_ = 0;
  line_.reset();
  fillLayer_ = lineLayer_ = -1;
  lineAtPen_ = fillAtPen_ = false;
  strokeBounds_ = FloatRect{};
}

bool Drawing::CopyFrom(const Drawing& other) {
  Clear();
  if (shared_ && *shared_ + other.commands_ > kMaxSharedCommands) return false;
  shape_ = other.shape_;
  bitmapFills_ = other.bitmapFills_;
  commands_ = other.commands_;
  if (shared_) *shared_ += commands_;
  penX_ = other.penX_;
  penY_ = other.penY_;
  fillStartX_ = other.fillStartX_;
  fillStartY_ = other.fillStartY_;
  line_ = other.line_;
  fillLayer_ = other.fillLayer_;
  lineLayer_ = other.lineLayer_;
  lineAtPen_ = other.lineAtPen_;
  fillAtPen_ = other.fillAtPen_;
  strokeBounds_ = other.strokeBounds_;
  return true;
}

bool Drawing::Charge() {
  if (commands_ >= kMaxCommands || (shared_ && *shared_ >= kMaxSharedCommands)) return false;
  ++commands_;
  if (shared_) ++*shared_;
  return true;
}

void Drawing::BeginFill(std::optional<FillStyle> fill, std::shared_ptr<ScriptBitmap> bitmap) {
  EndFill();
  if (!fill || !Charge()) return;
  ShapeLayer layer;
  layer.fill = std::move(*fill);
  if (bitmap) bitmapFills_ = true;
  layer.scriptBitmap = std::move(bitmap);
  shape_.layers.push_back(std::move(layer));
  fillLayer_ = static_cast<int>(shape_.layers.size()) - 1;
  fillStartX_ = penX_;
  fillStartY_ = penY_;
  fillAtPen_ = false;
  lineLayer_ = -1;  // the fill's outline draws above it
  Changed();
}

void Drawing::EndFill() {
  if (fillLayer_ < 0) return;
  // An open outline is closed with a line back to where the fill started,
  // stroked like the others; the pen stays where it was, so a following
  // beginFill starts there.
  if (fillAtPen_ && (penX_ != fillStartX_ || penY_ != fillStartY_)) {
    const float x = penX_, y = penY_;
    LineTo(fillStartX_, fillStartY_);
    penX_ = x;
    penY_ = y;
    lineAtPen_ = false;
  }
  fillLayer_ = -1;
  fillAtPen_ = false;
  Changed();
}

void Drawing::SetLineStyle(std::optional<LineStyle> line) {
  if (!Charge()) return;
  line_ = std::move(line);
  lineLayer_ = -1;
}

void Drawing::SetLineFill(const FillStyle& fill) {
  if (!line_ || !Charge()) return;
  line_->fill = fill;
  lineLayer_ = -1;
}

raster::Path* Drawing::FillPath() {
  if (fillLayer_ < 0) return nullptr;
  raster::Path& path = shape_.layers[fillLayer_].path;
  if (!fillAtPen_) path.MoveTo(penX_, penY_);
  fillAtPen_ = true;
  return &path;
}

raster::Path* Drawing::LinePath() {
  if (!line_) return nullptr;
  if (lineLayer_ < 0) {
    ShapeLayer layer;
    layer.isLine = true;
    layer.line = *line_;
    shape_.maxLineWidth = std::max(shape_.maxLineWidth, static_cast<float>(line_->width));
    shape_.layers.push_back(std::move(layer));
    lineLayer_ = static_cast<int>(shape_.layers.size()) - 1;
    lineAtPen_ = false;
  }
  raster::Path& path = shape_.layers[lineLayer_].path;
  if (!lineAtPen_) path.MoveTo(penX_, penY_);
  lineAtPen_ = true;
  return &path;
}

void Drawing::MoveTo(double x, double y) {
  if (!Charge()) return;
  penX_ = Clamp(x);
  penY_ = Clamp(y);
  fillStartX_ = penX_;
  fillStartY_ = penY_;
  fillAtPen_ = lineAtPen_ = false;
}

void Drawing::LineTo(double xIn, double yIn) {
  if (!Charge()) return;
  const float x = Clamp(xIn), y = Clamp(yIn);
  FloatRect seg;
  seg.Include(penX_, penY_);
  seg.Include(x, y);
  if (raster::Path* fill = FillPath()) {
    fill->LineTo(x, y);
    shape_.bounds.Include(seg);
  }
  if (raster::Path* line = LinePath()) {
    line->LineTo(x, y);
    shape_.bounds.Include(seg);
    Widen(strokeBounds_, seg, line_->width);
  }
  penX_ = x;
  penY_ = y;
  Changed();
}

void Drawing::CurveTo(double cxIn, double cyIn, double xIn, double yIn) {
  if (!Charge()) return;
  const float cx = Clamp(cxIn), cy = Clamp(cyIn), x = Clamp(xIn), y = Clamp(yIn);
  FloatRect seg;
  seg.Include(penX_, penY_);
  seg.Include(cx, cy);
  seg.Include(x, y);
  if (raster::Path* fill = FillPath()) {
    fill->QuadTo(cx, cy, x, y);
    shape_.bounds.Include(seg);
  }
  if (raster::Path* line = LinePath()) {
    line->QuadTo(cx, cy, x, y);
    shape_.bounds.Include(seg);
    Widen(strokeBounds_, seg, line_->width);
  }
  penX_ = x;
  penY_ = y;
  Changed();
}

std::shared_ptr<const ConvertedShape> Drawing::Snapshot() const {
  if (Empty()) return nullptr;
  // A bitmap fill shows what its bitmap holds now: a change of the pixels
  // makes a new shape.
  if (snapshot_ && bitmapFills_) {
    for (std::size_t i = 0; i < shape_.layers.size(); ++i) {
      const ShapeLayer& layer = shape_.layers[i];
      if (layer.scriptBitmap && layer.scriptBitmap->Picture() != snapshot_->layers[i].picture) {
        snapshot_.reset();
        break;
      }
    }
  }
  if (!snapshot_) {
    auto shape = std::make_shared<ConvertedShape>(shape_);
    for (ShapeLayer& layer : shape->layers) {
      if (layer.scriptBitmap) layer.picture = layer.scriptBitmap->Picture();
    }
    snapshot_ = std::move(shape);
  }
  return snapshot_;
}

FloatRect Drawing::Bounds(bool withStrokes) const {
  FloatRect r = shape_.bounds;
  if (withStrokes) r.Include(strokeBounds_);
  return r;
}

}  // namespace orrivel::swf
