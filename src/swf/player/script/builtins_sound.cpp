// Sound: a script's control of the sounds of a clip (or of the whole movie).
// attachSound takes an exported sound of the movie, start plays it through
// the player's sound sink as an event sound owned by the target clip (so it
// ends when the clip goes), and volume, pan and transform belong to the
// target, shared by every Sound made for it. Sounds are never loaded from
// outside the movie.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/loader.h"
#include "swf/player/timeline_instance.h"
#include "swf/sound/id3_tags.h"
#include "swf/sound/mp3_header.h"
#include "swf/player/script/script_display.h"

namespace orrivel::swf::avm1 {

namespace {

// A number as the player's sound settings store it: a 32-bit integer, with
// NaN and values out of range becoming the lowest one.
int32_t SoundInt(double d) {
  if (!(d >= -2147483648.0 && d < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(d);
}

// Volume and the ear-to-ear transform of one target; pan is read from the
// transform.
class SoundControl : public Object {
 public:
  int32_t volume = 100;
  int32_t ll = 100, lr = 0, rl = 0, rr = 100;

  // The inverse of SetPan on the ears' own gains: a left ear at 100 gives
  // the right ear's distance from 100, any other left ear its own distance
  // below 100 (by size: -150 gives -50).
  int32_t Pan() const {
    const int64_t p = ll == 100 ? std::abs(static_cast<int64_t>(rr)) - 100
                                : 100 - std::abs(static_cast<int64_t>(ll));
    return static_cast<int32_t>(static_cast<uint32_t>(p));
  }
  void SetPan(int32_t p) {
    if (p >= 0) {
      ll = static_cast<int32_t>(100 - static_cast<int64_t>(p));
      rr = 100;
    } else {
      ll = 100;
      rr = static_cast<int32_t>(100 + static_cast<int64_t>(p));
    }
  }
  // Gains for each ear, 0 to 32768.
  std::pair<int, int> Gains() const {
    const double v = std::clamp(volume, 0, 100) / 100.0;
    auto g = [v](int32_t x) { return static_cast<int>(std::clamp(x, 0, 100) / 100.0 * v * 32768); };
    return {g(ll), g(rr)};
  }
};

class SoundObject : public Object {
 public:
  // The target clip's object: a reference that follows its path, so a clip
  // later placed under the same name becomes the target.
  ClipObject* clip = nullptr;
  // The target is found by the path it had when the Sound was made, each
  // time: a clip renamed since is not the target, unless a variable of
  // that name leads to it.
  std::string path;
  // A target given as text is that text, looked up from the clip whose
  // script uses the Sound.
  std::string name;
  bool hasTarget = false;     // else the movie's sound
  bool badTarget = false;     // made for something that is not a clip
  uint16_t soundId = 0;       // attached sound; 0 for none
  std::size_t fileBytes = 0;  // a sound loaded from a file (loadSound); 0 for none
  double durationMs = 0;
  double startedMs = -1;  // when start() last played it; -1: not playing
  double offsetMs = 0, positionMs = 0;
  int loops = 1;
  int generation = 0;  // bumped by each start and stop: stale completions are dropped

  Object* holder = nullptr;  // the object of another kind this state belongs to

  // duration and position read the attached sound until a script sets them.
  bool GetOwn(Vm& vm, std::string_view name, Value& out) override;
  // Once there is a sound, scripts cannot set them.
  bool SetOwn(Vm& vm, std::string_view name, const Value& v) override;
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (holder) out.push_back(holder);
    if (clip) out.push_back(clip);
  }
  // A clip taken off the stage is the target no more, unless an onUnload
  // handler keeps it until that has run; a clip that has since taken its
  // path is.
  std::shared_ptr<TimelineInstance> Target(Vm& vm) const {
    if (!name.empty()) {
      ClipObject* base = vm.CurrentTarget() ? vm.CurrentTarget() : vm.RootClip();
      return base ? OnStage(vm, ResolveTarget(vm, base, name)) : nullptr;
    }
    if (!path.empty()) {
      if (ClipObject* found = ResolveTarget(vm, vm.RootClip(), path)) return OnStage(vm, found);
      // A removed clip stays the target while its onUnload handler runs.
      const auto gone = clip ? clip->Instance() : nullptr;
      return gone && gone->Removed() ? OnStage(vm, clip) : nullptr;
    }
    auto t = OnStage(vm, clip);
    if (t || !clip || !clip->Instance()) return t;
    ClipObject* live = ResolveTarget(vm, vm.RootClip(), clip->Path(vm));
    return live && live != clip ? OnStage(vm, live) : nullptr;
  }
  static std::shared_ptr<TimelineInstance> OnStage(Vm& vm, ClipObject* c) {
    auto t = c ? c->Instance() : nullptr;
    const bool kept = vm.version >= 6 && vm.Get(c, "onUnload").IsObject();
    return t && (!t->Removed() || kept) ? t : nullptr;
  }
  Object* Self() { return holder ? holder : this; }
};

// A Sound's state: the object itself, or, for an object of another kind
// whose constructor chain ran Sound's (a clip subclass), one it holds.
SoundObject* AsSound(Vm&, Object* self) { return StateOf<SoundObject>(self); }

// The target's control, or null when the Sound's target is gone or was never a clip.
SoundControl* ControlOf(Vm& vm, SoundObject* s) {
  if (!s || s->badTarget) return nullptr;
  Object* holder = nullptr;
  if (s->hasTarget) {
    auto t = s->Target(vm);
    if (!t) return nullptr;
    holder = vm.ClipFor(t);
  } else {
    Value ctor = vm.Get(vm.global, "Sound");
    holder = ctor.IsObject() ? ctor.object : nullptr;
  }
  if (!holder) return nullptr;
  return AttachState<SoundControl>(vm, holder);
}

const void* OwnerOf(Vm& vm, SoundObject* s) {
  if (!s->hasTarget) return nullptr;
  return s->Target(vm).get();
}

double PositionMs(Vm& vm, const SoundObject* s) {
  if (s->startedMs < 0 || s->durationMs <= 0) return s->positionMs;
  const double played = s->offsetMs + (vm.timeMs - s->startedMs);
  const double total = s->durationMs * s->loops;
  if (played >= total) return s->durationMs;
  return std::fmod(played, s->durationMs);
}

bool HasSound(const SoundObject* s) { return s->soundId != 0 || s->fileBytes != 0; }

bool SoundObject::GetOwn(Vm& vm, std::string_view name, Value& out) {
  if (Object::GetOwn(vm, name, out)) return true;
  if (!HasSound(this)) return false;
  if (vm.NamesEqual(name, "duration")) {
    out = Value::Num(durationMs);
    return true;
  }
  if (vm.NamesEqual(name, "position")) {
    out = Value::Num(std::round(PositionMs(vm, this)));
    return true;
  }
  return false;
}

bool SoundObject::SetOwn(Vm& vm, std::string_view name, const Value& v) {
  if (HasSound(this) && !Object::HasOwn(vm, name) &&
      (vm.NamesEqual(name, "duration") || vm.NamesEqual(name, "position")))
    return false;
  return Object::SetOwn(vm, name, v);
}

// ---- Completion ------------------------------------------------------------------

Completion CompletionFired(Vm& vm, const CallContext&, Args args) {
  auto* s = args.empty() || !args[0].IsObject() ? nullptr : AsSound(vm, args[0].object);
  if (!s || vm.ToNumber(Arg(args, 1)) != s->generation) return {};
  s->startedMs = -1;
  s->positionMs = s->durationMs;
  vm.CallMethod(s->Self(), "onSoundComplete", {});
  return {};
}

Completion LoadFailed(Vm& vm, const CallContext&, Args args) {
  auto* s = args.empty() || !args[0].IsObject() ? nullptr : AsSound(vm, args[0].object);
  if (!s) return {};
  const Value ok = Value::Bool(false);
  vm.CallMethod(s->Self(), "onLoad", {&ok, 1});
  return {};
}

// Runs fn(sound, generation) after ms, through the movie's timers. These
// timers take negative ids, so the ids scripts get stay as in the player.
void After(Vm& vm, SoundObject* s, NativeFn fn, double ms) {
  int id = -1;
  for (const Vm::Timer& t : vm.timers) id = std::min(id, t.id - 1);
  if (vm.timers.size() >= 4096) return;
  Vm::Timer t;
  t.id = id;
  t.target = Value::Obj(vm.NewNative(fn));
  t.args = {Value::Obj(s), Value::Num(s->generation)};
  t.intervalMs = ms;
  t.dueMs = vm.timeMs + std::max(ms, 1.0);
  t.once = true;
  vm.timers.push_back(std::move(t));
}

// ---- Methods ---------------------------------------------------------------------

Completion SoundCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  auto* s = AsSound(vm, self);
  if (!s) {
    s = AttachState<SoundObject>(vm, self);
    s->holder = self;
  }
  self->Define(vm, "checkPolicyFile", Value::Bool(false), kDontEnum);
  const Value t = Arg(args, 0);
  if (t.IsNullish()) return {};
  s->hasTarget = true;
  ClipObject* clip = nullptr;
  std::string name;
  if (t.IsObject() && t.object->IsClip()) {
    clip = static_cast<ClipObject*>(t.object);
  } else if (t.IsObject() || t.type == Type::String) {
    // Anything else names its clip by its text (an object's toString runs,
    // and what it throws goes on to the script).
    name = vm.ToString(t);
    if (vm.Throwing()) return {};
    if (vm.CurrentTarget()) clip = ResolveTarget(vm, vm.CurrentTarget(), name);
  }
  if (!name.empty()) {
    s->name = name;
    s->clip = clip;
  } else if (clip && clip->Instance()) {
    s->clip = clip;
    s->path = clip->Path(vm);
  } else {
    s->badTarget = true;
  }
  return {};
}

Object* MakeSound(Vm& vm) { return vm.New<SoundObject>(); }

Completion AttachSound(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s || args.empty() || !vm.movie) return {};
  const auto& movie = *vm.movie;
  const auto it = movie.exports.find(vm.ToString(args[0]));
  if (it == movie.exports.end()) return {};
  const auto def = movie.sounds.find(it->second);
  if (def == movie.sounds.end()) return {};
  s->soundId = it->second;
  s->fileBytes = 0;
  const int rate = def->second->format.Rate();
  s->durationMs = rate > 0 ? std::round(def->second->sampleCount * 1000.0 / rate) : 0;
  s->startedMs = -1;
  s->positionMs = 0;
  return {};
}

Completion Start(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s || !HasSound(s)) return {};
  if (s->hasTarget && (s->badTarget || !s->Target(vm))) return {};
  double offset = args.empty() ? 0 : vm.ToNumber(args[0]);
  if (!(offset > 0)) offset = 0;
  double loops = args.size() > 1 ? vm.ToNumber(args[1]) : 1;
  if (!(loops >= 1)) loops = 1;
  loops = std::min(loops, 65535.0);
  SoundInfo info;
  if (offset > 0) info.inPoint = static_cast<uint32_t>(std::min(offset * 44100, 4e9));
  info.loopCount = static_cast<uint16_t>(loops);
  if (DisplayOf(vm).ctx.sound && vm.movie && s->soundId) {
    SoundControl* c = ControlOf(vm, s);
    const auto [gl, gr] = c ? c->Gains() : std::pair{32768, 32768};
    DisplayOf(vm).ctx.sound->StartOwnedSound(*vm.movie, s->soundId, info, OwnerOf(vm, s), gl, gr);
  }
  ++s->generation;
  s->startedMs = vm.timeMs;
  s->offsetMs = offset * 1000;
  s->loops = static_cast<int>(loops);
  const double left = s->durationMs * s->loops - s->offsetMs;
  After(vm, s, CompletionFired, std::max(left, 0.0));
  return {};
}

