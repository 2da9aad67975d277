// The clip rules that need no display: property names and conversions,
// target paths and frame values. What they change on the stage goes through
// the clip's own methods or the display host.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <string>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/display_host.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr const char* kPropertyNames[] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse"};
constexpr int kPropertyCount = 22;

}  // namespace

int ClipPropertyIndex(std::string_view name) {
  for (int i = 0; i < kPropertyCount; ++i) {
    if (name.size() == std::char_traits<char>::length(kPropertyNames[i])) {
      bool same = true;
      for (std::size_t k = 0; k < name.size() && same; ++k)
        same = std::tolower(static_cast<unsigned char>(name[k])) == kPropertyNames[i][k];
      if (same) return i;
    }
  }
  return -1;
}

Value ConvertPropertyValue(Vm& vm, int index, const Value& v) {
  // The value is converted as the property takes it even when there is no
  // clip to set: _name and _quality take text, the read-only names nothing.
  switch (index) {
    case 13:
    case 19:
      // From version 7 a NaN name is written as "0".
      if (index == 13 && vm.version >= 7 && v.type == Type::Number && std::isnan(v.number))
        return Value::Str("0");
      return Value::Str(vm.ToString(v));
    case 11:
    case 12:
    case 14:
    case 15:
      return {};
    default:
      break;
  }
  if (vm.version >= 5) return Value::Num(vm.ToNumber(v));
  // Version 4 takes text only when it is wholly a number, and leaves the
  // property as it is (NaN) for anything else and for infinities.
  double n = std::numeric_limits<double>::quiet_NaN();
  if (v.type == Type::String) {
    if (!v.string.empty()) n = StringToNumber(v.string, 7);
  } else if (!v.IsNullish()) {
    n = vm.ToNumber(v);
  }
  return Value::Num(std::isfinite(n) ? n : std::numeric_limits<double>::quiet_NaN());
}

namespace {

// The level a version 4 path's first step names: "_level" or "_flash" and
// the digits that follow, up to whatever comes after them ("_level0:x" is
// level 0).
ClipObject* Swf4Level(Vm& vm, std::string_view seg) {
  if (seg.size() < 6) return nullptr;
  if (!vm.NamesEqual(seg.substr(0, 6), "_level") && !vm.NamesEqual(seg.substr(0, 6), "_flash"))
    return nullptr;
  std::size_t digits = 6;
  while (digits < seg.size() && digits < 12 && seg[digits] >= '0' && seg[digits] <= '9') ++digits;
  return vm.LevelClip("_level" + std::string(seg.substr(6, digits - 6)));
}

// Version 4 paths: slashes separate clip names and ".." steps up; dots and
// colons are part of the names, and neither _root nor variables are steps.
ClipObject* ResolveSwf4Path(Vm& vm, ClipObject* base, std::string_view path) {
  if (path.find("//") != std::string_view::npos) return nullptr;
  ClipObject* cur = base;
  bool first = true;
  if (path.starts_with('/')) {
    cur = base ? vm.RootOf(base) : nullptr;
    path.remove_prefix(1);
    first = false;
  }
  while (cur && !path.empty()) {
    const std::size_t cut = std::min(path.find('/'), path.size());
    const std::string_view seg = path.substr(0, cut);
    path = cut < path.size() ? path.substr(cut + 1) : std::string_view{};
    if (seg.empty()) continue;
    if (seg == "..") {
      cur = cur->Parent(vm);
    } else if (ClipObject* level = first ? Swf4Level(vm, seg) : nullptr) {
      cur = level;
    } else {
      cur = cur->Child(vm, seg);
    }
    first = false;
  }
  return cur;
}

}  // namespace

Object* ResolvePath(Vm& vm, Object* base, std::string_view path, bool anyObject,
                    bool logPrimitive) {
  if (vm.version < 5) {
    return ResolveSwf4Path(vm, base && base->IsClip() ? static_cast<ClipObject*>(base) : nullptr,
                           path);
  }
  if (path.find("//") != std::string_view::npos) return nullptr;  // an empty step names nothing
  // Nor a leading dot other than a ".." step ("...:a" is none).
  if (path.starts_with('.') &&
      !(path.starts_with("..") && (path.size() == 2 || path[2] == '/' || path[2] == ':')))
    return nullptr;
  Object* cur = base;
  // Dots separate steps up to the first slash; past it only slashes and
  // colons do ("a.b/c.d" is a, b, then a clip named "c.d").
  bool slashes = false;
  if (!path.empty() && path.front() == '/') {
    cur = base && base->IsClip() ? vm.RootOf(static_cast<ClipObject*>(base)) : nullptr;
    path.remove_prefix(1);
    slashes = true;
  }
  const auto separator = [&slashes](char c) {
    return c == '/' || c == ':' || (!slashes && c == '.');
  };
  bool afterDot = false;
  while (cur && !path.empty()) {
    std::size_t cut = 0;
    // ".." steps up at the start or after a slash or colon; after a dot it
    // is two empty steps ("_level0.." is _level0).
    const bool up = !afterDot && path.starts_with("..") &&
                    (path.size() == 2 || path[2] == '/' || path[2] == ':');
    if (up) {
      cut = 2;
    } else {
      while (cut < path.size() && !separator(path[cut])) ++cut;
    }
    const std::string_view seg = path.substr(0, cut);
    if (cut < path.size() && path[cut] == '/') slashes = true;
    afterDot = cut < path.size() && path[cut] == '.';
    path = cut < path.size() ? path.substr(cut + 1) : std::string_view{};
    // `this` stays put in a variable's path; a target path has no such step.
    if (seg.empty() || (anyObject && seg == "this")) continue;
    // A variable's path may start at the global object ("_global.Foo.bar").
    if (anyObject && vm.version >= 6 && vm.NamesEqual(seg, "_global")) {
      cur = vm.global;
      continue;
    }
    if (!cur->IsClip()) {
      // Past a plain object, steps are its members.
      const Value v = up ? Value{} : vm.Get(cur, seg);
      cur = v.IsObject() ? v.object : nullptr;
      continue;
    }
    auto* clip = static_cast<ClipObject*>(cur);
    if (up || vm.NamesEqual(seg, "_parent")) {
      cur = clip->Parent(vm);
    } else if (vm.NamesEqual(seg, "_root")) {
      cur = vm.RootOf(clip);
    } else if (ClipObject* level = vm.LevelClip(seg)) {
      cur = level;
    } else if (ClipObject* child = clip->Child(vm, seg)) {
      cur = child;
    } else {
      // A variable holding a clip or a plain object also works as a path
      // step ("o" of "o.t"); a target path must still end at a clip.
      Value v;
      cur = clip->Object::GetOwn(vm, seg, v) && v.IsObject() ? v.object : nullptr;
      // The player logs a target step that reaches a primitive, which it
      // no longer boxes.
      const Type t = v.type;
      if (logPrimitive && (t == Type::String || t == Type::Number || t == Type::Boolean) &&
          vm.traceSink)
        vm.traceSink(
            "Parameters of primitive types are no longer coerced into the required type - "
            "Object.");
    }
  }
  return anyObject || !cur || cur->IsClip() ? cur : nullptr;
}

