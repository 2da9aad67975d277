// MovieClip methods: timeline control, depth and instance management.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "swf/avm1/clip_methods.h"
#include "swf/player/script/timeline_clip.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"
#include "swf/player/timeline_instance.h"
#include "swf/player/script/script_display.h"
#include "swf/player/script/text_field_object.h"

namespace orrivel::swf::avm1 {

namespace {

ClipObject* Clip(Object* self) {
  return self && self->IsClip() ? static_cast<ClipObject*>(self) : nullptr;
}

Completion Play(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  ClipSetPlaying(Clip(self), true);
  return {};
}
Completion Stop(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  ClipSetPlaying(Clip(self), false);
  return {};
}
Completion GotoAndPlay(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) ClipGotoValue(vm, Clip(self), args[0], true);
  return {};
}
Completion GotoAndStop(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) ClipGotoValue(vm, Clip(self), args[0], false);
  return {};
}
Completion NextFrame(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  ClipStep(Clip(self), 1);
  return {};
}
Completion PrevFrame(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  ClipStep(Clip(self), -1);
  return {};
}

// A clip made by a script is built at once: its onConstruct handler runs
// before the maker returns. What it throws stops there, reported as uncaught.
ClipObject* Constructed(Vm& vm, ClipObject* made) {
  if (!made) return nullptr;
  vm.CallMethod(made, "onConstruct", {});
  if (vm.Throwing()) {
    const Value thrown = vm.Catch();
    if (vm.traceSink) vm.traceSink("Warning: Uncaught exception, " + vm.ToString(thrown));
  }
  return made;
}

bool SameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The script object of a clip a method just placed: the init object's
// properties are set before its class constructor runs, so the constructor
// sees them.
ClipObject* BuiltWith(Vm& vm, const std::shared_ptr<TimelineInstance>& made, const Value& init) {
  if (!made) return nullptr;
  // A button takes nothing from an init object.
  if (!init.IsObject() || made->script || made->Button()) return vm.ClipFor(made);
  TimelineClip* obj = vm.New<TimelineClip>();
  obj->proto = vm.clipProto;
  obj->instance = made;
  made->script = obj;
  const DisplayObject* placed = obj->Placement();
  Object* cls = placed ? RegisteredClass(vm, made, placed->characterId) : nullptr;
  if (cls) {
    const Value proto = vm.Get(cls, "prototype");
    if (proto.IsObject()) obj->proto = proto.object;
    vm.LinkInstance(obj, cls);
  }
  for (Property& p : init.object->Properties()) vm.Set(obj, p.name, p.value);
  if (cls) vm.Call(Value::Obj(cls), CallContext{Value::Obj(obj), obj->proto, true}, {});
  return obj;
}

Completion Duplicate(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  // The name converts before the depth.
  const std::string name = vm.ToString(Arg(args, 0));
  const double depth = vm.ToNumber(Arg(args, 1));
  auto made = DuplicateInstance(Clip(self), name, depth);
  return Value::Obj(Constructed(vm, BuiltWith(vm, made, Arg(args, 2))));
}

Completion Remove(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  // Borrowed by a text field, the method removes the field.
  if (vm.display && vm.display->RemoveField(self)) return {};
  ClipRemove(vm, Clip(self));
  return {};
}

Completion CreateEmpty(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = Clip(self);
  auto t = clip ? clip->Instance() : nullptr;
  int32_t depth = 0;
  // The depth is taken as a 32-bit integer: 2^32 wraps to 0, none reads as
  // 0. Unlike the other ways of making clips, any such depth is taken, even
  // among the timeline's own or above the highest others may use.
  const int32_t asked = ToInt32(vm.ToNumber(Arg(args, 1)));
  if (!t || asked > INT32_MAX - 16384) return {};
  depth = asked + 16384;
  auto made = t->PlaceClip(0, depth, vm.ToString(Arg(args, 0)), nullptr);
  return Value::Obj(made ? Constructed(vm, vm.ClipFor(made)) : nullptr);
}

