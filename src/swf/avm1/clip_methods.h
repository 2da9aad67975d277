// The MovieClip methods written beside the classes whose work they do
// (drawing, dragging, text, loading, transforms, filters). The one list of
// MovieClip.prototype is in builtins_clip.cpp.
#pragma once

#include <span>

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

// builtins_drawing.cpp
Completion BeginFill(Vm& vm, Object* self, Args args);
Completion BeginGradientFill(Vm& vm, Object* self, Args args);
Completion SetLineStyle(Vm& vm, Object* self, Args args);
Completion LineGradientStyle(Vm& vm, Object* self, Args args);
Completion MoveTo(Vm& vm, Object* self, Args args);
Completion LineTo(Vm& vm, Object* self, Args args);
Completion CurveTo(Vm& vm, Object* self, Args args);
Completion EndFill(Vm& vm, Object* self, Args args);
Completion Clear(Vm& vm, Object* self, Args args);
Completion GetBounds(Vm& vm, Object* self, Args args);
Completion GetRect(Vm& vm, Object* self, Args args);
Completion LocalToGlobal(Vm& vm, Object* self, Args args);
Completion GlobalToLocal(Vm& vm, Object* self, Args args);
Completion HitTest(Vm& vm, Object* self, Args args);
Completion SetMask(Vm& vm, Object* self, Args args);
// builtins_bitmap.cpp
Completion AttachBitmap(Vm& vm, Object* self, Args args);
Completion BeginBitmapFill(Vm& vm, Object* self, Args args);
// builtins_input.cpp
Completion StartDrag(Vm& vm, Object* self, Args args);
Completion StopDrag(Vm& vm, Object* self, Args args);
Completion ButtonTabIndex(Vm& vm, Object* self, Args args);
Completion SetButtonTabIndex(Vm& vm, Object* self, Args args);
// builtins_textfield.cpp, builtins_textsnapshot.cpp
Completion CreateField(Vm& vm, Object* self, Args args);
Completion GetTextSnapshot(Vm& vm, Object* self, Args args);
// builtins_loader.cpp
Completion ClipLoadMovie(Vm& vm, Object* self, Args args);
Completion ClipUnloadMovie(Vm& vm, Object* self, Args args);
Completion ClipLoadVariables(Vm& vm, Object* self, Args args);
// builtins_geom.cpp, builtins_filters.cpp
Completion ClipTransform(Vm& vm, Object* self, Args args);
Completion ClipSetTransform(Vm& vm, Object* self, Args args);
Completion GetFilters(Vm& vm, Object* self, Args args);
Completion SetFilters(Vm& vm, Object* self, Args args);
Completion GetBlendMode(Vm& vm, Object* self, Args args);
Completion SetBlendMode(Vm& vm, Object* self, Args args);
Completion GetCacheAsBitmap(Vm& vm, Object* self, Args args);
Completion SetCacheAsBitmap(Vm& vm, Object* self, Args args);

}  // namespace orrivel::swf::avm1
