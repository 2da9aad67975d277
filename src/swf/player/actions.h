// The bridge between the timelines and the script machine: frame actions,
// clip events and their handlers, run in the order the player runs them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "swf/player/timeline_instance.h"

namespace orrivel::swf {

// Runs one block of action bytes on the timeline that owns it.
void RunActions(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& owner,
                std::span<const uint8_t> bytes);

// Runs the queued blocks and events, and those they queue in turn, up to the
// per-frame cap; whatever is left over is dropped.
void RunActionQueue(TimelineContext& ctx);

// Runs a clip's handlers of one event: the clip actions of its placing tag
// for the event bit, then its method (onLoad, onEnterFrame ...) if any.
void DispatchClipEvent(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& clip,
                       uint32_t event);

// Runs the initialize and construct events still queued for the clips a
// script's goto placed: they wait for the next call the script makes to
// return, not for the script to end.
void RunGotoConstructs(TimelineContext& ctx);

// Removed clips kept for their unload handlers leave their parents' lists:
// from now on references to them answer by path. Runs as a frame starts.
void DropLeavingClips(TimelineContext& ctx);

// One movie frame of every clip, the newest first (the root last): each
// queues its enterFrame event and then moves on a frame, queueing that
// frame's actions and starting the clips it places.
void RunFrame(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& root);

// Sends enterFrame to every clip, children after their parent.
void BroadcastEnterFrame(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& root);

}  // namespace orrivel::swf