Completion Stop(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s) return {};
  uint16_t id = 0;
  if (!args.empty() && vm.movie) {
    const auto it = vm.movie->exports.find(vm.ToString(args[0]));
    if (it == vm.movie->exports.end()) return {};
    id = it->second;
  }
  if (DisplayOf(vm).ctx.sound) DisplayOf(vm).ctx.sound->StopOwnedSounds(OwnerOf(vm, s), id);
  if (id == 0 || id == s->soundId) {
    s->positionMs = PositionMs(vm, s);
    s->startedMs = -1;
    ++s->generation;
  }
  return {};
}

void ApplyGain(Vm& vm, SoundObject* s, SoundControl* c) {
  if (!DisplayOf(vm).ctx.sound) return;
  const auto [gl, gr] = c->Gains();
  DisplayOf(vm).ctx.sound->SetOwnedGain(OwnerOf(vm, s), gl, gr);
}

Completion GetVolume(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  SoundControl* c = ControlOf(vm, AsSound(vm, self));
  return c ? Value::Num(c->volume) : Value{};
}

Completion SetVolume(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SoundControl* c = ControlOf(vm, AsSound(vm, self));
  if (!c) return {};
  // Without an argument the volume is 0.
  c->volume = args.empty() ? 0 : SoundInt(vm.ToNumber(args[0]));
  ApplyGain(vm, AsSound(vm, self), c);
  return {};
}

