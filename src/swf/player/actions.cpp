#include "swf/player/actions.h"

#include <deque>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/script/script_display.h"

namespace orrivel::swf {

namespace {

const char* MethodOf(uint32_t event) {
  switch (event) {
    case kClipEventLoad:
      return "onLoad";
    case kClipEventEnterFrame:
      return "onEnterFrame";
    case kClipEventUnload:
      return "onUnload";
    case kClipEventMouseMove:
      return "onMouseMove";
    case kClipEventMouseDown:
      return "onMouseDown";
    case kClipEventMouseUp:
      return "onMouseUp";
    case kClipEventKeyDown:
      return "onKeyDown";
    case kClipEventKeyUp:
      return "onKeyUp";
    case kClipEventData:
      return "onData";
    default:
      return nullptr;
  }
}

}  // namespace

void RunActions(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& owner,
                std::span<const uint8_t> bytes) {
  if (!owner || !ctx.vm) return;
  ctx.vm->RunBlock(bytes, ctx.vm->ClipFor(owner));
}

void DispatchClipEvent(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& clip,
                       uint32_t event) {
  if (!clip || !ctx.vm) return;
  avm1::Vm& vm = *ctx.vm;
  avm1::ClipObject* obj = vm.ClipFor(clip);
  const DisplayObject* placed = obj->Placement();
  const std::vector<ClipAction>* handlers = placed ? placed->clipActions : clip->clipActions;
  // A clip still being built is not yet on the stage to leave: its
  // initialize and construct handlers run to their end whatever they remove.
  const bool building = event == kClipEventInitialize || event == kClipEventConstruct;
  if (handlers) {
    for (const ClipAction& action : *handlers) {
      if (action.events & event) vm.RunBlock(action.actions, obj, !building);
    }
  }
  if (const char* method = MethodOf(event)) vm.CallMethod(obj, method, {});
}

void BroadcastEnterFrame(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& root) {
  std::vector<std::shared_ptr<TimelineInstance>> order;
  std::vector<std::shared_ptr<TimelineInstance>> work{root};
  while (!work.empty()) {
    auto t = std::move(work.back());
    work.pop_back();
    if (t->Button() || t->Removed()) continue;
    order.push_back(t);
    const DisplayList& list = t->List();
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->second.instance) work.push_back(it->second.instance);
    }
  }
  for (const auto& t : order) DispatchClipEvent(ctx, t, kClipEventEnterFrame);
}

namespace {

// The most urgent non-empty list of the queue; null when all are empty.
std::deque<QueuedActions>* NextList(TimelineContext& ctx) {
  for (auto* list : {&ctx.initActions, &ctx.constructs, &ctx.actions}) {
    if (!list->empty()) return list;
  }
  return nullptr;
}

// A removed clip its parent still holds until its unload handlers run.
bool AwaitsUnload(const std::shared_ptr<TimelineInstance>& clip) {
  const auto parent = clip ? clip->Parent() : nullptr;
  if (!parent || !clip->Removed()) return false;
  const auto it = parent->List().find(clip->depthHint);
  return it != parent->List().end() && it->second.instance == clip;
}

// Still in its parent's list (kept below every depth, or inside such a clip).
bool Held(const std::shared_ptr<TimelineInstance>& clip) {
  if (!AwaitsUnload(clip)) return false;
  const auto parent = clip->Parent();
  return !parent->Removed() || Held(parent);
}

void DetachTree(avm1::Vm& vm, TimelineInstance& t) {
  for (const auto& [depth, obj] : t.List()) {
    if (obj.instance) DetachTree(vm, *obj.instance);
    for (const DisplayObject& sharing : obj.above) {
      if (sharing.instance) DetachTree(vm, *sharing.instance);
    }
  }
  if (t.script) static_cast<avm1::ClipObject*>(t.script)->Detach(vm);
}

// A placed clip is built: its construct event, then the constructor of the
// class its sprite is registered to (a script's copy had that already).
void Construct(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& clip) {
  avm1::Vm& vm = *ctx.vm;
  const bool pending = clip->constructPending;
  avm1::ClipObject* obj = vm.ClipFor(clip);
  const DisplayObject* placed = obj->Placement();
  avm1::Object* const klass =
      placed ? avm1::RegisteredClass(vm, clip, placed->characterId) : nullptr;
  if (klass) {
    // A class registered after the clip's object was made (by an init block
    // later in the same frame) still takes the clip.
    const avm1::Value proto = vm.Get(klass, "prototype");
    if (proto.IsObject() && obj->proto != proto.object) {
      obj->proto = proto.object;
      vm.LinkInstance(obj, klass);
    }
  }
  DispatchClipEvent(ctx, clip, kClipEventConstruct);
  clip->constructPending = false;
  if (klass && pending) {
    // The constructor runs as under `new`, its super reaching the base class.
    vm.Call(avm1::Value::Obj(klass), avm1::CallContext{avm1::Value::Obj(obj), obj->proto, true},
            {});
  }
}

}  // namespace

