#include "swf/player/script/timeline_clip.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <numbers>

#include "swf/player/script/input.h"
#include "swf/player/script/text_field_object.h"
#include "swf/player/script/video_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/drawing.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

double Round(double v, double unit) { return std::round(v / unit) * unit; }

}  // namespace

std::shared_ptr<TimelineInstance> TimelineClip::Instance() const {
  if (!detachedVm_) return instance.lock();
  ClipObject* live = Resolve();
  return live ? static_cast<TimelineClip*>(live)->instance.lock() : nullptr;
}

ClipObject* TimelineClip::Resolve() const {
  if (!detachedVm_) return const_cast<TimelineClip*>(this);
  if (detachedPath_.empty()) return nullptr;
  ClipObject* live = ResolveTarget(*detachedVm_, detachedVm_->RootClip(), detachedPath_);
  return live == this || (live && static_cast<TimelineClip*>(live)->Detached()) ? nullptr : live;
}

void TimelineClip::Detach(Vm& vm) {
  if (detachedVm_) return;
  auto self = instance.lock();
  if (!self || self->IsRoot()) return;
  auto parent = self->Parent();
  ClipObject* parentClip = parent ? vm.ClipFor(parent) : nullptr;
  const std::string parentPath = parentClip ? parentClip->Path(vm) : std::string();
  // "_level0.a.b" is found again from the root as "a.b".
  const std::string path = parentPath + "." + self->FirstName();
  detachedPath_ = parentPath.empty() || path.size() <= 8 ? std::string() : path.substr(8);
  detachedVm_ = &vm;
  ClearProperties();
}

namespace {

// A position in twips as the player's 32-bit integers hold it: what does not
// fit, infinities too, becomes the lowest integer.
double TwipsOf(double pixels) {
  const double twips = std::round(pixels * 20);
  return std::fabs(twips) < 2147483648.0 ? twips : -2147483648.0;
}

// _highquality and _soundbuftime take numbers (NaN, like undefined and
// null, changes nothing),
// _quality one of the four names in any case.
void SetPlayerSetting(TimelineContext& ctx, int index, const Value& v) {
  if (index == 19) {
    std::string q = v.string;
    for (char& c : q) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (q == "LOW" || q == "MEDIUM" || q == "HIGH" || q == "BEST") ctx.scriptQuality = q;
    return;
  }
  const double n = v.number;
  if (std::isnan(n)) return;
  if (index == 16) {
    ctx.scriptQuality = n >= 2 ? "BEST" : n == 0 ? "LOW" : "HIGH";
  } else {
    // Whole seconds, as the player's 32-bit integers hold them.
    ctx.soundBufferSeconds = std::fabs(n) < 2147483648.0 ? static_cast<int32_t>(n) : INT32_MIN;
  }
}

// The properties a level's root keeps in a placement of its own: position,
// scales, rotation, alpha and visibility.
bool IsRootTransform(const TimelineInstance& t, int index) {
  if (!t.IsRoot()) return false;
  switch (index) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 6:
    case 7:
    case 10:
      return true;
    default:
      return false;
  }
}

}  // namespace

DisplayObject* TimelineClip::Placement() const {
  auto self = Instance();
  if (!self) return nullptr;
  auto parent = self->Parent();
  if (!parent) return nullptr;
  DisplayList& list = parent->MutableList();
  if (auto it = list.find(self->depthHint); it != list.end() && it->second.instance == self)
    return &it->second;
  for (auto& [depth, obj] : list) {
    if (obj.instance == self) {
      self->depthHint = depth;
      return &obj;
    }
    for (DisplayObject& sharing : obj.above) {
      if (sharing.instance == self) return &sharing;
    }
  }
  return nullptr;
}

ClipObject* TimelineClip::Parent(Vm& vm) const {
  auto self = Instance();
  auto parent = self ? self->Parent() : nullptr;
  // Before version 6 a button is no object: a clip in one belongs to the clip around it.
  if (parent && vm.version < 6 && parent->Button() && parent->Parent()) parent = parent->Parent();
  return self ? vm.ClipFor(parent) : nullptr;
}

