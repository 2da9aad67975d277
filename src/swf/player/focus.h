// Keyboard focus moved by the Tab key: which clips, buttons and fields take
// focus and in what order, as Flash Player orders them.
#pragma once

#include <memory>
#include <vector>

#include "swf/player/movie_runner.h"

namespace orrivel::swf {

class EditText;

// A clip or button, or a text field, that Tab can focus.
struct TabStop {
  std::shared_ptr<TimelineInstance> clip;
  std::shared_ptr<EditText> field;
  bool operator==(const TabStop&) const = default;
  explicit operator bool() const { return clip || field; }
};

// The objects Tab visits, in order. With any tabIndex set, only the objects
// that have one, by tabIndex; otherwise every tabbable object by the top,
// then the left edge of its bounds on the stage (one object per position).
std::vector<TabStop> TabOrder(MovieRunner& runner);

// The object after the focused one in tab order (before it when `back`);
// empty when nothing takes focus.
TabStop NextTabStop(MovieRunner& runner, bool back);

// The topmost visible text field at stage twips (x, y); null for none.
std::shared_ptr<EditText> FieldAt(MovieRunner& runner, double x, double y);

}  // namespace orrivel::swf
