#include "swf/player/timeline_instance.h"

#include "swf/player/script/text_field_object.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"

#include <algorithm>
#include <string>
#include <cctype>
#include <utility>
#include <variant>

namespace orrivel::swf {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

const Character* FindCharacter(const Movie& movie, uint16_t id) {
  auto it = movie.characters.find(id);
  return it == movie.characters.end() ? nullptr : &it->second;
}

bool HasOwnTimeline(const Movie& movie, uint16_t id) {
  const Character* c = FindCharacter(movie, id);
  return c && (std::holds_alternative<SpriteDefinition>(*c) ||
               std::holds_alternative<ButtonDefinition>(*c));
}

bool IsSprite(const Movie& movie, uint16_t id) {
  const Character* c = FindCharacter(movie, id);
  return c && std::holds_alternative<SpriteDefinition>(*c);
}

// Whether a move may swap the character at a depth: only when the old and
// the new are both plain shapes or morphs (a shape tween hands over to its
// end shape so); sprites, bitmaps and text keep theirs.
bool SwapsCharacter(const Movie& movie, uint16_t from, uint16_t to) {
  const Character* x = FindCharacter(movie, from);
  const Character* y = FindCharacter(movie, to);
  if (!x || !y) return !x;  // an unknown old character gives way to a known one
  const auto shapeLike = [](const Character& c) {
    return std::holds_alternative<ShapeDefinition>(c) ||
           std::holds_alternative<MorphShapeDefinition>(c);
  };
  return shapeLike(*x) && shapeLike(*y);
}

// A button moved over by another button keeps its instance and name but
// shows the new button.
bool ButtonOverButton(const Movie& movie, uint16_t from, uint16_t to) {
  const Character* x = FindCharacter(movie, from);
  const Character* y = FindCharacter(movie, to);
  return x && y && std::holds_alternative<ButtonDefinition>(*x) &&
         std::holds_alternative<ButtonDefinition>(*y);
}

// The timeline of a clip a script made: one empty frame.
const Timeline& EmptyTimeline() {
  static const Timeline empty{1, {}, {}};
  return empty;
}

bool TakeBack(const Movie& movie, DisplayList& list, DisplayList& pool, const PlaceObject& place);

// Keeps a removed clip reachable for its unload handlers below every depth:
// at script depth -32769 less its old one. Clips removed from one depth
// all report that depth; each still takes its own entry further down.
void ParkLeaving(DisplayList& list, DisplayObject moved, int32_t fromDepth) {
  int32_t key = -fromDepth - 1;
  moved.depth = key;
  moved.above.clear();
  while (list.contains(key)) --key;
  if (moved.instance) moved.instance->depthHint = key;
  list.emplace(key, std::move(moved));
}

}  // namespace

std::shared_ptr<TimelineInstance> TimelineInstance::Create(TimelineContext& ctx,
                                                           const Timeline* timeline,
                                                           std::weak_ptr<TimelineInstance> parent,
                                                           int nesting, bool isRoot) {
  return std::shared_ptr<TimelineInstance>(
      new TimelineInstance(ctx, timeline, std::move(parent), nesting, isRoot));
}

TimelineInstance::TimelineInstance(TimelineContext& ctx, const Timeline* timeline,
                                   std::weak_ptr<TimelineInstance> parent, int nesting, bool isRoot)
    : ctx_(ctx),
      movie_(parent.lock() ? parent.lock()->movie_ : ctx.movie),
      timeline_(timeline),
      parent_(std::move(parent)),
      nesting_(nesting),
      isRoot_(isRoot),
      bornTick_(ctx.tick),
      serial_(++ctx.serial) {}

TimelineInstance::~TimelineInstance() {
  ctx_.liveObjects -= list_.size();
  // Sounds a script started for this clip end with it.
  if (ctx_.sound) ctx_.sound->StopOwnedSounds(this, 0);
}

int TimelineInstance::DeclaredFrames() const {
  return timeline_ ? timeline_->declaredFrameCount : 1;
}