ClipObject* TimelineClip::Child(Vm& vm, std::string_view name) const {
  auto self = Instance();
  if (!self) return nullptr;
  auto* here = const_cast<TimelineClip*>(this);
  const auto named = [&](const DisplayObject& obj) {
    // A video has a Video object of its own.
    return !obj.text && !obj.name.empty() && vm.NamesEqual(obj.name, name) &&
           !IsVideoPlacement(*self, obj);
  };
  // What has no script side of its own (a shape, or a button before
  // version 6) stands for the clip it sits in.
  const auto found = [&](const DisplayObject& obj) -> ClipObject* {
    if (!obj.instance || (vm.version < 6 && obj.instance->Button())) return here;
    return vm.ClipFor(obj.instance);
  };
  for (const auto& [depth, obj] : self->List()) {
    if (named(obj)) return found(obj);
    // Objects sharing the depth (SWF 5 placements) answer by name too, the
    // newest, drawn behind, first.
    for (const DisplayObject& sharing : obj.above) {
      if (named(sharing)) return found(sharing);
    }
  }
  return nullptr;
}

std::string TimelineClip::Path(Vm& vm) const {
  std::vector<std::string> names;
  auto t = Instance();
  if (!t) return "";
  while (t && !t->IsRoot()) {
    // A clip being unloaded has left its parent's list but keeps its name.
    const DisplayObject* p = t->Removed() ? nullptr : vm.ClipFor(t)->Placement();
    names.push_back(p ? p->name : t->LastName());
    t = t->Parent();
  }
  std::string out = "_level" + std::to_string(vm.LevelOf(t.get()));
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "." + *it;
  return out;
}

Value TimelineClip::GetIndexed(Vm& vm, int index) {
  auto self = Instance();
  if (!self) return {};
  DisplayObject* p = Placement();
  if (!p && IsRootTransform(*self, index)) p = self->rootPlacement.get();
  const Matrix m = p ? p->matrix : Matrix{};
  switch (index) {
    case 0:
      return Value::Num(Round(m.tx / 20.0, 0.05));
    case 1:
      return Value::Num(Round(m.ty / 20.0, 0.05));
    case 2:
    case 3:
      return Value::Num(
          GetScaleProperty(p, index == 3 ? ScaleProperty::YScale : ScaleProperty::XScale));
    case 4:
      return Value::Num(self->DeclaredFrames() == 0 ? 0 : self->CurrentFrame() + 1);
    case 5:
    case 12:
      return Value::Num(self->DeclaredFrames());
    case 6:
      return Value::Num(p ? p->colorTransform.aMult * 100.0 / 256 : 100);
    case 7:
      return Value::Bool(p ? p->visible : true);
    case 8:
    case 9:
      return Value::Num(ClipSize(this, index == 9));
    case 10:
      return Value::Num(GetScaleProperty(p, ScaleProperty::Rotation));
    case 11: {
      // Slash syntax: "/a/b" in level 0, "_level5/a/b" in the others.
      std::string path = Path(vm);
      const std::size_t dot = std::min(path.find('.'), path.size());
      const bool level0 = path.compare(0, dot, "_level0") == 0;
      if (level0) path.erase(0, dot);
      for (char& c : path) {
        if (c == '.') c = '/';
      }
      return Value::Str(path.empty() ? "/" : path);
    }
    case 13:
      // A level's root has no entry in a list but may still be named.
      return Value::Str(p ? p->name : self->IsRoot() ? self->LastName() : "");
    case 14:
      return ClipDropTarget(vm, *this);
    case 15: {
      const auto& urls = self->Context().movieUrls;
      const auto it = urls.find(&self->GetMovie());
      if (!self->failedLoadUrl.empty()) return Value::Str(self->failedLoadUrl);
      return Value::Str(it != urls.end() ? it->second : std::string("file:///test.swf"));
    }
    case 16: {
      const std::string& q = self->Context().scriptQuality;
      return Value::Num(q == "LOW" ? 0 : q == "BEST" ? 2 : 1);
    }
    case 17:
      return GetFocusRect(vm, self->IsRoot() ? nullptr : &focusRect);
    case 18:
      return Value::Num(self->Context().soundBufferSeconds);
    case 19:
      return Value::Str(self->Context().scriptQuality);
    case 20:
    case 21:
      return ClipMouse(vm, *this, index == 20);
    default:
      return {};
  }
}

