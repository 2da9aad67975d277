// Video: a placed video character as scripts see it, found by its instance
// name on its clip. attachVideo(stream) shows a NetStream's pictures in the
// character's box; clear() blanks it until the next picture. Its display
// properties (_x, _width ...) work on its placement as a clip's do.
#include <algorithm>
#include <cmath>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/vm.h"
#include "swf/player/script/net_stream_object.h"
#include "swf/player/script/video_object.h"
#include "swf/player/timeline_instance.h"
#include "swf/render/shape_convert.h"

namespace orrivel::swf::avm1 {

namespace {

double Round(double v, double unit) { return std::round(v / unit) * unit; }

const VideoDefinition* VideoCharacter(const TimelineInstance& t, const DisplayObject& obj) {
  const auto& chars = t.GetMovie().characters;
  const auto it = chars.find(obj.characterId);
  return it == chars.end() ? nullptr : std::get_if<VideoDefinition>(&it->second);
}

// The box of the character in its parent's space, in twips.
FloatRect ParentBox(const VideoDefinition& def, const Matrix& m) {
  FloatRect r;
  const double w = def.width * 20.0, h = def.height * 20.0;
  for (const auto& [x, y] :
       {std::pair{0.0, 0.0}, std::pair{w, 0.0}, std::pair{0.0, h}, std::pair{w, h}}) {
    r.Include(static_cast<float>(m.a * x + m.c * y + m.tx),
              static_cast<float>(m.b * x + m.d * y + m.ty));
  }
  return r;
}

VideoObject* AsVideo(Object* self) { return dynamic_cast<VideoObject*>(self); }

Completion AttachVideo(Vm&, const CallContext& call, Args args) {
  Object* const self = call.This();
  VideoObject* v = AsVideo(self);
  auto display = v ? v->display.lock() : nullptr;
  if (!display) return {};
  // A NetStream's pictures show; anything else (no argument, null, a
  // camera, which never gives pictures here) detaches.
  NetStreamState* stream =
      args.empty() || !args[0].IsObject() ? nullptr : NetStreamOf(args[0].object);
  display->source = stream ? stream->source : nullptr;
  return {};
}

Completion ClearVideo(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  VideoObject* v = AsVideo(self);
  if (auto display = v ? v->display.lock() : nullptr) display->Clear();
  return {};
}

// The size of the pictures decoded, 0 before the first.
Completion DecodedSize(Object* self, bool height) {
  VideoObject* v = AsVideo(self);
  auto display = v ? v->display.lock() : nullptr;
  const auto picture = display ? display->Current() : nullptr;
  return Value::Num(picture ? (height ? picture->height : picture->width) : 0);
}
Completion VideoWidth(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  return DecodedSize(self, false);
}
Completion VideoHeight(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  return DecodedSize(self, true);
}

Completion GetSmoothing(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  VideoObject* v = AsVideo(self);
  return Value::Bool(v && v->smoothing);
}
Completion SetSmoothing(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (VideoObject* v = AsVideo(self); v && !args.empty()) v->smoothing = vm.ToBoolean(args[0]);
  return {};
}
Completion GetDeblocking(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  VideoObject* v = AsVideo(self);
  return Value::Num(v ? v->deblocking : 0);
}
Completion SetDeblocking(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (VideoObject* v = AsVideo(self); v && !args.empty()) v->deblocking = vm.ToNumber(args[0]);
  return {};
}

constexpr Member kVideoProto[] = {
    Method("attachVideo", AttachVideo),
    Method("clear", ClearVideo),
};

// A placed video's object gives the class these, as the player does.
constexpr Member kVideoFirstInstance[] = {
    Accessor("smoothing", GetSmoothing, SetSmoothing),
    Accessor("deblocking", GetDeblocking, SetDeblocking),
    Accessor("height", VideoHeight, nullptr),
    Accessor("width", VideoWidth, nullptr),
};

}  // namespace

DisplayObject* VideoObject::Placement(const VideoDefinition** def) const {
  auto t = parent.lock();
  auto d = display.lock();
  if (!t || !d) return nullptr;
  for (auto& [depth, obj] : t->MutableList()) {
    if (obj.video != d) continue;
    if (def) *def = VideoCharacter(*t, obj);
    return &obj;
  }
  return nullptr;
}

bool VideoObject::GetOwn(Vm& vm, std::string_view name, Value& out) {
  const int index = name.empty() || name[0] != '_' ? -1 : ClipPropertyIndex(name);
  const VideoDefinition* def = nullptr;
  DisplayObject* p = index >= 0 ? Placement(&def) : nullptr;
  if (!p) return Object::GetOwn(vm, name, out);
  const Matrix& m = p->matrix;
  switch (index) {
    case 0:
      out = Value::Num(Round(m.tx / 20.0, 0.05));
      return true;
    case 1:
      out = Value::Num(Round(m.ty / 20.0, 0.05));
      return true;
    case 2:
    case 3:
      out = Value::Num(
          GetScaleProperty(p, index == 3 ? ScaleProperty::YScale : ScaleProperty::XScale));
      return true;
    case 6:
      out = Value::Num(p->colorTransform.aMult * 100.0 / 256);
      return true;
    case 7:
      out = Value::Bool(p->visible);
      return true;
    case 8:
    case 9: {
      const FloatRect r = def ? ParentBox(*def, m) : FloatRect{};
      out = Value::Num(std::trunc(index == 8 ? r.xMax - r.xMin : r.yMax - r.yMin) / 20.0);
      return true;
    }
    case 10:
      out = Value::Num(GetScaleProperty(p, ScaleProperty::Rotation));
      return true;
    case 13:
      out = Value::Str(p->name);
      return true;
    default:
      return Object::GetOwn(vm, name, out);
  }
}

bool VideoObject::SetOwn(Vm& vm, std::string_view name, const Value& v) {
  const int index = name.empty() || name[0] != '_' ? -1 : ClipPropertyIndex(name);
  const VideoDefinition* def = nullptr;
  DisplayObject* p = index >= 0 ? Placement(&def) : nullptr;
  if (!p) return Object::SetOwn(vm, name, v);
  const double n = vm.ToNumber(v);
  switch (index) {
    case 0:
    case 1:
      if (std::isfinite(n)) (index == 0 ? p->matrix.tx : p->matrix.ty) = std::round(n * 20);
      break;
    case 2:
    case 3:
      SetScaleProperty(*p, index == 3 ? ScaleProperty::YScale : ScaleProperty::XScale, n);
      break;
    case 6:
      if (std::isfinite(n))
        p->colorTransform.aMult = static_cast<int16_t>(std::clamp(n * 2.56, -32768.0, 32767.0));
      break;
    case 7:
      p->visible = vm.ToBoolean(v);
      break;
    case 8:
    case 9: {
      // A new size scales the placement by the ratio to the old one.
      const FloatRect r = def ? ParentBox(*def, p->matrix) : FloatRect{};
      const double old = (index == 8 ? r.xMax - r.xMin : r.yMax - r.yMin) / 20.0;
      if (old > 0 && std::isfinite(n) && n >= 0) {
        const auto which = index == 8 ? ScaleProperty::XScale : ScaleProperty::YScale;
        SetScaleProperty(*p, which, GetScaleProperty(p, which) * n / old);
      }
      break;
    }
    case 10:
      SetScaleProperty(*p, ScaleProperty::Rotation, n);
      break;
    default:
      return Object::SetOwn(vm, name, v);
  }
  p->scripted = true;
  return true;
}

bool IsVideoPlacement(const TimelineInstance& t, const DisplayObject& obj) {
  return !obj.instance && !obj.text && VideoCharacter(t, obj) != nullptr;
}

std::string VideoObject::Path(Vm& vm) const {
  auto t = parent.lock();
  const DisplayObject* p = Placement();
  ClipObject* clip = t ? vm.ClipFor(t) : nullptr;
  return p && clip ? clip->Path(vm) + "." + p->name : std::string();
}

bool DuplicateVideo(const VideoObject& source, const std::string& name, double depth) {
  const DisplayObject* p = source.Placement();
  auto t = source.parent.lock();
  int32_t key = 0;
  if (!p || !t || !ClipDepthKey(depth, key)) return false;
  DisplayList& list = t->MutableList();
  TimelineContext& ctx = t->Context();
  if (!list.contains(key) && ctx.liveObjects >= ctx.limits.maxDisplayObjects) return false;
  DisplayObject obj = *p;
  obj.instance.reset();
  obj.video = std::make_shared<VideoDisplay>();
  obj.filters.clear();
  obj.visible = true;
  obj.depth = key;
  obj.name = name;
  obj.scripted = true;
  obj.byScript = true;
  if (!list.contains(key)) ++ctx.liveObjects;
  list.insert_or_assign(key, std::move(obj));
  return true;
}

VideoObject* VideoChild(Vm& vm, const ClipObject& parent, std::string_view name) {
  auto t = parent.Instance();
  if (!t) return nullptr;
  for (auto& [depth, obj] : t->MutableList()) {
    if (obj.name.empty() || !vm.NamesEqual(obj.name, name) || !IsVideoPlacement(*t, obj)) continue;
    if (!obj.video) obj.video = std::make_shared<VideoDisplay>();
    if (!obj.video->script) {
      auto* v = vm.New<VideoObject>();
      const Value cls = vm.Get(vm.global, "Video");
      Object* proto = cls.IsObject() ? PrototypeOf(vm, cls.object) : nullptr;
      v->proto = proto ? proto : vm.objectProto;
      if (proto) DeclareOnFirstInstance(vm, proto, kVideoFirstInstance);
      v->display = obj.video;
      v->parent = t;
      obj.video->script = v;
    }
    return static_cast<VideoObject*>(obj.video->script);
  }
  return nullptr;
}

extern const ClassDecl kVideoClass{.name = "Video", .ctor = PlainCtor, .proto = kVideoProto};

}  // namespace orrivel::swf::avm1
