// The MovieClip methods written beside the classes whose work they do
// (drawing, dragging, text, loading, transforms, filters). The one list of
// MovieClip.prototype is in builtins_clip.cpp.
#pragma once

#include <span>

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

// The table MovieClip.prototype is made from.
std::span<const Member> ClipPrototypeMembers();

// builtins_drawing.cpp
Value BeginFill(Vm& vm, Object* self, Args args);
Value BeginGradientFill(Vm& vm, Object* self, Args args);
Value SetLineStyle(Vm& vm, Object* self, Args args);
Value LineGradientStyle(Vm& vm, Object* self, Args args);
Value MoveTo(Vm& vm, Object* self, Args args);
Value LineTo(Vm& vm, Object* self, Args args);
Value CurveTo(Vm& vm, Object* self, Args args);
Value EndFill(Vm& vm, Object* self, Args args);
Value Clear(Vm& vm, Object* self, Args args);
Value GetBounds(Vm& vm, Object* self, Args args);
Value GetRect(Vm& vm, Object* self, Args args);
Value LocalToGlobal(Vm& vm, Object* self, Args args);
Value GlobalToLocal(Vm& vm, Object* self, Args args);
Value HitTest(Vm& vm, Object* self, Args args);
Value SetMask(Vm& vm, Object* self, Args args);
// builtins_bitmap.cpp
Value AttachBitmap(Vm& vm, Object* self, Args args);
// builtins_input.cpp
Value StartDrag(Vm& vm, Object* self, Args args);
Value StopDrag(Vm& vm, Object* self, Args args);
Value ButtonTabIndex(Vm& vm, Object* self, Args args);
Value SetButtonTabIndex(Vm& vm, Object* self, Args args);
// builtins_textfield.cpp, builtins_textsnapshot.cpp
Value CreateField(Vm& vm, Object* self, Args args);
Value GetTextSnapshot(Vm& vm, Object* self, Args args);
// builtins_loader.cpp
Value ClipLoadMovie(Vm& vm, Object* self, Args args);
Value ClipUnloadMovie(Vm& vm, Object* self, Args args);
Value ClipLoadVariables(Vm& vm, Object* self, Args args);
// builtins_geom.cpp, builtins_filters.cpp
Value ClipTransform(Vm& vm, Object* self, Args args);
Value ClipSetTransform(Vm& vm, Object* self, Args args);
Value GetFilters(Vm& vm, Object* self, Args args);
Value SetFilters(Vm& vm, Object* self, Args args);

}  // namespace orrivel::swf::avm1