void TimelineClip::SetIndexed(Vm& vm, int index, const Value& v) {
  if (index == 17) {
    if (const auto t = Instance()) SetFocusRect(vm, t->IsRoot() ? nullptr : &focusRect, v);
    return;
  }
  const Value converted = ConvertPropertyValue(vm, index, v);
  const double n = converted.number;
  if (index == 16 || index == 18 || index == 19) {
    const auto t = Instance();
    // Text reads as NaN here in every version (converted is version 4's 0).
    const bool text = v.type == Type::String && index != 19;
    if (t && !v.IsNullish())
      SetPlayerSetting(t->Context(), index, text ? Value::Num(SettingNumber(vm, v)) : converted);
    return;
  }
  DisplayObject* p = Placement();
  auto self = Instance();
  if (!p && self && IsRootTransform(*self, index)) {
    if (!self->rootPlacement) self->rootPlacement = std::make_unique<DisplayObject>();
    p = self->rootPlacement.get();
  }
  if (!p) {
    if (index == 13 && self && self->IsRoot()) self->SetLastName(converted.string);
    return;
  }
  // Position, scale, rotation, alpha and visibility take numbers: undefined, null and
  // what converts to NaN leave them as they are.
  const bool numeric = index <= 10 && index != 4 && index != 5 && index != 8 && index != 9;
  if (numeric && (v.IsNullish() || std::isnan(n))) return;
  Matrix& m = p->matrix;
  switch (index) {
    case 0:
      m.tx = TwipsOf(n);
      break;
    case 1:
      m.ty = TwipsOf(n);
      break;
    case 2:
    case 3:
      SetScaleProperty(*p, index == 3 ? ScaleProperty::YScale : ScaleProperty::XScale, n);
      break;
    case 8:
    case 9:
      SetClipSize(this, index == 9, n);
      break;
    case 6:
      // 16 bits of 8.8 fixed point; larger values wrap, and infinities are 0.
      p->colorTransform.aMult = static_cast<int16_t>(static_cast<uint32_t>(ToInt32(n * 2.56)));
      break;
    case 7: {
      // Hiding a shown clip takes focus away; a hidden one can still take it.
      const bool was = p->visible;
      p->visible = n != 0;
      if (was && !p->visible) DropFocusWithin(vm, *Instance());
      break;
    }
    case 10:
      SetScaleProperty(*p, ScaleProperty::Rotation, n);
      break;
    case 13:
      p->name = converted.string;
      if (p->instance) p->instance->SetLastName(p->name);
      break;
    default:
      return;
  }
  p->scripted = true;
}

bool TimelineClip::GetOwn(Vm& vm, std::string_view name, Value& out) {
  if (detachedVm_) {
    // Everything, inherited members too, comes from the clip now at the
    // path; with none there, nothing is found.
    ClipObject* live = Resolve();
    out = live ? vm.Get(live, name) : Value{};
    return true;
  }
  if (!name.empty() && name[0] == '_') {
    const int index = ClipPropertyIndex(name);
    if (index >= 0) {
      out = GetIndexed(vm, index);
      return true;
    }
    if (vm.NamesEqual(name, "_parent")) {
      out = Value::Obj(Parent(vm));
      return true;
    }
    if (vm.NamesEqual(name, "_lockroot") && !Object::GetOwn(vm, name, out)) {
      out = Value::Bool(false);
      return true;
    }
    if (vm.NamesEqual(name, "_root")) {
      out = Value::Obj(vm.RootOf(this));
      return true;
    }
    if (ClipObject* level = vm.LevelClip(name)) {
      out = Value::Obj(level);
      return true;
    }
    if (vm.version >= 6 && vm.NamesEqual(name, "_global")) {
      out = Value::Obj(vm.global);
      return true;
    }
  }
  if (Object::GetOwn(vm, name, out)) return true;
  if (ClipObject* child = Child(vm, name)) {
    out = Value::Obj(child);
    return true;
  }
  if (TextFieldObject* field = TextFieldChild(vm, *this, name)) {
    out = Value::Obj(field);
    return true;
  }
  if (VideoObject* video = VideoChild(vm, *this, name)) {
    out = Value::Obj(video);
    return true;
  }
  return false;
}

bool TimelineClip::HasOwn(Vm& vm, std::string_view name) {
  if (detachedVm_) {
    ClipObject* live = Resolve();
    return live && live->HasOwn(vm, name);
  }
  if (!name.empty() && name[0] == '_' &&
      (ClipPropertyIndex(name) >= 0 || vm.NamesEqual(name, "_parent") ||
       vm.NamesEqual(name, "_root") || (vm.version >= 6 && vm.NamesEqual(name, "_global")) ||
       vm.NamesEqual(name, "_lockroot")))
    return true;
  return Object::HasOwn(vm, name) || Child(vm, name) != nullptr ||
         TextFieldChild(vm, *this, name) != nullptr || VideoChild(vm, *this, name) != nullptr;
}

