// The script side of input: where a clip sits on the stage (for _xmouse and
// dragging), the clip that follows the pointer, and keyboard focus.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/geometry.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

// A clip's space to stage twips: its own placement and every parent's.
Matrix StageMatrix(const TimelineInstance& t);
// _xmouse (x) or _ymouse: the pointer in the clip's space, in pixels.
Value ClipMouse(Vm& vm, const ClipObject& clip, bool x);
// _droptarget: where the clip last dragged is over ("" for other clips).
Value ClipDropTarget(Vm& vm, const ClipObject& clip);
// A clip's path as _target and _droptarget give it: "/a/b", "/" for the root.
std::string SlashPath(Vm& vm, const std::shared_ptr<TimelineInstance>& t);
// Moves the dragged clip to the pointer (within its bounds). True when it moved.
bool FollowPointer(Vm& vm);
// Moves keyboard focus and tells the objects and Selection's listeners
// (onKillFocus, onSetFocus). False when nothing changed.
bool SetFocus(Vm& vm, const std::shared_ptr<TimelineInstance>& to);
// Moves focus to a text field (null for none); all its text is selected,
// even when it had focus already.
bool SetFocusField(Vm& vm, const std::shared_ptr<EditText>& to);
// _focusrect of an object: `own` is its own setting, or null for the root,
// whose setting (and every object's before SWF 6) is the movie-wide one.
Value GetFocusRect(Vm& vm, const std::optional<bool>* own);
void SetFocusRect(Vm& vm, std::optional<bool>* own, const Value& v);
// A value given to a player-wide setting (_focusrect, _highquality,
// _soundbuftime) as a number: text that is no number is NaN, and so changes
// nothing, even in version 4 movies, which otherwise read it as 0.
double SettingNumber(Vm& vm, const Value& v);
// The script object of what has focus; null for nothing.
Value FocusValue(Vm& vm);
// Takes focus away when it is on t or inside it (t hidden or removed).
void DropFocusWithin(Vm& vm, const TimelineInstance& t);

}  // namespace orrivel::swf::avm1
