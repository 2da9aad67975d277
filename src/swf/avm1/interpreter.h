// Runs action bytes: frame scripts, event handlers and script functions.
#pragma once

#include <span>

#include "swf/avm1/object.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

// A block with no function around it: the clip is its target and its `this`.
void RunTopLevel(Vm& vm, std::span<const uint8_t> code, ClipObject* clip,
                 bool stopsWithClip = true);
// Calls a script function (one with code) with its closure.
Value CallScript(Vm& vm, FunctionObject* fn, const CallContext& call, Args args);

}  // namespace orrivel::swf::avm1
