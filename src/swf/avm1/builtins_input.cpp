// Key, Mouse, Stage and Selection as scripts see them, and dragging.
#include <algorithm>
#include <cmath>
#include <string>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/input.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr double kTwips = 20;

int KeyCodeArg(Vm& vm, Args args) {
  const double n = vm.ToNumber(Arg(args, 0));
  return std::isfinite(n) && n >= 0 && n < 256 ? static_cast<int>(n) : -1;
}

Value KeyIsDown(Vm& vm, Object*, Args args) {
  const int code = KeyCodeArg(vm, args);
  return Value::Bool(code >= 0 && vm.input.keysDown[code]);
}

Value KeyIsToggled(Vm& vm, Object*, Args args) {
  switch (KeyCodeArg(vm, args)) {
    case 20:
      return Value::Bool(vm.input.capsLock);
    case 144:
      return Value::Bool(vm.input.numLock);
    case 145:
      return Value::Bool(vm.input.scrollLock);
    default:
      return Value::Bool(false);
  }
}

Value KeyGetCode(Vm& vm, Object*, Args) { return Value::Num(vm.input.lastCode); }
Value KeyGetAscii(Vm& vm, Object*, Args) { return Value::Num(vm.input.lastAscii); }

Value MouseHide(Vm& vm, Object*, Args) {
  const bool wasShown = !vm.cursorHidden;
  vm.cursorHidden = true;
  return Value::Num(wasShown ? 1 : 0);
}

Value MouseShow(Vm& vm, Object*, Args) {
  const bool wasShown = !vm.cursorHidden;
  vm.cursorHidden = false;
  return Value::Num(wasShown ? 1 : 0);
}

ClipObject* AsClip(const Value& v) {
  return v.IsObject() && v.object->IsClip() ? static_cast<ClipObject*>(v.object) : nullptr;
}

Value FocusPath(Vm& vm) {
  const auto focus = vm.input.focus.lock();
  if (!focus) return Value::Null();
  return Value::Str(vm.ClipFor(focus)->Path(vm));
}

Value SelectionGetFocus(Vm& vm, Object*, Args) { return FocusPath(vm); }

Value SelectionSetFocus(Vm& vm, Object*, Args args) {
  if (args.empty()) return Value::Bool(false);
  const Value target = args[0];
  std::shared_ptr<TimelineInstance> to;
  if (target.type == Type::String) {
    if (ClipObject* c =
            ResolveTarget(vm, vm.currentTarget ? vm.currentTarget : vm.RootClip(), target.string))
      to = c->Instance();
    if (!to) return Value::Bool(false);
  } else if (ClipObject* c = AsClip(target)) {
    to = c->Instance();
    if (!to) return Value::Bool(false);
  } else if (!target.IsNullish()) {
    return Value::Bool(false);
  }
  if (to && to->IsRoot()) return Value::Bool(false);
  if (to && !to->Button()) {
    // A clip takes focus only when it can: focusEnabled or button handlers.
    ClipObject* c = vm.ClipFor(to);
    bool can = vm.ToBoolean(vm.Get(c, "focusEnabled"));
    for (const char* h : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                          "onDragOver", "onDragOut", "onKeyDown", "onKeyUp"})
      can = can || !vm.Get(c, h).IsUndefined();
    if (!can) return Value::Bool(false);
  }
  SetFocus(vm, to);
  return Value::Bool(true);
}

Value SelectionIndex(Vm&, Object*, Args) { return Value::Num(-1); }
Value SelectionSetSelection(Vm&, Object*, Args) { return {}; }

// startDrag([lockCenter, left, top, right, bottom]) on a clip.
Value StartDrag(Vm& vm, Object* self, Args args) {
  ClipObject* clip = AsClip(Value::Obj(self));
  if (!clip) return {};
  double bounds[4];
  const bool bounded = args.size() >= 5;
  for (int i = 0; bounded && i < 4; ++i) bounds[i] = vm.ToNumber(args[1 + i]);
  ClipStartDrag(vm, clip, vm.ToBoolean(Arg(args, 0)), bounded ? bounds : nullptr);
  return {};
}

Value StopDrag(Vm& vm, Object*, Args) {
  ClipStopDrag(vm);
  return {};
}

// Where the parent of t maps its space to the stage.
Matrix ParentMatrix(const TimelineInstance& t) {
  const auto parent = t.Parent();
  return parent ? StageMatrix(*parent) : Matrix{};
}

}  // namespace

