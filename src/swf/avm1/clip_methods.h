// The MovieClip methods written beside the classes whose work they do
// (drawing, dragging, text, loading, transforms, filters). The one list of
// MovieClip.prototype is in builtins_clip.cpp.
#pragma once

#include <span>

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

// builtins_drawing.cpp
Completion BeginFill(Vm& vm, const CallContext& call, Args args);
Completion BeginGradientFill(Vm& vm, const CallContext& call, Args args);
Completion SetLineStyle(Vm& vm, const CallContext& call, Args args);
Completion LineGradientStyle(Vm& vm, const CallContext& call, Args args);
Completion MoveTo(Vm& vm, const CallContext& call, Args args);
Completion LineTo(Vm& vm, const CallContext& call, Args args);
Completion CurveTo(Vm& vm, const CallContext& call, Args args);
Completion EndFill(Vm& vm, const CallContext& call, Args args);
Completion Clear(Vm& vm, const CallContext& call, Args args);
Completion GetBounds(Vm& vm, const CallContext& call, Args args);
Completion GetRect(Vm& vm, const CallContext& call, Args args);
Completion LocalToGlobal(Vm& vm, const CallContext& call, Args args);
Completion GlobalToLocal(Vm& vm, const CallContext& call, Args args);
Completion HitTest(Vm& vm, const CallContext& call, Args args);
Completion SetMask(Vm& vm, const CallContext& call, Args args);
// builtins_bitmap.cpp
Completion AttachBitmap(Vm& vm, const CallContext& call, Args args);
Completion BeginBitmapFill(Vm& vm, const CallContext& call, Args args);
// builtins_input.cpp
Completion StartDrag(Vm& vm, const CallContext& call, Args args);
Completion StopDrag(Vm& vm, const CallContext& call, Args args);
Completion ButtonTabIndex(Vm& vm, const CallContext& call, Args args);
Completion SetButtonTabIndex(Vm& vm, const CallContext& call, Args args);
// builtins_textfield.cpp, builtins_textsnapshot.cpp
Completion CreateField(Vm& vm, const CallContext& call, Args args);
Completion GetTextSnapshot(Vm& vm, const CallContext& call, Args args);
// builtins_loader.cpp
Completion ClipLoadMovie(Vm& vm, const CallContext& call, Args args);
Completion ClipGetUrl(Vm& vm, const CallContext& call, Args args);
Completion ClipUnloadMovie(Vm& vm, const CallContext& call, Args args);
Completion ClipLoadVariables(Vm& vm, const CallContext& call, Args args);
// builtins_geom.cpp, builtins_filters.cpp
Completion ClipTransform(Vm& vm, const CallContext& call, Args args);
Completion ClipSetTransform(Vm& vm, const CallContext& call, Args args);
Completion GetFilters(Vm& vm, const CallContext& call, Args args);
Completion SetFilters(Vm& vm, const CallContext& call, Args args);
Completion GetBlendMode(Vm& vm, const CallContext& call, Args args);
Completion SetBlendMode(Vm& vm, const CallContext& call, Args args);
Completion GetCacheAsBitmap(Vm& vm, const CallContext& call, Args args);
Completion SetCacheAsBitmap(Vm& vm, const CallContext& call, Args args);
Completion GetOpaqueBackground(Vm& vm, const CallContext& call, Args args);
Completion GetScrollRect(Vm& vm, const CallContext& call, Args args);
Completion SetScrollRect(Vm& vm, const CallContext& call, Args args);
Completion SetOpaqueBackground(Vm& vm, const CallContext& call, Args args);

}  // namespace orrivel::swf::avm1