void TimelineClip::OwnKeys(Vm& vm, std::vector<std::string>& out) {
  if (detachedVm_) {
    if (ClipObject* live = Resolve()) live->OwnKeys(vm, out);
    return;
  }
  // The clips inside come before the clip's own variables.
  const auto add = [&](const std::string& name) {
    const bool seen = std::any_of(out.begin(), out.end(),
                                  [&](const std::string& k) { return vm.NamesEqual(k, name); });
    if (!seen) out.push_back(name);
  };
  if (auto self = Instance()) {
    for (const auto& [depth, obj] : self->List()) {
      if (obj.instance && !obj.name.empty()) add(obj.name);
      for (const DisplayObject& sharing : obj.above) {
        if (sharing.instance && !sharing.name.empty()) add(sharing.name);
      }
    }
  }
  std::vector<std::string> own;
  Object::OwnKeys(vm, own);
  for (const std::string& name : own) add(name);
}

bool TimelineClip::SetOwn(Vm& vm, std::string_view name, const Value& v) {
  if (detachedVm_) {
    ClipObject* live = Resolve();
    return live ? live->SetOwn(vm, name, v) : true;
  }
  if (!name.empty() && name[0] == '_') {
    const int index = ClipPropertyIndex(name);
    if (index >= 0) {
      SetIndexed(vm, index, v);
      return true;
    }
  }
  return Object::SetOwn(vm, name, v);
}

void TimelineClip::SetPlaying(bool playing) {
  if (auto t = Instance()) t->SetPlaying(playing);
}

namespace {
// Goes to a frame for a script: the clips it places are built when the
// script first reaches them.
void ScriptGoto(TimelineInstance& t, int frame) {
  TimelineContext& ctx = t.Context();
  const int outer = ctx.scriptGotoDepth;
  ctx.scriptGotoDepth = ctx.vm ? ctx.vm->CallDepth() : -1;
  t.GotoFrame(frame);
  ctx.scriptGotoDepth = outer;
}
}  // namespace

void TimelineClip::GotoFrame(int frame, bool play) {
  auto t = Instance();
  if (!t) return;
  ScriptGoto(*t, frame);
  t->SetPlaying(play);
}

void TimelineClip::Step(int delta) {
  auto t = Instance();
  if (!t) return;
  const int to = t->CurrentFrame() + delta;
  if (to >= 0 && to < t->FrameCount()) ScriptGoto(*t, to);
  t->SetPlaying(false);
}

int TimelineClip::FindLabel(std::string_view label) const {
  auto t = Instance();
  return t ? t->FindLabel(label) : -1;
}

std::vector<const std::vector<uint8_t>*> TimelineClip::FrameActions(int frame) const {
  auto t = Instance();
  return t ? t->FrameActions(frame) : std::vector<const std::vector<uint8_t>*>{};
}

bool TimelineClip::IsButton() const {
  const auto t = Instance();
  return t && t->Button();
}

int TimelineClip::MovieVersion() const {
  const auto t = Instance();
  return t ? t->GetMovie().header.version : 0;
}

ClipObject* DuplicateClip(Vm& vm, ClipObject* clip, const std::string& name, double depth) {
  return vm.ClipFor(DuplicateInstance(clip, name, depth));
}

std::shared_ptr<TimelineInstance> DuplicateInstance(ClipObject* clip, const std::string& name,
                                                    double depth) {
  auto t = clip ? clip->Instance() : nullptr;
  DisplayObject* p = clip ? clip->Placement() : nullptr;
  int32_t key = 0;
  if (!t || !p || !ClipDepthKey(depth, key)) return nullptr;
  auto parent = t->Parent();
  const DisplayObject like = *p;
  auto made = parent->PlaceClip(like.characterId, key, name, &like);
  if (!made) return nullptr;
  // The copy continues the original's drawing: its graphics, pen and open fill.
  if (t->drawing && made != t) {
    auto copy = std::make_shared<Drawing>(&t->Context().drawingCommands);
    if (copy->CopyFrom(*t->drawing)) made->drawing = std::move(copy);
  }
  return made;
}

void RemoveClip(Vm& vm, ClipObject* clip) {
  DisplayObject* p = clip ? clip->Placement() : nullptr;
  auto t = clip ? clip->Instance() : nullptr;
  // Clips at the timeline's depths (below 0 for scripts) stay until a
  // script moves them up with swapDepths; so do those at the top: from
  // 1048576 up in movies before version 7, from 2130690032 up later.
  const int32_t removableBelow =
      16384 + (t && t->GetMovie().header.version < 7 ? 1048576 : 2130690032);
  // A button goes from any depth.
  if (!p || !t || (!t->Button() && (p->depth < 16384 || p->depth >= removableBelow))) return;
  DropFocusWithin(vm, *t);
  // With no unload handler to wait for, the clip is gone at once: a
  // reference to it now stands for whatever clip takes its path.
  if (!t->Parent()->RemoveDepth(p->depth)) clip->Detach(vm);
}

}  // namespace orrivel::swf::avm1