Completion GetPan(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  SoundControl* c = ControlOf(vm, AsSound(vm, self));
  return c ? Value::Num(c->Pan()) : Value{};
}

Completion SetPan(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SoundControl* c = ControlOf(vm, AsSound(vm, self));
  if (!c || args.empty()) return {};
  c->SetPan(SoundInt(vm.ToNumber(args[0])));
  ApplyGain(vm, AsSound(vm, self), c);
  return {};
}

Completion GetTransform(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  SoundControl* c = ControlOf(vm, AsSound(vm, self));
  if (!c) return {};
  Object* o = vm.NewObject();
  o->Define(vm, "ll", Value::Num(c->ll));
  o->Define(vm, "lr", Value::Num(c->lr));
  o->Define(vm, "rr", Value::Num(c->rr));
  o->Define(vm, "rl", Value::Num(c->rl));
  return Value::Obj(o);
}

Completion SetTransform(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  SoundControl* c = ControlOf(vm, AsSound(vm, self));
  if (!c || args.empty() || !args[0].IsObject()) return {};
  Object* o = args[0].object;
  // An own member of the object is read as a 32-bit integer, kept
  // unclamped: undefined, NaN and the infinities give 0, whole numbers wrap;
  // a fraction leaves the setting as it was, and so does a member that is
  // missing or only inherited.
  auto read = [&](const char* name, int32_t& field) {
    if (!o->HasOwn(vm, name)) return;
    const double d = vm.ToNumber(vm.Get(o, name));
    if (!std::isfinite(d)) {
      field = 0;
    } else if (d == std::trunc(d)) {
      field = ToInt32(d);
    }
  };
  read("ll", c->ll);
  read("lr", c->lr);
  read("rl", c->rl);
  read("rr", c->rr);
  ApplyGain(vm, AsSound(vm, self), c);
  return {};
}

