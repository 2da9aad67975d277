// "Show all" scaling: the whole stage visible in the target, aspect ratio
// kept, centred on whole pixels; the rest of the target is letterbox.
#pragma once

#include "base/geometry.h"

namespace orrivel::swf {

struct StageFit {
  double scale = 0;  // device pixels per stage pixel
  // The stage's rectangle in device pixels (offsets are whole pixels).
  double left = 0, top = 0, width = 0, height = 0;
  bool Empty() const { return scale <= 0; }
  // Maps stage twips to device pixels.
  Matrix ToDevice(const Rect& stage) const;
};

// An empty fit (scale 0) when the stage or the target has no area.
StageFit FitShowAll(const Rect& stageTwips, int targetWidth, int targetHeight);

}  // namespace orrivel::swf