int TimelineInstance::FrameCount() const {
  if (!timeline_ || timeline_->frames.empty()) return 1;
  return static_cast<int>(timeline_->frames.size());
}

std::size_t TimelineInstance::ListBudget() const {
  const std::size_t cap = ctx_.limits.maxDisplayObjects;
  const std::size_t used = ctx_.liveObjects + ctx_.pendingObjects;
  return list_.size() + (cap > used ? cap - used : 0);
}

void TimelineInstance::Start() {
  current_ = 0;
  DisplayList next;
  ApplyFrameTags(0, next, true, true);
  Commit(std::move(next), false);
}

void TimelineInstance::StartButton(const ButtonDefinition& button) {
  button_ = &button;
  ShowButtonState(ButtonState::Up);
}

bool TimelineInstance::SetButtonState(ButtonState state) {
  if (!button_ || state == buttonState_) return false;
  if (const auto e = ButtonSoundEventFor(int(buttonState_), int(state)); e && ctx_.sound)
    ctx_.sound->OnButtonSound(*movie_, button_->id, *e);
  ShowButtonState(state);
  return true;
}

void TimelineInstance::ShowButtonState(ButtonState state) {
  buttonState_ = state;
  DisplayList next;
  const std::size_t budget = ListBudget();
  for (const ButtonRecord& rec : button_->records) {
    const bool shown = state == ButtonState::Up     ? rec.stateUp
                       : state == ButtonState::Over ? rec.stateOver
                                                    : rec.stateDown;
    if (!shown) continue;
    if (!next.contains(rec.depth) && next.size() >= budget) break;
    DisplayObject obj;
    obj.characterId = rec.characterId;
    obj.depth = rec.depth;
    obj.matrix = rec.matrix;
    obj.colorTransform = button_->version >= 2 ? rec.colorTransform
                                               : button_->colorTransform.value_or(ColorTransform{});
    obj.blendMode = rec.blendMode;
    next.insert_or_assign(rec.depth, std::move(obj));
  }
  Commit(std::move(next), true);
}

void TimelineInstance::ApplyFrameTags(int frame, DisplayList& list, bool queueActions,
                                      bool materialize, DisplayList* pool) {
  if (!timeline_ || frame < 0 || frame >= static_cast<int>(timeline_->frames.size())) return;
  const std::size_t budget = ListBudget();
  std::size_t pending = 0;  // objects added here, counted until the list commits
  for (const ControlTag& tag : timeline_->frames[frame].tags) {
    ++ctx_.tagsThisTick;
    if (const auto* place = std::get_if<PlaceObject>(&tag)) {
      if (pool && !place->move && TakeBack(*movie_, list, *pool, *place)) {
        // The name an unnamed placement would make is used up all the same.
        const DisplayObject& kept = list.at(place->depth);
        if (!place->name && (kept.instance || kept.text)) ++ctx_.instanceCount;
        continue;
      }
      // Sprites started by earlier tags of this frame took from the budget.
      const std::size_t before = list.size();
      PlaceRules rules;
      rules.keepOccupied = movie_->header.version >= 6;
      if (place->move && place->characterId) {
        const auto it = list.find(place->depth);
        rules.swapCharacter = it == list.end() ||
                              SwapsCharacter(*movie_, it->second.characterId, *place->characterId);
        if (it != list.end() && it->second.instance &&
            ButtonOverButton(*movie_, it->second.characterId, *place->characterId)) {
          ApplyPlaceObject(list, *place, ListBudget(), rules);
          it->second.characterId = *place->characterId;
          continue;
        }
      }
      ApplyPlaceObject(list, *place, materialize ? ListBudget() : budget, rules);
      pending += list.size() - before;
      ctx_.pendingObjects += list.size() - before;
      // A sprite placed going forward starts at once, so its first frame's
      // actions queue before the actions that follow in this frame.
      if (materialize) {
        auto it = list.find(place->depth);
        if (it != list.end() && !it->second.instance &&
            HasOwnTimeline(*movie_, it->second.characterId))
          Materialize(it->second);
      }
    } else if (const auto* remove = std::get_if<RemoveObject>(&tag)) {
      // Unload events queue in the order the tags remove the clips.
      if (auto it = list.find(remove->depth); ctx_.scripts && it != list.end()) {
        auto gone = it->second.instance;
        QueueUnload(gone);
        // A clip with unload handlers stays reachable, below every depth,
        // until they have run.
        if (gone && gone->Removed() && HasUnloadHandler(*gone)) {
          ctx_.leaving.push_back(gone);
          ParkLeaving(list, TakeFromList(list, it), remove->depth);
          continue;
        }
      }
      ApplyRemoveObject(list, *remove);
    } else if (const auto* action = std::get_if<DoAction>(&tag)) {
      if (action->init) {
        if (InitActionReady(*action))
          ctx_.initActions.push_back({weak_from_this(), &action->actions, 0, nullptr});
      } else if (queueActions) {
        ctx_.actions.push_back({weak_from_this(), &action->actions, 0, nullptr});
      }
    }
    // A later SetBackgroundColor changes nothing: the movie's first one holds.
  }
  ctx_.pendingObjects -= pending;
  if (isRoot_ && movie_ == ctx_.movie) ctx_.framesReached = std::max(ctx_.framesReached, frame);
  if (queueActions && ctx_.sound) ctx_.sound->OnFrame(*movie_, *timeline_, frame, this);
}

