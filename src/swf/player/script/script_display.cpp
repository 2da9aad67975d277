#include "swf/player/script/script_display.h"

#include <unordered_set>

#include "swf/avm1/vm.h"
#include "swf/player/actions.h"
#include "swf/player/edit_text.h"
#include "swf/player/script/display_classes.h"
#include "swf/player/script/text_field_object.h"
#include "swf/player/script/timeline_clip.h"
#include "swf/player/script/video_object.h"
#include "swf/player/video_display.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr Registration kDisplayClasses[] = {
    {"MovieClip", &kMovieClipClass},
    {"Key", &kKeyObject},
    {"Mouse", &kMouseObject},
    {"Selection", &kSelectionObject},
    {"Button", &kButtonClass},
    {"TextFormat", &kTextFormatClass},
    {"TextField", &kTextFieldClass},
    {"TextField.StyleSheet", &kStyleSheetClass},
    {"TextSnapshot", &kTextSnapshotClass},
    {"Color", &kColorClass},
    {"flash.geom.Point", &kPointClass},
    {"flash.geom.Rectangle", &kRectangleClass},
    {"flash.geom.Matrix", &kMatrixClass},
    {"flash.geom.ColorTransform", &kColorTransformClass},
    {"flash.geom.Transform", &kTransformClass},
    {"flash.display.BitmapData", &kBitmapDataClass},
    {"Sound", &kSoundClass},
    {"NetConnection", &kNetConnectionClass},
    {"NetStream", &kNetStreamClass},
    {"Video", &kVideoClass},
    {"flash.filters.BitmapFilter", &kBitmapFilterClass},
    {"flash.filters.BevelFilter", &kBevelFilterClass},
    {"flash.filters.BlurFilter", &kBlurFilterClass},
    {"flash.filters.ColorMatrixFilter", &kColorMatrixFilterClass},
    {"flash.filters.ConvolutionFilter", &kConvolutionFilterClass},
    {"flash.filters.DisplacementMapFilter", &kDisplacementMapFilterClass},
    {"flash.filters.DropShadowFilter", &kDropShadowFilterClass},
    {"flash.filters.GlowFilter", &kGlowFilterClass},
    {"flash.filters.GradientBevelFilter", &kGradientBevelFilterClass},
    {"flash.filters.GradientGlowFilter", &kGradientGlowFilterClass},
};

}  // namespace

std::span<const Registration> DisplayClasses() { return kDisplayClasses; }

ScriptDisplay::ScriptDisplay(TimelineContext& c) : ctx(c) { CountRemovalsAt(&ctx.removals); }

ClipObject* ScriptDisplay::ClipFor(const std::shared_ptr<TimelineInstance>& t) {
  if (!t) return nullptr;
  if (!t->script) {
    Vm& vm = Machine();
    TimelineClip* c = vm.New<TimelineClip>();
    c->proto = t->Button() && vm.buttonProto ? vm.buttonProto : vm.clipProto;
    c->instance = t;
    t->script = c;
    if (t == root) InitRootClip(vm, c);
    // A sprite registered to a class is an instance of it from the start;
    // a placed clip takes its class when it is constructed.
    const DisplayObject* placed = c->Placement();
    Object* cls =
        placed && !t->constructPending ? RegisteredClass(vm, t, placed->characterId) : nullptr;
    if (cls) {
      const Value proto = vm.Get(cls, "prototype");
      if (proto.IsObject()) c->proto = proto.object;
      vm.LinkInstance(c, cls);
      // The constructor runs as under `new`, its super reaching the base class.
      vm.Call(Value::Obj(cls), CallContext{Value::Obj(c), c->proto, true}, {});
    }
  }
  return static_cast<ClipObject*>(t->script);
}

void ScriptDisplay::CallReturned() {
  if (!ctx.constructs.empty()) RunGotoConstructs(ctx);
}

Object* RegisteredClass(Vm& vm, const std::shared_ptr<TimelineInstance>& t, uint16_t characterId) {
  // The character is one of the movie that placed the clip: its parent's.
  const auto parent = t ? t->Parent() : nullptr;
  const Movie* movie = parent ? &parent->GetMovie() : t ? &t->GetMovie() : nullptr;
  if (!movie || vm.classByName.empty()) return nullptr;
  for (const auto& [name, id] : movie->exports) {
    if (id != characterId) continue;
    const auto it = vm.classByName.find(Vm::ClassKey(*movie, name));
    if (it != vm.classByName.end()) return it->second;
  }
  return nullptr;
}

const Movie& ScriptDisplay::CodeMovie() {
  ClipObject* target = Machine().CurrentTarget();
  const auto t = target ? target->Instance() : nullptr;
  return t ? t->GetMovie() : *ctx.movie;
}

ClipObject* ScriptDisplay::RootOf(ClipObject* clip) {
  auto t = clip ? clip->Instance() : nullptr;
  if (!t) return RootClip();
  // A clip with _lockroot set is the root of everything inside it.
  Vm& vm = Machine();
  const auto locked = [&vm](const TimelineInstance& i) {
    Property* p = i.script ? i.script->FindProperty(vm, "_lockroot") : nullptr;
    return p && !p->getter && vm.ToBoolean(p->value);
  };
  while (!locked(*t)) {
    auto parent = t->Parent();
    if (!parent) break;
    t = std::move(parent);
  }
  return ClipFor(t);
}