Completion AttachMovie(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = Clip(self);
  auto t = clip ? clip->Instance() : nullptr;
  // The name is looked up among the exports of the clip's own movie.
  const Movie& movie = t ? t->GetMovie() : *vm.movie;
  // Linkage names are compared without case.
  const std::string asked = vm.ToString(Arg(args, 0));
  auto it = movie.exports.find(asked);
  for (auto e = movie.exports.begin(); it == movie.exports.end() && e != movie.exports.end(); ++e) {
    if (SameLetters(e->first, asked)) it = e;
  }
  int32_t depth = 0;
  if (!t || it == movie.exports.end() || !ClipDepthKey(vm.ToNumber(Arg(args, 2)), depth)) return {};
  // The main movie's names exported in a frame not yet reached are unknown.
  const auto frame = movie.exportFrames.find(it->first);
  if (&movie == vm.movie && frame != movie.exportFrames.end() &&
      static_cast<int>(frame->second) > DisplayOf(vm).ctx.framesReached)
    return {};
  auto made = t->PlaceClip(it->second, depth, vm.ToString(Arg(args, 1)), nullptr);
  if (!made) return {};
  return Value::Obj(Constructed(vm, BuiltWith(vm, made, Arg(args, 3))));
}

Completion GetDepth(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  ClipObject* clip = Clip(self);
  auto t = clip ? clip->Instance() : nullptr;
  // A level's root sits at its level number on the bottom of the depths.
  if (t && t->IsRoot()) return Value::Num(vm.LevelOf(t.get()) - 16384.0);
  const DisplayObject* p = clip ? clip->Placement() : nullptr;
  return p ? Value::Num(p->depth - 16384.0) : Value{};
}

// The clip at a depth; a shape or text there answers with this clip.
Completion InstanceAtDepth(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = Clip(self);
  auto t = clip ? clip->Instance() : nullptr;
  int32_t depth = 0;
  if (!t || args.empty() || !ClipDepthKey(vm.ToNumber(args[0]), depth)) return {};
  const auto it = t->List().find(depth);
  if (it == t->List().end()) return {};
  // An edit text field answers with its own object.
  if (it->second.text && !it->second.instance) return Value::Obj(TextFieldFor(vm, it->second.text));
  return Value::Obj(it->second.instance ? vm.ClipFor(it->second.instance) : clip);
}

Completion NextHighestDepth(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  ClipObject* clip = Clip(self);
  auto t = clip ? clip->Instance() : nullptr;
  if (!t) return {};
  const auto& list = t->List();
  return Value::Num(list.empty() ? 0 : std::max(0.0, list.rbegin()->first - 16384.0 + 1));
}

// A loaded movie's root trades levels: depth d is level d + 16384. Once
// moved up there (to depth 0 and above) it moves no more.
void SwapLevel(Vm& vm, const std::shared_ptr<TimelineInstance>& root, const Value& to) {
  auto& levels = DisplayOf(vm).ctx.levels;
  const int from = vm.LevelOf(root.get());
  if (from <= 0 || from >= 16384 || !levels.contains(from)) return;
  int32_t level = 0;
  if (to.IsObject() && to.object->IsClip()) {
    auto other = static_cast<ClipObject*>(to.object)->Instance();
    if (!other || !other->IsRoot()) return;
    level = vm.LevelOf(other.get());
  } else if (!ClipDepthKey(vm.ToNumber(to), level)) {
    return;
  }
  if (level <= 0 || level == from) return;
  auto mine = levels.extract(from);
  auto other = levels.extract(level);
  // Its _name keeps the level it came from.
  root->SetLastName("_level" + std::to_string(from));
  mine.key() = level;
  levels.insert(std::move(mine));
  if (!other.empty()) {
    other.key() = from;
    levels.insert(std::move(other));
  }
}