Matrix StageMatrix(const TimelineInstance& t) {
  Matrix m;
  const TimelineInstance* cur = &t;
  for (int guard = 0; cur && guard < 256; ++guard) {
    const auto parent = cur->Parent();
    if (!parent) break;
    for (const auto& [depth, obj] : parent->List()) {
      if (obj.instance.get() == cur) {
        m = obj.matrix * m;
        break;
      }
    }
    cur = parent.get();
  }
  return m;
}

Value ClipMouse(Vm& vm, const ClipObject& clip, bool x) {
  const auto t = clip.Instance();
  Matrix inverse;
  if (!t || !StageMatrix(*t).Invert(inverse)) return Value::Num(0);
  const double mx = vm.input.mouseX, my = vm.input.mouseY;
  const double v = x ? inverse.ApplyX(mx, my) : inverse.ApplyY(mx, my);
  return Value::Num(std::round(v / kTwips * 100) / 100);
}

bool FollowPointer(Vm& vm) {
  InputState& in = vm.input;
  const auto t = in.dragged.lock();
  DisplayObject* p = t && t->script ? static_cast<ClipObject*>(t->script)->Placement() : nullptr;
  if (!p) return false;
  Matrix toParent;
  if (!ParentMatrix(*t).Invert(toParent)) return false;
  double x = toParent.ApplyX(in.mouseX, in.mouseY) + in.dragOffsetX;
  double y = toParent.ApplyY(in.mouseX, in.mouseY) + in.dragOffsetY;
  if (in.dragBounded) {
    x = std::clamp(x, in.dragLeft, std::max(in.dragLeft, in.dragRight));
    y = std::clamp(y, in.dragTop, std::max(in.dragTop, in.dragBottom));
  }
  x = std::round(x);
  y = std::round(y);
  if (x == p->matrix.tx && y == p->matrix.ty) return false;
  p->matrix.tx = x;
  p->matrix.ty = y;
  p->scripted = true;
  return true;
}

bool SetFocus(Vm& vm, const std::shared_ptr<TimelineInstance>& to) {
  const auto from = vm.input.focus.lock();
  vm.input.focusTakesKeys = true;
  if (from == to) return false;
  vm.input.focus = to;
  const Value oldV = from ? Value::Obj(vm.ClipFor(from)) : Value::Null();
  const Value newV = to ? Value::Obj(vm.ClipFor(to)) : Value::Null();
  if (from) vm.CallMethod(vm.ClipFor(from), "onKillFocus", Args(&newV, 1));
  if (to) vm.CallMethod(vm.ClipFor(to), "onSetFocus", Args(&oldV, 1));
  const Value both[2] = {oldV, newV};
  if (vm.selectionObject) Broadcast(vm, vm.selectionObject, "onSetFocus", both);
  return true;
}

void DropFocusWithin(Vm& vm, const TimelineInstance& t) {
  const auto focus = vm.input.focus.lock();
  for (auto cur = focus; cur; cur = cur->Parent()) {
    if (cur.get() == &t) {
      SetFocus(vm, nullptr);
      return;
    }
  }
}

void ClipStartDrag(Vm& vm, ClipObject* clip, bool lockCenter, const double* bounds) {
  const auto t = clip ? clip->Instance() : nullptr;
  DisplayObject* p = clip ? clip->Placement() : nullptr;
  if (!t || !p) return;
  InputState& in = vm.input;
  in.dragged = t;
  in.dropSource = t;
  in.dropTarget.clear();
  in.dragOffsetX = in.dragOffsetY = 0;
  Matrix toParent;
  if (!lockCenter && ParentMatrix(*t).Invert(toParent)) {
    in.dragOffsetX = p->matrix.tx - toParent.ApplyX(in.mouseX, in.mouseY);
    in.dragOffsetY = p->matrix.ty - toParent.ApplyY(in.mouseX, in.mouseY);
  }
  in.dragBounded = bounds != nullptr;
  if (bounds) {
    for (int i = 0; i < 4; ++i) {
      if (!std::isfinite(bounds[i])) in.dragBounded = false;
    }
    in.dragLeft = std::min(bounds[0], bounds[2]) * kTwips;
    in.dragRight = std::max(bounds[0], bounds[2]) * kTwips;
    in.dragTop = std::min(bounds[1], bounds[3]) * kTwips;
    in.dragBottom = std::max(bounds[1], bounds[3]) * kTwips;
  }
  FollowPointer(vm);
}