Completion GetDuration(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s || !HasSound(s)) return {};
  return Value::Num(s->durationMs);
}

Completion GetPosition(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s || !HasSound(s)) return {};
  return Value::Num(std::round(PositionMs(vm, s)));
}

Completion GetBytes(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s || !HasSound(s) || !vm.movie) return {};
  if (s->fileBytes) return Value::Num(static_cast<double>(s->fileBytes));
  const auto it = vm.movie->sounds.find(s->soundId);
  return Value::Num(it == vm.movie->sounds.end() ? 0 : it->second->data.size());
}

// Sound.id3: an object without a prototype holding each frame by its ID
// (comments gather in an array) and the common ones by a second name too.
// A script's own id3, set before, stays; the player's cannot be set over.
bool ShowId3(Vm& vm, Object* self, std::span<const uint8_t> bytes) {
  const std::vector<Id3Frame> frames = ReadId3Frames(bytes);
  if (frames.empty()) return false;
  static constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
      {"COMM", "comment"}, {"TALB", "album"}, {"TCON", "genre"}, {"TIT2", "songname"},
      {"TPE1", "artist"},  {"TRCK", "track"}, {"TYER", "year"}};
  Object* id3 = vm.NewObject();
  id3->proto = nullptr;
  for (const Id3Frame& f : frames) {
    if (!vm.Charge(f.id.size() + f.text.size())) break;
    const Value text = Value::Str(f.text);
    for (const auto& [id, alias] : kAliases) {
      if (id == f.id) vm.Set(id3, alias, text);
    }
    if (f.id == "COMM") {
      const Value list = vm.Get(id3, "COMM");
      if (list.IsObject()) {
        vm.CallMethod(list.object, "push", {&text, 1});
        continue;
      }
      vm.Set(id3, "COMM", Value::Obj(vm.NewArray({text})));
      continue;
    }
    vm.Set(id3, f.id, text);
  }
  if (!self->HasOwn(vm, "id3")) self->Define(vm, "id3", Value::Obj(id3), kReadOnly | kDontDelete);
  return true;
}