namespace {

// A placement met while playing the timeline again keeps the object that
// already shows the same character at that depth.
bool TakeBack(const Movie& movie, DisplayList& list, DisplayList& pool, const PlaceObject& place) {
  if (!place.characterId) return false;
  const auto same = [&](const DisplayObject& obj) {
    const bool sprites = IsSprite(movie, obj.characterId) && IsSprite(movie, *place.characterId);
    return SamePlacement(obj, place, sprites);
  };
  if (auto it = list.find(place.depth); it != list.end()) {
    if (!same(it->second)) return false;
    ApplyPlaceToExisting(it->second, place);
    return true;
  }
  auto old = pool.find(place.depth);
  if (old == pool.end() || !same(old->second)) return false;
  auto node = pool.extract(old);
  ApplyPlaceToExisting(node.mapped(), place);
  list.insert(std::move(node));
  return true;
}

}  // namespace

bool TimelineInstance::InitActionReady(const DoAction& action) {
  // The sprite must be known: defined earlier in the file, or in a frame
  // of the main timeline that has already been played through. A block met
  // too early is skipped and may run when its frame comes again.
  const auto* sprite = std::get_if<SpriteDefinition>(FindCharacter(*movie_, action.spriteId));
  if (!sprite) return false;
  if (!action.spriteDefinedBefore && movie_ == ctx_.movie &&
      static_cast<int>(sprite->definedInFrame) > ctx_.framesReached)
    return false;
  // Each sprite's initialization runs once per movie.
  return ctx_.initDone.insert({movie_, action.spriteId}).second;
}