ClipObject* ResolveTarget(Vm& vm, ClipObject* base, std::string_view path, bool logPrimitive) {
  return static_cast<ClipObject*>(ResolvePath(vm, base, path, false, logPrimitive));
}

void ClipSetPlaying(ClipObject* clip, bool playing) {
  if (clip) clip->SetPlaying(playing);
}

void ClipGotoFrame(ClipObject* clip, int frame, bool play) {
  if (clip) clip->GotoFrame(frame, play);
}

void ClipStep(ClipObject* clip, int delta) {
  if (clip) clip->Step(delta);
}

namespace {
// The clip and 0-based frame a goto value names; frame -1 when none. A
// number, string or object is read as text: a whole number is a frame number
// (from 1), anything else a label, so 4.8 finds the label "4.8" and 6.1
// nothing. Other values count as numbers.
int FrameOf(Vm& vm, ClipObject*& clip, const Value& v, int bias) {
  if (v.type != Type::String && v.type != Type::Number && v.type != Type::Object) {
    const double n = vm.ToNumber(v);
    if (!std::isfinite(n)) return -1;
    return static_cast<int>(std::clamp(std::trunc(n) + bias - 1, 0.0, 65535.0));
  }
  std::string what = v.type == Type::String ? v.string : vm.ToString(v);
  const std::size_t colon = v.type == Type::String ? what.rfind(':') : std::string::npos;
  if (colon != std::string::npos) {
    clip = ResolveTarget(vm, clip, std::string_view(what).substr(0, colon));
    what.erase(0, colon + 1);
  } else if (const std::size_t dot = v.type == Type::String ? what.rfind('.') : std::string::npos;
             dot != std::string::npos && dot > 0) {
    // "path.frame" names a frame of the clip the dot path reaches; when it
    // reaches none the whole text is a label ("4.8").
    if (ClipObject* owner = ResolveTarget(vm, clip, std::string_view(what).substr(0, dot))) {
      clip = owner;
      what.erase(0, dot + 1);
    }
  }
  if (!clip || !clip->Instance()) return -1;
  const double n = StringToNumber(what, 7);
  if (std::isfinite(n) && n == std::trunc(n)) {
    // Frame numbers wrap at 32 bits (4294967299 is frame 3).
    const double frame = static_cast<double>(ToInt32(n)) + bias - 1;
    return frame < 0 ? -1 : static_cast<int>(std::min(frame, 65535.0));
  }
  return clip->FindLabel(what);
}
}  // namespace

void ClipGotoValue(Vm& vm, ClipObject* clip, const Value& frame, bool play, int bias) {
  const int f = FrameOf(vm, clip, frame, bias);
  if (f >= 0) ClipGotoFrame(clip, f, play);
}

void ClipGotoLabel(ClipObject* clip, const std::string& label) {
  if (!clip || !clip->Instance()) return;
  const int f = clip->FindLabel(label);
  if (f >= 0) ClipGotoFrame(clip, f, false);
}

void ClipCallFrame(Vm& vm, ClipObject* clip, const Value& frame) {
  const int f = FrameOf(vm, clip, frame, 0);
  if (f < 0 || !clip || !clip->Instance()) return;
  for (const auto* bytes : clip->FrameActions(f)) vm.RunBlock(*bytes, clip);
}

bool ClipDepthKey(double depth, int32_t& key) {
  constexpr double kLowest = -16384, kHighest = 2130690044;
  if (!(depth >= kLowest && depth <= kHighest)) return false;
  // Script depths count from the bottom of the timeline's.
  key = static_cast<int32_t>(std::trunc(depth)) + 16384;
  return true;
}

ClipObject* ClipDuplicate(Vm& vm, ClipObject* clip, const std::string& name, double depth) {
  return vm.display ? vm.display->Duplicate(clip, name, depth) : nullptr;
}

void ClipRemove(Vm& vm, ClipObject* clip) {
  if (vm.display) vm.display->Remove(clip);
}

void ClipStartDrag(Vm& vm, ClipObject* clip, bool lockCenter, const double* bounds) {
  if (vm.display) vm.display->StartDrag(clip, lockCenter, bounds);
}

void ClipStopDrag(Vm& vm) {
  if (vm.display) vm.display->StopDrag();
}

}  // namespace orrivel::swf::avm1