void ClipStopDrag(Vm& vm) { vm.input.dragged.reset(); }

Value ClipDropTarget(Vm& vm, const ClipObject& clip) {
  const auto t = clip.Instance();
  const bool dropped = t && t == vm.input.dropSource.lock();
  return Value::Str(dropped ? vm.input.dropTarget : "");
}

std::string SlashPath(Vm& vm, const std::shared_ptr<TimelineInstance>& t) {
  std::string path = vm.ClipFor(t)->Path(vm);
  constexpr std::string_view kRoot = "_level0";
  if (path.starts_with(kRoot)) path.erase(0, kRoot.size());
  std::replace(path.begin(), path.end(), '.', '/');
  return path.empty() ? "/" : path;
}

void InstallInputBuiltins(Vm& vm) {
  const bool listeners = vm.version >= 6;
  vm.keyObject = vm.NewObject();
  vm.global->Define(vm, "Key", Value::Obj(vm.keyObject), kDontEnum);
  if (listeners) MakeBroadcaster(vm, vm.keyObject);
  vm.Method(vm.keyObject, "isDown", KeyIsDown);
  vm.Method(vm.keyObject, "isToggled", KeyIsToggled);
  vm.Method(vm.keyObject, "getCode", KeyGetCode);
  vm.Method(vm.keyObject, "getAscii", KeyGetAscii);
  const std::pair<const char*, int> keys[] = {
      {"ALT", 18},    {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46},
      {"DOWN", 40},   {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},
      {"INSERT", 45}, {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},
      {"SHIFT", 16},  {"SPACE", 32},    {"TAB", 9},       {"UP", 38}};
  for (const auto& [name, code] : keys)
    vm.keyObject->Define(vm, name, Value::Num(code), kDontEnum | kDontDelete | kReadOnly);

  vm.mouseObject = vm.NewObject();
  vm.global->Define(vm, "Mouse", Value::Obj(vm.mouseObject), kDontEnum);
  if (listeners) MakeBroadcaster(vm, vm.mouseObject);
  vm.Method(vm.mouseObject, "hide", MouseHide);
  vm.Method(vm.mouseObject, "show", MouseShow);

  if (vm.stageObject && listeners) MakeBroadcaster(vm, vm.stageObject);

  vm.selectionObject = vm.NewObject();
  vm.global->Define(vm, "Selection", Value::Obj(vm.selectionObject), kDontEnum);
  if (listeners) MakeBroadcaster(vm, vm.selectionObject);
  vm.Method(vm.selectionObject, "getFocus", SelectionGetFocus);
  vm.Method(vm.selectionObject, "setFocus", SelectionSetFocus);
  vm.Method(vm.selectionObject, "getBeginIndex", SelectionIndex);
  vm.Method(vm.selectionObject, "getEndIndex", SelectionIndex);
  vm.Method(vm.selectionObject, "getCaretIndex", SelectionIndex);
  vm.Method(vm.selectionObject, "setSelection", SelectionSetSelection);

  if (vm.version >= 6) {
    // Buttons as scripts see them: switched on and showing a hand by default.
    vm.buttonProto = vm.NewObject();
    FunctionObject* button = vm.NewNative(nullptr, vm.buttonProto);
    vm.global->Define(vm, "Button", Value::Obj(button), kDontEnum);
    vm.buttonProto->Define(vm, "enabled", Value::Bool(true), kDontEnum);
    vm.buttonProto->Define(vm, "useHandCursor", Value::Bool(true), kDontEnum);
    if (vm.clipProto)
      vm.buttonProto->Define(vm, "getDepth", vm.Get(vm.clipProto, "getDepth"), kDontEnum);
  }
  if (vm.clipProto) {
    vm.Method(vm.clipProto, "startDrag", StartDrag);
    vm.Method(vm.clipProto, "stopDrag", StopDrag);
    // A clip with button handlers reacts to the pointer unless a script turns it off.
    vm.clipProto->Define(vm, "enabled", Value::Bool(true), kDontEnum);
    vm.clipProto->Define(vm, "useHandCursor", Value::Bool(true), kDontEnum);
  }
}

}  // namespace orrivel::swf::avm1
