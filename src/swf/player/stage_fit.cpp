#include "swf/player/stage_fit.h"

#include <algorithm>
#include <cmath>

namespace orrivel::swf {

Matrix StageFit::ToDevice(const Rect& stage) const {
  const double k = scale / kTwipsPerPixel;
  return Matrix{k, 0, 0, k, left - stage.xMin * k, top - stage.yMin * k};
}

StageFit FitShowAll(const Rect& stageTwips, int targetWidth, int targetHeight) {
  StageFit fit;
  const double sw = static_cast<double>(stageTwips.xMax) - stageTwips.xMin;
  const double sh = static_cast<double>(stageTwips.yMax) - stageTwips.yMin;
  if (sw <= 0 || sh <= 0 || targetWidth <= 0 || targetHeight <= 0) return fit;
  const double stageW = sw / kTwipsPerPixel, stageH = sh / kTwipsPerPixel;
  fit.scale = std::min(targetWidth / stageW, targetHeight / stageH);
  fit.width = stageW * fit.scale;
  fit.height = stageH * fit.scale;
  // Whole-pixel offsets keep a 1:1 stage crisp; the margins differ by at most one pixel.
  fit.left = std::floor((targetWidth - fit.width) / 2);
  fit.top = std::floor((targetHeight - fit.height) / 2);
  return fit;
}

}  // namespace orrivel::swf