// loadSound(url, streaming): a file beside the movie loads at once; its
// sound is timed but not heard. Anything else fails as a missing file does.
Completion LoadSound(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* s = AsSound(vm, self);
  if (!s) return {};
  const std::string url = vm.ToString(Arg(args, 0));
  OutgoingRequest request;
  request.url = url;
  request.method = "GET";
  ReportRequest(vm, request);
  std::string bytes;
  const double ms =
      vm.readFile && vm.readFile(url, bytes)
          ? Mp3DurationMs({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()})
          : 0;
  if (ms <= 0) {
    Refuse(vm, "Sound.loadSound");
    After(vm, s, LoadFailed, 0);
    return {};
  }
  // A loaded sound shows its own duration and position, unless a script
  // had set both before.
  Object* target = s->Self();
  if (!target->HasOwn(vm, "duration") || !target->HasOwn(vm, "position")) {
    target->DeleteOwn(vm, "duration");
    target->DeleteOwn(vm, "position");
  }
  ++s->generation;
  s->soundId = 0;
  s->fileBytes = bytes.size();
  s->durationMs = 0;
  s->startedMs = -1;
  s->offsetMs = s->positionMs = 0;
  s->loops = 1;
  // The tags come first, while the sound's length still reads 0 (onID3 is
  // told true, as onLoad is).
  static const Value kTrue = Value::Bool(true);
  if (ShowId3(vm, s->Self(), {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}))
    vm.CallMethod(s->Self(), "onID3", {&kTrue, 1});
  s->durationMs = ms;
  const Value ok = Value::Bool(true);
  vm.CallMethod(s->Self(), "onLoad", {&ok, 1});
  // A streaming sound plays as it arrives.
  if (vm.ToBoolean(Arg(args, 1)) && s->fileBytes) {
    s->startedMs = vm.timeMs;
    After(vm, s, CompletionFired, ms);
  }
  return {};
}

// The methods of version 6 are not there for older movies.
constexpr Member kSoundProto[] = {
    Method("getPan", GetPan),
    Method("getTransform", GetTransform),
    Method("getVolume", GetVolume),
    Method("setPan", SetPan),
    Method("setTransform", SetTransform),
    Method("setVolume", SetVolume),
    Method("stop", Stop),
    Method("attachSound", AttachSound),
    Method("start", Start),
    AbsentBefore(Method("getDuration", GetDuration, kHidden, 6)),
    AbsentBefore(Method("setDuration", ReturnUndefined, kHidden, 6)),
    AbsentBefore(Method("getPosition", GetPosition, kHidden, 6)),
    AbsentBefore(Method("setPosition", ReturnUndefined, kHidden, 6)),
    AbsentBefore(Method("loadSound", LoadSound, kHidden, 6)),
    AbsentBefore(Method("getBytesLoaded", GetBytes, kHidden, 6)),
    AbsentBefore(Method("getBytesTotal", GetBytes, kHidden, 6)),
};

}  // namespace

extern const ClassDecl kSoundClass{"Sound", SoundCtor, kSoundProto, {}, 5, MakeSound};

}  // namespace orrivel::swf::avm1