Completion SwapDepths(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = Clip(self);
  DisplayObject* p = clip ? clip->Placement() : nullptr;
  auto t = clip ? clip->Instance() : nullptr;
  if (t && t->IsRoot() && !args.empty() && vm.display) {
    SwapLevel(vm, t, args[0]);
    return {};
  }
  // A clip waiting on its unload handlers keeps its place below the depths.
  if (!p || !t || args.empty() || t->Removed()) return {};
  // Nor does a clip outside the depths scripts may use move.
  if (int32_t key = 0; !t->IsRoot() && !ClipDepthKey(p->depth - 16384.0, key)) return {};
  auto parent = t->Parent();
  DisplayList& list = parent->MutableList();
  int32_t to = -1;
  if (args[0].IsObject() && args[0].object->IsClip()) {
    // Only a sibling can trade places.
    auto other = static_cast<ClipObject*>(args[0].object)->Instance();
    DisplayObject* q = static_cast<ClipObject*>(args[0].object)->Placement();
    if (!q || !other || other->Parent() != parent || other->Removed()) return {};
    to = q->depth;
  } else if (!ClipDepthKey(vm.ToNumber(args[0]), to)) {
    return {};
  }
  if (to == p->depth) return {};
  const int32_t from = p->depth;
  auto mine = list.extract(from);
  auto other = list.extract(to);
  mine.key() = to;
  mine.mapped().depth = to;
  mine.mapped().scripted = true;
  mine.mapped().scriptDepth = true;
  mine.mapped().swapped = true;
  t->depthHint = to;
  list.insert(std::move(mine));
  if (!other.empty()) {
    other.key() = from;
    other.mapped().depth = from;
    other.mapped().scriptDepth = true;
    other.mapped().swapped = true;
    if (other.mapped().instance) other.mapped().instance->depthHint = from;
    list.insert(std::move(other));
  }
  return {};
}

// The movie a clip belongs to, as loaded: null for a clip that is gone, and
// a clip a script made holds no bytes of its own.
const Movie* LoadedMovie(Object* self, bool& empty) {
  ClipObject* clip = Clip(self);
  const auto instance = clip ? clip->Instance() : nullptr;
  if (!instance) return nullptr;
  const DisplayObject* placed = clip->Placement();
  const auto parent = instance->Parent();
  empty = !instance->IsRoot() && placed && placed->characterId == 0 && parent &&
          &parent->GetMovie() == &instance->GetMovie();
  return &instance->GetMovie();
}

Completion BytesLoaded(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  bool empty = false;
  const Movie* movie = LoadedMovie(self, empty);
  if (!movie) return {};
  return Value::Num(empty ? 0 : movie->header.bytesLoaded);
}

Completion BytesTotal(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  bool empty = false;
  const Movie* movie = LoadedMovie(self, empty);
  if (!movie) return {};
  return Value::Num(empty ? 0 : movie->header.fileLength);
}

Completion SwfVersion(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  bool empty = false;
  const Movie* movie = LoadedMovie(self, empty);
  if (!Clip(self)) return Value::Num(-1);
  return movie ? Value::Num(movie->header.version) : Value{};
}

// meth(method): the number a getURL or loadVariables call passes for its
// method, 1 for "GET", 2 for "POST" (in any case), 0 for anything else.
Completion Meth(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return Value::Num(0);
  std::string m = vm.ToString(args[0]);
  for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Value::Num(m == "get" ? 1 : m == "post" ? 2 : 0);
}

