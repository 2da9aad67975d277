// Key, Mouse, Stage and Selection as scripts see them, and dragging.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/player/script/timeline_clip.h"
#include "swf/player/script/input.h"
#include "swf/player/script/text_field_object.h"
#include "swf/player/edit_text.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr double kTwips = 20;

int KeyCodeArg(Vm& vm, Args args) {
  const double n = vm.ToNumber(Arg(args, 0));
  return std::isfinite(n) && n >= 0 && n < 256 ? static_cast<int>(n) : -1;
}

Completion KeyIsDown(Vm& vm, const CallContext&, Args args) {
  const int code = KeyCodeArg(vm, args);
  return Value::Bool(code >= 0 && vm.input.keysDown[code]);
}

Completion KeyIsToggled(Vm& vm, const CallContext&, Args args) {
  const int code = KeyCodeArg(vm, args);
  return Value::Bool(code >= 0 && vm.input.toggled[code]);
}

Completion KeyGetCode(Vm& vm, const CallContext&, Args) { return Value::Num(vm.input.lastCode); }
Completion KeyGetAscii(Vm& vm, const CallContext&, Args) { return Value::Num(vm.input.lastAscii); }

Completion MouseHide(Vm& vm, const CallContext&, Args) {
  const bool wasShown = !vm.cursorHidden;
  vm.cursorHidden = true;
  return Value::Num(wasShown ? 1 : 0);
}

Completion MouseShow(Vm& vm, const CallContext&, Args) {
  const bool wasShown = !vm.cursorHidden;
  vm.cursorHidden = false;
  return Value::Num(wasShown ? 1 : 0);
}

ClipObject* AsClip(const Value& v) {
  return v.IsObject() && v.object->IsClip() ? static_cast<ClipObject*>(v.object) : nullptr;
}

Completion SelectionGetFocus(Vm& vm, const CallContext&, Args) {
  const Value focus = FocusValue(vm);
  return focus.IsObject() ? Value::Str(vm.ToString(focus)) : Value::Null();
}

bool CanTakeFocus(Vm& vm, ClipObject* c) {
  if (vm.ToBoolean(vm.Get(c, "focusEnabled"))) return true;
  for (const char* h : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                        "onDragOver", "onDragOut", "onKeyDown", "onKeyUp"}) {
    if (!vm.Get(c, h).IsUndefined()) return true;
  }
  return false;
}

// A clip, button or field named by a target path.
Value ResolveFocusPath(Vm& vm, std::string_view path) {
  ClipObject* base = vm.CurrentTarget() ? vm.CurrentTarget() : vm.RootClip();
  if (!base) return {};
  if (ClipObject* c = ResolveTarget(vm, base, path)) return Value::Obj(c);
  const size_t cut = path.find_last_of("./:");
  ClipObject* parent =
      cut == std::string_view::npos ? base : ResolveTarget(vm, base, path.substr(0, cut));
  const std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  TextFieldObject* field = parent ? TextFieldChild(vm, *parent, name) : nullptr;
  return field ? Value::Obj(field) : Value{};
}

Completion SelectionSetFocus(Vm& vm, const CallContext&, Args args) {
  // It takes exactly the new focus; any other call is refused.
  if (args.size() != 1) return Value::Bool(false);
  Value target = args[0];
  if (target.type == Type::String) {
    target = ResolveFocusPath(vm, target.string);
    if (!target.IsObject()) return Value::Bool(false);
  }
  // The highlight is queued before listeners hear of the move, so that focus
  // they move on lights up after this one.
  if (target.IsNullish()) {
    if (vm.focusHighlight) vm.focusHighlight(nullptr);
    SetFocus(vm, nullptr);
    return Value::Bool(true);
  }
  if (!target.IsObject()) return Value::Bool(false);
  if (target.object->IsTextField()) {
    const auto field = static_cast<TextFieldObject*>(target.object)->Field();
    if (!field) return Value::Bool(false);
    if (vm.focusHighlight) vm.focusHighlight(nullptr);
    SetFocusField(vm, field);
    return Value::Bool(true);
  }
  ClipObject* c = AsClip(target);
  const auto to = c ? c->Instance() : nullptr;
  if (!to || to->IsRoot()) return Value::Bool(false);
  // A clip takes focus only when it can: focusEnabled or button handlers.
  if (!to->Button() && !CanTakeFocus(vm, c)) return Value::Bool(false);
  if (vm.focusHighlight) vm.focusHighlight(to);
  SetFocus(vm, to);
  return Value::Bool(true);
}

