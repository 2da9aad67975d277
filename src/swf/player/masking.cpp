#include "swf/player/masking.h"

#include "swf/player/edit_text.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf {

namespace {

DisplayObject* PlacementOf(const MaskSide& side) {
  if (side.field) return side.field->Placement();
  if (!side.clip) return nullptr;
  const auto parent = side.clip->Parent();
  if (!parent) return nullptr;
  for (auto& [depth, obj] : parent->MutableList()) {
    if (obj.instance == side.clip) return &obj;
  }
  return nullptr;
}

// What masks the side now, as its fields.
struct MaskSlots {
  std::weak_ptr<TimelineInstance>* clip;
  std::weak_ptr<EditText>* field;
};

MaskSlots SlotsOf(const MaskSide& side) {
  if (side.field) return {&side.field->mask, &side.field->maskField};
  return {&side.clip->mask, &side.clip->maskField};
}

void MarkMask(const MaskSide& side, bool on) {
  if (side.clip) side.clip->isMask = on;
  if (side.field) side.field->SetIsMask(on);
}

}  // namespace

void SetMask(const MaskSide& masked, const MaskSide& mask) {
  if (masked.Empty()) return;
  for (const MaskSide* side : {&masked, &mask}) {
    if (DisplayObject* p = PlacementOf(*side)) p->clipDepth = 0;
  }
  const MaskSlots slots = SlotsOf(masked);
  MarkMask({slots.clip->lock(), slots.field->lock()}, false);
  slots.clip->reset();
  slots.field->reset();
  if (mask.Empty() || (mask.clip && mask.clip == masked.clip) ||
      (mask.field && mask.field == masked.field))
    return;
  if (mask.clip) {
    *slots.clip = mask.clip;
  } else {
    *slots.field = mask.field;
  }
  MarkMask(mask, true);
}

}  // namespace orrivel::swf
