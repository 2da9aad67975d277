// Keyboard focus moved by the Tab key: which clips, buttons and fields take
// focus and in what order, as Flash Player orders them.
#pragma once

#include <memory>
#include <vector>

#include "swf/player/movie_runner.h"

namespace orrivel::swf {

// The objects Tab visits, in order. With any tabIndex set, only the objects
// that have one, by tabIndex; otherwise every tabbable object by the top,
// then the left edge of its bounds on the stage (one object per position).
std::vector<std::shared_ptr<TimelineInstance>> TabOrder(MovieRunner& runner);

// The object after the focused one in tab order (before it when `back`);
// null when nothing takes focus.
std::shared_ptr<TimelineInstance> NextTabStop(MovieRunner& runner, bool back);

}  // namespace orrivel::swf