// The focused field's selection: begin, end or caret; -1 without one.
EditText* FocusedField(Vm& vm) {
  return vm.input.focusMoving ? nullptr : vm.input.focusField.lock().get();
}

// The selection's anchor (`end` false) or caret, kept inside text that has
// shrunk since it was set.
double SelectionPoint(const EditText& f, bool caret) {
  return static_cast<double>(std::min(caret ? f.selectionEnd : f.selectionBegin, f.Length()));
}

Completion SelectionBegin(Vm& vm, const CallContext&, Args) {
  const EditText* f = FocusedField(vm);
  if (!f) return Value::Num(-1);
  return Value::Num(std::min(SelectionPoint(*f, false), SelectionPoint(*f, true)));
}

Completion SelectionEnd(Vm& vm, const CallContext&, Args) {
  const EditText* f = FocusedField(vm);
  if (!f) return Value::Num(-1);
  return Value::Num(std::max(SelectionPoint(*f, false), SelectionPoint(*f, true)));
}

Completion SelectionCaret(Vm& vm, const CallContext&, Args) {
  const EditText* f = FocusedField(vm);
  return Value::Num(f ? SelectionPoint(*f, true) : -1);
}

Completion SelectionSetSelection(Vm& vm, const CallContext&, Args args) {
  // Exactly an anchor and a caret; any other call changes nothing.
  EditText* f = FocusedField(vm);
  if (!f || args.size() != 2) return {};
  const auto index = [&](const Value& v) {
    const double n = vm.ToNumber(v);
    const double length = static_cast<double>(f->Length());
    return static_cast<size_t>(std::isfinite(n) ? std::clamp(n, 0.0, length) : 0.0);
  };
  f->selectionBegin = index(args[0]);
  f->selectionEnd = index(args[1]);
  return {};
}