void RunGotoConstructs(TimelineContext& ctx) {
  if (!ctx.vm) return;
  const auto take = [](std::deque<QueuedActions>& list, uint32_t event,
                       const std::shared_ptr<TimelineInstance>& clip) {
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (!it->bytes && it->clipEvent == event && it->target.lock() == clip) {
        list.erase(it);
        return true;
      }
    }
    return false;
  };
  const int depth = ctx.vm->CallDepth();
  // Each run may queue more; a bounded number of rounds keeps it finite.
  for (int round = 0; round < ctx.limits.maxActionBlocksPerTick; ++round) {
    std::shared_ptr<TimelineInstance> clip;
    for (const QueuedActions& q : ctx.constructs) {
      auto t = q.target.lock();
      if (t && t->buildAfterCallAt >= depth && !t->Removed()) {
        clip = std::move(t);
        break;
      }
    }
    if (!clip) return;
    clip->buildAfterCallAt = -1;
    if (take(ctx.initActions, kClipEventInitialize, clip))
      DispatchClipEvent(ctx, clip, kClipEventInitialize);
    if (take(ctx.constructs, kClipEventConstruct, clip)) Construct(ctx, clip);
  }
}

void RunActionQueue(TimelineContext& ctx) {
  for (int blocks = 0; blocks < ctx.limits.maxActionBlocksPerTick; ++blocks) {
    if (ctx.quit) {
      ctx.actions.clear();
      ctx.initActions.clear();
      ctx.constructs.clear();
      return;
    }
    std::deque<QueuedActions>* from = NextList(ctx);
    if (!from) break;
    QueuedActions next = std::move(from->front());
    from->pop_front();
    auto owner = next.target.lock();
    // A clip that left the stage runs nothing more but its unload handlers;
    // one placed and removed again by the same goto, kept for its unload
    // handlers, is still built first.
    const bool building =
        (next.clipEvent == kClipEventInitialize || next.clipEvent == kClipEventConstruct) &&
        AwaitsUnload(owner);
    // A clip the timeline placed still has its load event, even when
    // something took it away again before that event's turn came.
    const bool finishing = next.clipEvent == kClipEventUnload ||
                           (next.clipEvent == kClipEventLoad && next.placedByTimeline);
    if (!owner || (owner->Removed() && !finishing && !building)) continue;
    if (next.clipEvent == kClipEventInitialize || next.clipEvent == kClipEventConstruct)
      owner->buildAfterCallAt = -1;
    if (next.bytes) {
      RunActions(ctx, owner, *next.bytes);
    } else if (next.clipEvent == kClipEventConstruct) {
      Construct(ctx, owner);
    } else if (next.clipEvent) {
      DispatchClipEvent(ctx, owner, next.clipEvent);
      // A clip kept for its handlers (or inside one) is dropped with the
      // frame's other leavers; one already off the list answers by path now.
      if (next.clipEvent == kClipEventUnload && !Held(owner) && owner->script)
        static_cast<avm1::ClipObject*>(owner->script)->Detach(*ctx.vm);
    }
  }
  ctx.actions.clear();
  ctx.initActions.clear();
  ctx.constructs.clear();
}

void DropLeavingClips(TimelineContext& ctx) {
  std::vector<std::weak_ptr<TimelineInstance>> leaving;
  leaving.swap(ctx.leaving);
  for (const auto& weak : leaving) {
    const auto clip = weak.lock();
    const auto parent = clip ? clip->Parent() : nullptr;
    if (!parent || !AwaitsUnload(clip)) continue;
    // Children first, while the paths they are found again by still hold.
    if (ctx.vm) DetachTree(*ctx.vm, *clip);
    parent->DropRemovedChild(clip.get());
  }
}

void RunFrame(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& root) {
  std::vector<std::shared_ptr<TimelineInstance>> order;
  root->CollectExecutionOrder(order);
  for (const auto& clip : order) {
    if (clip->Removed()) continue;
    ctx.actions.push_back({clip, nullptr, kClipEventEnterFrame, nullptr});
    clip->StepOwnFrame();
  }
}

}  // namespace orrivel::swf
