#include "swf/player/focus_ring.h"

#include <cmath>
#include <memory>

#include "swf/player/clip_geometry.h"
#include "swf/render/shape_convert.h"

namespace orrivel::swf {

namespace {

constexpr float kBandPixels = 3;
constexpr float kMaxPixels = 1e6f;  // boxes beyond this are no real screen

void AddRect(raster::Path& path, float x0, float y0, float x1, float y1) {
  path.MoveTo(x0, y0);
  path.LineTo(x1, y0);
  path.LineTo(x1, y1);
  path.LineTo(x0, y1);
  path.Close();
}

}  // namespace

std::optional<DisplayNode> FocusRingNode(avm1::Vm& vm, const Matrix& stageToDevice) {
  const avm1::InputState& in = vm.input;
  const auto focus = in.focus.lock();
  if (!focus || !in.focusTakesKeys || !in.focusRectShown || in.focusField.lock())
    return std::nullopt;
  Matrix toStage;
  if (!ConcatenatedMatrix(*focus, toStage)) return std::nullopt;
  const TwipsBox box = TransformBox(LocalBounds(*focus), stageToDevice * toStage);
  if (box.empty) return std::nullopt;
  // Whole device pixels, the band inside them.
  const float x0 = std::round(static_cast<float>(box.xMin));
  const float y0 = std::round(static_cast<float>(box.yMin));
  const float x1 = std::round(static_cast<float>(box.xMax));
  const float y1 = std::round(static_cast<float>(box.yMax));
  if (!(x1 > x0 && y1 > y0) || std::fabs(x0) > kMaxPixels || std::fabs(y0) > kMaxPixels ||
      std::fabs(x1) > kMaxPixels || std::fabs(y1) > kMaxPixels)
    return std::nullopt;
  ShapeLayer band;
  band.fill.color = Rgba{255, 255, 0, 255};
  AddRect(band.path, x0, y0, x1, y1);
  if (x1 - x0 > 2 * kBandPixels && y1 - y0 > 2 * kBandPixels)
    AddRect(band.path, x0 + kBandPixels, y0 + kBandPixels, x1 - kBandPixels, y1 - kBandPixels);
  auto shape = std::make_shared<ConvertedShape>();
  shape->fillRule = raster::FillRule::EvenOdd;
  shape->bounds.Include(x0, y0);
  shape->bounds.Include(x1, y1);
  shape->layers.push_back(std::move(band));
  // The band is drawn in device pixels: undo the stage's own mapping.
  Matrix deviceToStage;
  if (!stageToDevice.Invert(deviceToStage)) return std::nullopt;
  DisplayNode node;
  node.kind = DisplayNode::Kind::Shape;
  node.depth = 0xFFFF;
  node.matrix = deviceToStage;
  node.drawing = std::move(shape);
  return node;
}

}  // namespace orrivel::swf