ClipObject* ScriptDisplay::LevelClip(std::string_view name) {
  // "_level" and digits only (none reads as 0), compared without case before
  // version 7.
  if (name.size() < 6 || name.size() > 12 || !Machine().NamesEqual(name.substr(0, 6), "_level"))
    return nullptr;
  int n = 0;
  for (char c : name.substr(6)) {
    if (c < '0' || c > '9') return nullptr;
    n = n * 10 + (c - '0');
  }
  if (n == 0) return RootClip();
  const auto it = ctx.levels.find(n);
  return it == ctx.levels.end() ? nullptr : ClipFor(it->second);
}

int ScriptDisplay::LevelOf(const TimelineInstance* top) {
  for (const auto& [n, level] : ctx.levels) {
    if (level.get() == top) return n;
  }
  return 0;
}

ClipObject* ScriptDisplay::Duplicate(ClipObject* clip, const std::string& name, double depth) {
  return DuplicateClip(Machine(), clip, name, depth);
}

bool ScriptDisplay::DuplicateField(Object* target, const std::string& name, double depth) {
  if (auto* video = dynamic_cast<VideoObject*>(target)) {
    DuplicateVideo(*video, name, depth);
    return true;
  }
  EditText* field = AsField(target);
  if (!field) return false;
  DuplicateTextField(Machine(), *field, name, depth);
  return true;
}

void ScriptDisplay::Remove(ClipObject* clip) { RemoveClip(Machine(), clip); }

bool ScriptDisplay::RemoveField(Object* target) {
  EditText* field = AsField(target);
  if (!field) return false;
  // Unlike removeTextField, this takes a field from any depth.
  DisplayObject* p = field->Placement();
  if (auto parent = field->parent.lock(); p && parent) parent->RemoveDepth(p->depth);
  return true;
}

void ScriptDisplay::StartDrag(ClipObject* clip, bool lockCenter, const double* bounds) {
  StartDragging(Machine(), clip, lockCenter, bounds);
}

void ScriptDisplay::StopDrag() { StopDragging(Machine()); }

void ScriptDisplay::StopSounds() {
  if (ctx.sound) ctx.sound->StopAll();
}

std::string ScriptDisplay::FieldPath(Object* field) {
  if (auto* video = dynamic_cast<VideoObject*>(field)) return video->Path(Machine());
  return field && field->IsTextField() ? static_cast<TextFieldObject*>(field)->Path(Machine())
                                       : std::string();
}

std::weak_ptr<TimelineInstance> ScriptDisplay::Watch(ClipObject* clip) {
  // A button's state sprites go with the button and do not stop.
  auto t = clip ? clip->Instance() : nullptr;
  auto parent = t ? t->Parent() : nullptr;
  if (t && !t->Removed() && !(parent && parent->Button())) return t;
  return {};
}

bool ScriptDisplay::LeftStage(const std::weak_ptr<TimelineInstance>& watched) {
  auto clip = watched.lock();
  return !clip || clip->Removed();
}

void ScriptDisplay::InstallClasses(Vm& vm, std::string_view step) {
  for (const Registration& r : kDisplayClasses) {
    if (step == r.name) DeclareClass(vm, *r.decl);
  }
}

void ScriptDisplay::TraceRoots(std::vector<Object*>& out) {
  // Every timeline still alive keeps its clip object (and so its
  // variables): those on the stage, a removed clip waiting for its unload
  // handlers, and the clips the input state and the queued actions name.
  std::vector<std::shared_ptr<TimelineInstance>> clips;
  if (root) clips.push_back(root);
  for (const auto& [n, level] : ctx.levels) clips.push_back(level);
  for (const auto* queue : {&ctx.actions, &ctx.initActions, &ctx.constructs}) {
    for (const QueuedActions& q : *queue) {
      if (auto t = q.target.lock()) clips.push_back(std::move(t));
      if (q.keep) clips.push_back(q.keep);
    }
  }
  const InputState& input = Machine().input;
  for (const auto* held : {&input.dragged, &input.dropSource, &input.focus}) {
    if (auto t = held->lock()) clips.push_back(std::move(t));
  }
  if (auto field = input.focusField.lock(); field && field->script) out.push_back(field->script);
  out.insert(out.end(), netStreams.begin(), netStreams.end());
  std::unordered_set<const TimelineInstance*> seen;
  while (!clips.empty()) {
    auto t = std::move(clips.back());
    clips.pop_back();
    if (!seen.insert(t.get()).second) continue;
    if (t->script) out.push_back(t->script);
    for (const auto& [depth, obj] : t->List()) {
      if (obj.instance) clips.push_back(obj.instance);
      if (obj.text && obj.text->script) out.push_back(obj.text->script);
      if (obj.video && obj.video->script) out.push_back(obj.video->script);
      // Objects sharing the depth (before SWF 6) live on as well.
      for (const DisplayObject& sharing : obj.above) {
        if (sharing.instance) clips.push_back(sharing.instance);
        if (sharing.text && sharing.text->script) out.push_back(sharing.text->script);
      }
    }
  }
}

}  // namespace orrivel::swf::avm1
