// Turns the running timelines into the display tree the renderer draws.
#pragma once

#include <map>
#include <memory>

#include "swf/format/movie.h"
#include "swf/player/timeline_instance.h"
#include "swf/render/display.h"

namespace orrivel::swf {

// The root node is the stage: its matrix is stageToDevice, its children the
// main timeline's objects in depth order. Sprites and buttons become groups;
// objects whose character is unknown (or not drawable) are left out.
using Levels = std::map<int, std::shared_ptr<TimelineInstance>>;

// Movies loaded into levels above the root follow its objects, lowest first.
DisplayNode BuildDisplayTree(const TimelineInstance& root, const Movie& movie,
                             const Matrix& stageToDevice, const Levels& levels = {});

// What one clip shows in its own space (twips), without its placement: a
// group of its drawing and its children, with the setMask mask on it in
// stage space.
DisplayNode BuildClipTree(const TimelineInstance& clip);

}  // namespace orrivel::swf