void TimelineInstance::Commit(DisplayList next, bool rebuilt) {
  const Movie& movie = *movie_;
  if (rebuilt) {
    // What scripts placed stays where it is; the timeline's own object at
    // such a depth is not shown.
    for (auto& [depth, obj] : list_) {
      if (obj.scriptDepth) next.insert_or_assign(depth, obj);
    }
    // A rebuilt list keeps the old instance where the same character still
    // sits at the same depth, so a sprite's own state survives the goto.
    for (auto& [depth, obj] : next) {
      if (obj.instance) continue;
      auto old = list_.find(depth);
      if (old != list_.end() && old->second.characterId == obj.characterId) {
        obj.instance = old->second.instance;
        obj.text = old->second.text;
        // An unnamed instance keeps the name the player made up for it.
        if (obj.name.empty()) obj.name = old->second.name;
      }
    }
  }
  ctx_.liveObjects = ctx_.liveObjects - list_.size() + next.size();
  DisplayList old = std::exchange(list_, std::move(next));
  if (ctx_.scripts) {
    for (auto& [depth, obj] : old) {
      if (!obj.instance) continue;
      auto now = list_.find(depth);
      if (now != list_.end() && now->second.instance == obj.instance) continue;
      const auto& gone = obj.instance;
      // Still placed elsewhere, or sharing its depth with a newer object.
      const bool moved = std::any_of(list_.begin(), list_.end(), [&](const auto& e) {
        return e.second.instance == gone ||
               std::any_of(e.second.above.begin(), e.second.above.end(),
                           [&](const DisplayObject& o) { return o.instance == gone; });
      });
      if (!moved) QueueUnload(gone);
    }
  }
  std::vector<std::shared_ptr<EditText>> bound;  // new fields showing a variable
  for (auto& [depth, obj] : list_) {
    if (!obj.instance && HasOwnTimeline(movie, obj.characterId)) Materialize(obj);
    if (!obj.text) {
      AttachEditText(obj);
      if (obj.text && !obj.text->variable.empty()) bound.push_back(obj.text);
    }
  }
  // After the walk: the variable's owner may run script that changes the list.
  for (const auto& field : bound) {
    if (ctx_.vm) avm1::BindTextVariable(*ctx_.vm, *field);
  }
  // Instances that left the list die with `old` here (or after their unload).
}

void TimelineInstance::MarkRemoved(std::vector<std::shared_ptr<TimelineInstance>>& order) {
  removed_ = true;
  ++ctx_.removals;
  for (auto& [depth, obj] : list_) {
    if (obj.instance && !obj.instance->removed_) obj.instance->MarkRemoved(order);
    for (DisplayObject& sharing : obj.above) {
      if (sharing.instance && !sharing.instance->removed_) sharing.instance->MarkRemoved(order);
    }
  }
  order.push_back(shared_from_this());
}

bool TimelineInstance::HasUnloadHandler(const TimelineInstance& clip) const {
  if (clip.clipActions) {
    for (const ClipAction& a : *clip.clipActions) {
      if (a.events & kClipEventUnload) return true;
    }
  }
  // An onUnload method is an event handler from SWF 6 on.
  if (clip.script && ctx_.vm && ctx_.vm->version >= 6 &&
      !ctx_.vm->Get(clip.script, "onUnload").IsUndefined())
    return true;
  for (const auto& [depth, obj] : clip.list_) {
    if (obj.instance && obj.instance->timeline_ && HasUnloadHandler(*obj.instance)) return true;
    for (const DisplayObject& sharing : obj.above) {
      if (sharing.instance && HasUnloadHandler(*sharing.instance)) return true;
    }
  }
  return false;
}

void TimelineInstance::DropRemovedChild(const TimelineInstance* child) {
  if (!child->Removed()) return;
  for (auto it = list_.begin(); it != list_.end(); ++it) {
    if (it->second.instance.get() == child) {
      list_.erase(it);
      --ctx_.liveObjects;
      return;
    }
  }
}

void TimelineInstance::DropQuietChildren() {
  for (auto it = list_.begin(); it != list_.end();) {
    const auto& child = it->second.instance;
    if (child && !HasUnloadHandler(*child)) {
      if (child->script && ctx_.vm) static_cast<avm1::ClipObject*>(child->script)->Detach(*ctx_.vm);
      const std::size_t before = list_.size();
      it = list_.erase(it);
      ctx_.liveObjects -= before - list_.size();
      continue;
    }
    if (child) child->DropQuietChildren();
    ++it;
  }
}

void TimelineInstance::QueueUnload(const std::shared_ptr<TimelineInstance>& gone) {
  if (!gone || gone->removed_) return;
  // A script's goto that takes away a clip with no unload handler leaves its
  // references to find whatever now holds its path at once.
  const bool quiet = ctx_.scriptGotoDepth >= 0 && ctx_.vm && !HasUnloadHandler(*gone);
  std::vector<std::shared_ptr<TimelineInstance>> order;
  gone->MarkRemoved(order);
  for (auto& t : order) {
    if (quiet) {
      if (t->script) static_cast<avm1::ClipObject*>(t->script)->Detach(*ctx_.vm);
      continue;
    }
    if (t->timeline_) ctx_.actions.push_back({t, nullptr, kClipEventUnload, t});
  }
  // While the handlers run, the clips they do not wait for are gone already.
  if (!quiet && ctx_.vm && HasUnloadHandler(*gone)) gone->DropQuietChildren();
}