// MovieClip.prototype, in the order the player lists it. Methods newer
// than the first players are out of older movies' sight (hasOwnProperty
// still finds them).
constexpr Member kClipProto[] = {
    Method("play", Play),
    Method("stop", Stop),
    Method("gotoAndPlay", GotoAndPlay),
    Method("gotoAndStop", GotoAndStop),
    Method("nextFrame", NextFrame),
    Method("prevFrame", PrevFrame),
    Method("duplicateMovieClip", Duplicate),
    Method("removeMovieClip", Remove),
    Native(901, 0, Method("createEmptyMovieClip", CreateEmpty, kHidden | kSince6, 6)),
    Method("attachMovie", AttachMovie),
    Method("attachBitmap", AttachBitmap, kHidden | kSince8, 8),
    Method("beginBitmapFill", BeginBitmapFill, kHidden | kSince8, 8),
    Method("getDepth", GetDepth, kHidden | kSince6, 6),
    Method("getInstanceAtDepth", InstanceAtDepth, kHidden | kSince7, 7),
    Method("getNextHighestDepth", NextHighestDepth, kHidden | kSince7, 7),
    Method("swapDepths", SwapDepths),
    Method("getBytesLoaded", BytesLoaded),
    Method("getBytesTotal", BytesTotal),
    Method("getSWFVersion", SwfVersion),
    Method("startDrag", StartDrag),
    Method("stopDrag", StopDrag),
    // A clip with button handlers reacts to the pointer unless a script turns it off.
    ConstBool("enabled", true, kDontEnum),
    ConstBool("useHandCursor", true, kDontEnum),
    Accessor("tabIndex", ButtonTabIndex, SetButtonTabIndex, kDontEnum | kSince6, 6),
    Method("createTextField", CreateField, kHidden, 6),
    Method("getTextSnapshot", GetTextSnapshot, kHidden | kSince6, 6),
    Method("loadMovie", ClipLoadMovie),
    Method("unloadMovie", ClipUnloadMovie),
    Method("loadVariables", ClipLoadVariables),
    Method("getURL", ClipGetUrl),
    Method("meth", Meth),
    // Sound and video from a camera or stream: the player has neither.
    Method("attachAudio", ReturnUndefined, kHidden | kSince6, 6),
    Method("attachVideo", ReturnUndefined, kHidden | kSince6, 6),
    Method("beginMeshFill", ReturnUndefined, kHidden | kSince8, 8),
    Method("beginFill", BeginFill, kHidden | kSince6, 6),
    Method("beginGradientFill", BeginGradientFill, kHidden | kSince6, 6),
    Method("lineStyle", SetLineStyle, kHidden | kSince6, 6),
    Method("lineGradientStyle", LineGradientStyle, kHidden | kSince8, 8),
    Method("moveTo", MoveTo, kHidden | kSince6, 6),
    Method("lineTo", LineTo, kHidden | kSince6, 6),
    Method("curveTo", CurveTo, kHidden | kSince6, 6),
    Method("endFill", EndFill, kHidden | kSince6, 6),
    Method("clear", Clear, kHidden | kSince6, 6),
    Method("getBounds", GetBounds),
    Method("getRect", GetRect, kHidden | kSince8, 8),
    Method("localToGlobal", LocalToGlobal),
    Method("globalToLocal", GlobalToLocal),
    Method("hitTest", HitTest),
    Method("setMask", SetMask, kHidden | kSince6, 6),
    Accessor("transform", ClipTransform, ClipSetTransform, kDontEnum | kSince8, 8),
    Accessor("filters", GetFilters, SetFilters, kHidden | kSince8, 8),
    Accessor("blendMode", GetBlendMode, SetBlendMode, kHidden | kSince8, 8),
    Accessor("cacheAsBitmap", GetCacheAsBitmap, SetCacheAsBitmap, kHidden | kSince8, 8),
    Accessor("opaqueBackground", GetOpaqueBackground, SetOpaqueBackground, kHidden | kSince8, 8),
    Accessor("scrollRect", GetScrollRect, SetScrollRect, kHidden | kSince8, 8),
};

// Before version 6 the clip's transform is there all the same, but no accessor.
void FinishClip(Vm& vm, Object* clip) {
  Object* proto = PrototypeOf(vm, clip);
  if (Property* p = proto->FindProperty(vm, "transform"); p && vm.version < 6) {
    p->getter = nullptr;
    p->setter = nullptr;
  }
}

}  // namespace

extern const ClassDecl kMovieClipClass{.name = "MovieClip",
                                       .ctor = PlainCtor,
                                       .proto = kClipProto,
                                       .keep = &Vm::clipProto,
                                       .finish = FinishClip};

}  // namespace orrivel::swf::avm1
