// A small AVM1 interpreter: the timeline-control actions (play, stop, the
// gotos, tell-target) with just enough of a stack for a pushed frame number
// or label. Every other action is read past safely.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "swf/player/timeline_instance.h"

namespace orrivel::swf {

// Runs one block of action bytes on the timeline that owns it.
void RunActions(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& owner,
                std::span<const uint8_t> bytes);

// Runs the queued blocks, and the blocks their gotos queue in turn, up to the
// per-frame cap; whatever is left over is dropped.
void RunActionQueue(TimelineContext& ctx);

}  // namespace orrivel::swf