void DefineTabIndex(Vm& vm, Object* proto, uint8_t flags) {
  proto->Define(vm, "tabIndex", Value{}, flags);
  if (Property* p = proto->FindProperty(vm, "tabIndex")) {
    p->getter = vm.NewNative(ButtonTabIndex);
    p->setter = vm.NewNative(SetButtonTabIndex);
  }
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

namespace {

Value ObjectOf(Vm& vm, const std::shared_ptr<TimelineInstance>& clip,
               const std::shared_ptr<EditText>& field) {
  if (clip) return Value::Obj(vm.ClipFor(clip));
  if (field) return Value::Obj(TextFieldFor(vm, field));
  return Value::Null();
}

// Tells the old and new focus and Selection's listeners that focus moved.
bool MoveFocus(Vm& vm, const std::shared_ptr<TimelineInstance>& clip,
               const std::shared_ptr<EditText>& field) {
  InputState& in = vm.input;
  const auto fromClip = in.focus.lock();
  const auto fromField = in.focusField.lock();
  in.focusTakesKeys = true;
  const ClipObject* shown = clip ? vm.ClipFor(clip) : nullptr;
  in.focusRectShown =
      shown && (vm.version >= 6 ? shown->focusRect.value_or(in.focusRect) : in.focusRect);
  if (field) field->selectionBegin = 0, field->selectionEnd = field->Length();
  if (fromClip == clip && fromField == field) return false;
  if (fromField) fromField->focused = false;
  if (field) field->focused = true;
  in.focus = clip;
  in.focusField = field;
  const Value oldV = ObjectOf(vm, fromClip, fromField);
  const Value newV = ObjectOf(vm, clip, field);
  const bool wasMoving = std::exchange(in.focusMoving, true);
  if (oldV.IsObject()) vm.CallMethod(oldV.object, "onKillFocus", Args(&newV, 1));
  if (newV.IsObject()) vm.CallMethod(newV.object, "onSetFocus", Args(&oldV, 1));
  const Value both[2] = {oldV, newV};
  if (vm.selectionObject) Broadcast(vm, vm.selectionObject, "onSetFocus", both);
  in.focusMoving = wasMoving;
  return true;
}

}  // namespace

bool SetFocus(Vm& vm, const std::shared_ptr<TimelineInstance>& to) {
  return MoveFocus(vm, to, nullptr);
}

bool SetFocusField(Vm& vm, const std::shared_ptr<EditText>& to) {
  return MoveFocus(vm, nullptr, to);
}

Value GetFocusRect(Vm& vm, const std::optional<bool>* own) {
  if (vm.version < 6) return Value::Num(vm.input.focusRect ? 1 : 0);
  if (!own) return Value::Bool(vm.input.focusRect);
  return *own ? Value::Bool(**own) : Value::Null();
}

void SetFocusRect(Vm& vm, std::optional<bool>* own, const Value& v) {
  if (own && vm.version >= 6) {
    *own = v.IsNullish() ? std::nullopt : std::optional(vm.ToBoolean(v));
    return;
  }
  // The movie-wide setting takes a number; what is not one leaves it be.
  if (v.IsNullish()) return;
  if (v.IsObject()) {
    vm.input.focusRect = false;
    return;
  }
  const double n = SettingNumber(vm, v);
  if (!std::isnan(n)) vm.input.focusRect = n != 0;
}

double SettingNumber(Vm& vm, const Value& v) {
  return v.type == Type::String ? StringToNumber(v.string, std::max(vm.version, 5))
                                : vm.ToNumber(v);
}

Value FocusValue(Vm& vm) { return ObjectOf(vm, vm.input.focus.lock(), vm.input.focusField.lock()); }

void DropFocusWithin(Vm& vm, const TimelineInstance& t) {
  auto cur = vm.input.focus.lock();
  if (const auto field = vm.input.focusField.lock()) cur = field->parent.lock();
  for (; cur; cur = cur->Parent()) {
    if (cur.get() == &t) {
      SetFocus(vm, nullptr);
      return;
    }
  }
}

void StartDragging(Vm& vm, ClipObject* clip, bool lockCenter, const double* bounds) {
  const auto t = clip ? clip->Instance() : nullptr;
  DisplayObject* p = clip ? clip->Placement() : nullptr;
  if (!t || !p) return;
  InputState& in = vm.input;
  // A dragged clip is the script's: the timeline moves it no more.
  p->scripted = true;
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

void StopDragging(Vm& vm) { vm.input.dragged.reset(); }

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

namespace {

// Key, Mouse and Selection are read-only through and through; from version
// 6 on they broadcast to listeners.
void MakeInputBroadcaster(Vm& vm, Object* obj) {
  if (vm.version >= 6) MakeBroadcaster(vm, obj, kReadOnly);
}

// In the order the player defines them (it lists them newest first).
constexpr Member kKey[] = {
    ConstNumber("CAPSLOCK", 20, kConstant),
    ConstNumber("BACKSPACE", 8, kConstant),
    ConstNumber("DELETEKEY", 46, kConstant),
    ConstNumber("INSERT", 45, kConstant),
    ConstNumber("ESCAPE", 27, kConstant),
    ConstNumber("SHIFT", 16, kConstant),
    ConstNumber("CONTROL", 17, kConstant),
    ConstNumber("TAB", 9, kConstant),
    ConstNumber("END", 35, kConstant),
    ConstNumber("HOME", 36, kConstant),
    ConstNumber("PGDN", 34, kConstant),
    ConstNumber("PGUP", 33, kConstant),
    ConstNumber("RIGHT", 39, kConstant),
    ConstNumber("LEFT", 37, kConstant),
    ConstNumber("DOWN", 40, kConstant),
    ConstNumber("UP", 38, kConstant),
    ConstNumber("SPACE", 32, kConstant),
    ConstNumber("ENTER", 13, kConstant),
    ConstNumber("ALT", 18, kConstant),
    Method("getAscii", KeyGetAscii, kConstant),
    Method("getCode", KeyGetCode, kConstant),
    Method("isDown", KeyIsDown, kConstant),
    Method("isToggled", KeyIsToggled, kConstant),
};

constexpr Member kMouse[] = {
    Method("show", MouseShow, kConstant),
    Method("hide", MouseHide, kConstant),
};

constexpr Member kSelection[] = {
    Method("getBeginIndex", SelectionBegin, kConstant),
    Method("getEndIndex", SelectionEnd, kConstant),
    Method("getCaretIndex", SelectionCaret, kConstant),
    Method("getFocus", SelectionGetFocus, kConstant),
    Method("setFocus", SelectionSetFocus, kConstant),
    Method("setSelection", SelectionSetSelection, kConstant),
};

// Buttons as scripts see them: switched on and showing a hand by default.
// Every member of Button.prototype shows up when a script lists a button's
// properties, the newest first; getDepth is the clips' own, and the display
// properties of later players are there for every movie that has buttons.
constexpr Member kButtonProto[] = {
    ConstBool("useHandCursor", true, 0),
    ConstBool("enabled", true, 0),
};

void FinishButton(Vm& vm, Object* button) {
  Object* proto = PrototypeOf(vm, button);
  if (vm.clipProto) proto->Define(vm, "getDepth", vm.Get(vm.clipProto, "getDepth"), 0);
  proto->Define(vm, "scale9Grid", Value{}, 0);
  const struct {
    const char* name;
    NativeFn get, set;
  } accessors[] = {{"filters", GetFilters, SetFilters},
                   {"cacheAsBitmap", GetCacheAsBitmap, SetCacheAsBitmap},
                   {"blendMode", GetBlendMode, SetBlendMode}};
  for (const auto& a : accessors) {
    proto->Define(vm, a.name, Value{}, 0);
    if (Property* p = proto->FindProperty(vm, a.name)) {
      p->getter = vm.NewNative(a.get);
      p->setter = vm.NewNative(a.set);
    }
  }
  DefineTabIndex(vm, proto, 0);
}

}  // namespace

extern const ClassDecl kKeyObject{.name = "Key",
                                  .ctor = nullptr,
                                  .proto = {},
                                  .statics = kKey,
                                  .keep = &Vm::keyObject,
                                  .finish = MakeInputBroadcaster};
extern const ClassDecl kMouseObject{.name = "Mouse",
                                    .ctor = nullptr,
                                    .proto = {},
                                    .statics = kMouse,
                                    .keep = &Vm::mouseObject,
                                    .finish = MakeInputBroadcaster};
extern const ClassDecl kSelectionObject{.name = "Selection",
                                        .ctor = nullptr,
                                        .proto = {},
                                        .statics = kSelection,
                                        .keep = &Vm::selectionObject,
                                        .finish = MakeInputBroadcaster};
// Before version 6 buttons are plain clips (an empty class stands in).
extern const ClassDecl kButtonClass{.name = "Button",
                                    .ctor = PlainCtor,
                                    .proto = kButtonProto,
                                    .since = 6,
                                    .keep = &Vm::buttonProto,
                                    .finish = FinishButton};

// startDrag([lockCenter, left, top, right, bottom]) on a clip.
Completion StartDrag(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = AsClip(Value::Obj(self));
  if (!clip) return {};
  double bounds[4];
  const bool bounded = args.size() >= 5;
  for (int i = 0; bounded && i < 4; ++i) bounds[i] = vm.ToNumber(args[1 + i]);
  ClipStartDrag(vm, clip, vm.ToBoolean(Arg(args, 0)), bounded ? bounds : nullptr);
  return {};
}

Completion StopDrag(Vm& vm, const CallContext&, Args) {
  ClipStopDrag(vm);
  return {};
}

// A clip's or button's tabIndex: a 32-bit number, what is not one the lowest.
Completion ButtonTabIndex(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const ClipObject* clip = AsClip(Value::Obj(self));
  return clip && clip->tabIndex ? Value::Num(*clip->tabIndex) : Value{};
}

Completion SetButtonTabIndex(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ClipObject* clip = AsClip(Value::Obj(self));
  if (!clip) return {};
  const Value v = Arg(args, 0);
  // The root keeps what it is given, as a plain property.
  if (const auto t = clip->Instance(); t && t->IsRoot()) {
    clip->Define(vm, "tabIndex", v, kDontEnum);
    return {};
  }
  if (v.IsUndefined()) {
    clip->tabIndex.reset();
  } else {
    const double n = vm.ToNumber(v);
    clip->tabIndex = std::isfinite(n) ? ToInt32(n) : std::numeric_limits<int32_t>::min();
  }
  return {};
}

}  // namespace orrivel::swf::avm1
