// The yellow rectangle that shows which clip or button has keyboard focus.
#pragma once

#include <optional>

#include "base/geometry.h"
#include "swf/avm1/vm.h"
#include "swf/render/display.h"

namespace orrivel::swf {

// A node to draw over the stage: a band three device pixels wide just inside
// the focused object's box, while focus came from the keyboard or a script
// (the pointer has not moved since) and the object's _focusrect allows it.
// stageToDevice maps stage twips to device pixels; none when nothing shows.
std::optional<DisplayNode> FocusRingNode(avm1::Vm& vm, const Matrix& stageToDevice);

}  // namespace orrivel::swf
