// setMask: a clip or a text field shown only through another clip's or
// field's coverage.
#pragma once

#include <memory>

namespace orrivel::swf {

class TimelineInstance;
class EditText;

// One side of a setMask: a clip or a text field (neither: none).
struct MaskSide {
  std::shared_ptr<TimelineInstance> clip;
  std::shared_ptr<EditText> field;
  bool Empty() const { return !clip && !field; }
};

// Makes mask mask `masked`, or releases it when mask is empty. An object
// placed as a timeline mask layer that takes part, either side, is one no
// longer: released, it is drawn as a plain object. A clip does not mask
// itself.
void SetMask(const MaskSide& masked, const MaskSide& mask);

}  // namespace orrivel::swf