void TimelineInstance::Materialize(DisplayObject& obj) {
  if (nesting_ + 1 > ctx_.limits.maxNesting) return;  // shown empty
  // Scripts reach unnamed instances by the names the player makes up.
  if (obj.name.empty() && !obj.named) obj.name = "instance" + std::to_string(++ctx_.instanceCount);
  const Character* c = FindCharacter(*movie_, obj.characterId);
  if (const auto* sprite = std::get_if<SpriteDefinition>(c)) {
    obj.instance = Create(ctx_, &sprite->timeline, weak_from_this(), nesting_ + 1, false);
    obj.instance->depthHint = obj.depth;
    obj.instance->lastName_ = obj.instance->firstName_ = obj.name;
    obj.instance->clipActions = obj.clipActions;
    if (ctx_.scripts) {
      // Initialize and construct events run before any frame action; the
      // load event comes before the clip's own first frame actions.
      obj.instance->constructPending = true;
      obj.instance->buildAfterCallAt = ctx_.scriptGotoDepth;
      ctx_.initActions.push_back({obj.instance, nullptr, kClipEventInitialize, nullptr});
      ctx_.constructs.push_back({obj.instance, nullptr, kClipEventConstruct, nullptr});
      ctx_.actions.push_back({obj.instance, nullptr, kClipEventLoad, nullptr, true});
    }
    obj.instance->Start();
  } else if (const auto* button = std::get_if<ButtonDefinition>(c)) {
    obj.instance = Create(ctx_, nullptr, weak_from_this(), nesting_ + 1, false);
    obj.instance->StartButton(*button);
  }
}

void TimelineInstance::AttachEditText(DisplayObject& obj) {
  const auto* def = std::get_if<EditTextDefinition>(FindCharacter(*movie_, obj.characterId));
  if (!def) return;
  if (obj.name.empty() && !obj.named) obj.name = "instance" + std::to_string(++ctx_.instanceCount);
  obj.text = std::make_shared<EditText>(ctx_, *def);
  obj.text->parent = weak_from_this();
  obj.text->depthHint = obj.depth;
}

void TimelineInstance::Tick() { Advance(true); }

void TimelineInstance::StepOwnFrame() {
  if (!removed_) Advance(false);
}

void TimelineInstance::CollectExecutionOrder(std::vector<std::shared_ptr<TimelineInstance>>& out) {
  const std::size_t first = out.size();
  std::vector<TimelineInstance*> work{this};
  while (!work.empty()) {
    TimelineInstance* t = work.back();
    work.pop_back();
    if (t->timeline_) out.push_back(t->shared_from_this());
    for (auto& [depth, obj] : t->list_) {
      if (obj.instance) work.push_back(obj.instance.get());
      for (const DisplayObject& sharing : obj.above) {
        if (sharing.instance) work.push_back(sharing.instance.get());
      }
    }
  }
  std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
            [](const auto& a, const auto& b) { return a->serial_ > b->serial_; });
}

void TimelineInstance::Advance(bool recurse) {
  if (removed_) return;
  // Instances placed during this frame already show their first frame.
  if (bornTick_ == ctx_.tick) return;
  if (timeline_ && playing_ && FrameCount() > 1) {
    if (current_ + 1 >= FrameCount()) {
      // A movie whose last frame never finished loading waits there.
      if (!timeline_->lastFrameIncomplete) Rewind(0);
    } else {
      DisplayList list = list_;
      ApplyFrameTags(++current_, list, true, true);
      Commit(std::move(list), false);
    }
  }
  if (!recurse) return;
  std::vector<std::shared_ptr<TimelineInstance>> children;
  for (auto it = list_.rbegin(); it != list_.rend(); ++it) {
    const auto& above = it->second.above;
    for (auto o = above.rbegin(); o != above.rend(); ++o) {
      if (o->instance) children.push_back(o->instance);
    }
    if (it->second.instance) children.push_back(it->second.instance);
  }
  for (const auto& child : children) child->Tick();
}

bool TimelineInstance::GotoFrame(int frame) {
  if (!timeline_) return false;
  // A goto past the last frame stops there without running its actions.
  const bool runActions = frame < FrameCount();
  frame = std::clamp(frame, 0, FrameCount() - 1);
  if (frame == current_ || ctx_.tagsThisTick >= ctx_.limits.maxTagsPerTick) return false;
  if (frame < current_) {
    Rewind(frame, runActions);
    return true;
  }
  DisplayList list = list_;
  for (int f = current_ + 1; f <= frame; ++f)
    ApplyFrameTags(f, list, f == frame && runActions, true);
  current_ = frame;
  Commit(std::move(list), false);
  return true;
}

void TimelineInstance::Rewind(int frame, bool runActions) {
  // The depths the timeline fills by the frame gone back to.
  std::set<int32_t> filled;
  for (int f = 0; f <= frame && timeline_ && f < static_cast<int>(timeline_->frames.size()); ++f) {
    for (const ControlTag& tag : timeline_->frames[f].tags) {
      if (const auto* place = std::get_if<PlaceObject>(&tag)) {
        if (place->characterId) filled.insert(place->depth);
      } else if (const auto* remove = std::get_if<RemoveObject>(&tag)) {
        filled.erase(remove->depth);
      }
    }
  }
  // What scripts own stays: everything above the timeline's depths, and
  // swapped timeline clips where that frame has an object. The rest may be
  // taken back by the frames played again; what is not taken back leaves.
  DisplayList keep, pool;
  for (const auto& [depth, obj] : list_) {
    const bool kept =
        depth >= kScriptDepthBase || (obj.swapped && !obj.byScript && filled.contains(depth));
    (kept ? keep : pool).emplace(depth, obj);
  }
  for (int f = 0; f <= frame; ++f) ApplyFrameTags(f, keep, f == frame && runActions, true, &pool);
  // Clips left behind with unload handlers stay reachable below every depth
  // until those have run, as after a RemoveObject.
  for (auto& [depth, obj] : pool) {
    const auto gone = obj.instance;
    if (!ctx_.scripts || !gone || depth < 0 || gone->Removed() || !HasUnloadHandler(*gone))
      continue;
    QueueUnload(gone);
    ctx_.leaving.push_back(gone);
    ParkLeaving(keep, std::move(obj), depth);
  }
  current_ = frame;
  Commit(std::move(keep), false);
}

std::vector<const std::vector<uint8_t>*> TimelineInstance::FrameActions(int frame) const {
  std::vector<const std::vector<uint8_t>*> out;
  if (!timeline_ || frame < 0 || frame >= static_cast<int>(timeline_->frames.size())) return out;
  for (const ControlTag& tag : timeline_->frames[frame].tags) {
    const auto* action = std::get_if<DoAction>(&tag);
    if (action && !action->init) out.push_back(&action->actions);
  }
  return out;
}

std::shared_ptr<TimelineInstance> TimelineInstance::PlaceClip(uint16_t characterId, int32_t depth,
                                                              const std::string& name,
                                                              const DisplayObject* like) {
  if (nesting_ + 1 > ctx_.limits.maxNesting) return nullptr;
  if (!list_.contains(depth) && ctx_.liveObjects >= ctx_.limits.maxDisplayObjects) return nullptr;
  DisplayObject obj;
  if (like) obj = *like;
  obj.instance.reset();
  obj.characterId = characterId;
  obj.depth = depth;
  obj.name = name;
  obj.scripted = true;
  obj.scriptDepth = true;
  obj.byScript = true;
  obj.swapped = false;
  const Character* c = FindCharacter(*movie_, characterId);
  const auto* sprite = std::get_if<SpriteDefinition>(c);
  // A button's copy (or an attached button) is a button again.
  const auto* button = std::get_if<ButtonDefinition>(c);
  obj.instance = Create(ctx_,
                        sprite   ? &sprite->timeline
                        : button ? nullptr
                                 : &EmptyTimeline(),
                        weak_from_this(), nesting_ + 1, false);
  auto instance = obj.instance;
  instance->depthHint = depth;
  instance->lastName_ = instance->firstName_ = name;
  instance->clipActions = obj.clipActions;
  if (auto old = list_.find(depth); old != list_.end()) {
    QueueUnload(old->second.instance);
  } else {
    ++ctx_.liveObjects;
  }
  const bool handlers = obj.clipActions != nullptr;
  list_.insert_or_assign(depth, std::move(obj));
  // A copy's initialize and construct handlers run once the running script is
  // done; every new clip's load event waits for the end of the frame's queue.
  if (button) {
    instance->StartButton(*button);
    return instance;
  }
  if (ctx_.scripts && handlers) {
    ctx_.initActions.push_back({instance, nullptr, kClipEventInitialize, nullptr});
    ctx_.initActions.push_back({instance, nullptr, kClipEventConstruct, nullptr});
  }
  if (ctx_.scripts) ctx_.actions.push_back({instance, nullptr, kClipEventLoad, nullptr});
  instance->Start();
  return instance;
}

bool TimelineInstance::PlaceBitmap(int32_t depth, std::shared_ptr<ScriptBitmap> bitmap,
                                   bool smooth) {
  if (!list_.contains(depth) && ctx_.liveObjects >= ctx_.limits.maxDisplayObjects) return false;
  DisplayObject obj;
  obj.depth = depth;
  obj.scripted = obj.scriptDepth = obj.byScript = true;
  obj.bitmap = std::move(bitmap);
  obj.smoothBitmap = smooth;
  if (auto old = list_.find(depth); old != list_.end()) {
    QueueUnload(old->second.instance);
  } else {
    ++ctx_.liveObjects;
  }
  list_.insert_or_assign(depth, std::move(obj));
  return true;
}

void TimelineInstance::ReplaceContent(const Movie* movie) {
  Commit(DisplayList{}, false);
  if (movie) movie_ = movie;
  timeline_ = movie ? &movie->timeline : &EmptyTimeline();
  button_ = nullptr;
  playing_ = true;
  current_ = 0;
  bornTick_ = ctx_.tick;
  if (movie) Start();
}

bool TimelineInstance::RemoveDepth(int32_t depth) {
  auto it = list_.find(depth);
  if (it == list_.end()) return false;
  auto gone = it->second.instance;
  if (ctx_.scripts) QueueUnload(gone);
  // As for a removing tag: a clip with unload handlers stays reachable
  // below every depth until they have run.
  if (gone && gone->Removed() && HasUnloadHandler(*gone)) {
    ctx_.leaving.push_back(gone);
    const std::size_t before = list_.size();
    ParkLeaving(list_, TakeFromList(list_, it), depth);
    ctx_.liveObjects = ctx_.liveObjects + list_.size() - before;
    return true;
  }
  const std::size_t before = list_.size();
  TakeFromList(list_, it);
  ctx_.liveObjects -= before - list_.size();
  return false;
}

int TimelineInstance::FindLabel(std::string_view label) const {
  if (!timeline_) return -1;
  for (std::size_t i = 0; i < timeline_->frames.size(); ++i) {
    const Frame& f = timeline_->frames[i];
    if (f.label && EqualsNoCase(*f.label, label)) return static_cast<int>(i);
    for (const std::string& other : f.otherLabels) {
      if (EqualsNoCase(other, label)) return static_cast<int>(i);
    }
  }
  return -1;
}

std::shared_ptr<TimelineInstance> TimelineInstance::ChildByName(std::string_view name) const {
  for (const auto& [depth, obj] : list_) {
    if (obj.instance && EqualsNoCase(obj.name, name)) return obj.instance;
  }
  return nullptr;
}

}  // namespace orrivel::swf
