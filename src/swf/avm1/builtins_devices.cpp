// Classes for devices and services a screen saver does not use: Camera and
// Microphone (present but muted, so nothing is ever captured), PrintJob
// (never prints) and FileReference (every dialog is cancelled). They have the members the
// player has, so movies that probe them run on.
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"

namespace orrivel::swf::avm1 {

namespace {

// The settings of a device or connection, which its accessors read.
class DeviceState : public Object {
 public:
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (device) out.push_back(device);
  }
  Value bandwidth, quality, motionLevel, motionTimeout;  // Camera
  Value gain, rate, silenceLevel, silenceTimeout, echo;  // Microphone
  Object* device = nullptr;  // the one object Camera.get or Microphone.get gives
};

// A setting, looked for along the prototype chain as a property would be.
Value Hidden(Vm&, Object* self, Value DeviceState::*field) {
  for (int guard = 0; self && guard < 256; self = self->proto, ++guard) {
    if (const DeviceState* s = StateOf<DeviceState>(self); s && !(s->*field).IsUndefined())
      return s->*field;
  }
  return {};
}
void SetHidden(Vm& vm, Object* self, Value DeviceState::*field, const Value& v) {
  if (self) AttachState<DeviceState>(vm, self)->*field = v;
}

// ---- Camera ------------------------------------------------------------------

Completion MinusOne(Vm&, const CallContext&, Args) { return Value::Num(-1); }
Completion Muted(Vm&, const CallContext&, Args) { return Value::Bool(true); }
Completion CamBandwidth(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::bandwidth);
}
Completion CamQuality(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::quality);
}
Completion CamMotionLevel(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::motionLevel);
}
Completion CamMotionTimeout(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::motionTimeout);
}
Completion CamIndex(Vm&, const CallContext&, Args) { return Value::Str("0"); }
Completion DeviceName(Vm&, const CallContext&, Args) { return Value::Str("None"); }

Completion CamSetMotionLevel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) {
    double level = vm.ToNumber(args[0]);
    if (!(level >= 0)) level = 0;
    SetHidden(vm, self, &DeviceState::motionLevel, Value::Num(std::min(level, 100.0)));
  }
  if (args.size() > 1)
    SetHidden(vm, self, &DeviceState::motionTimeout, Value::Num(vm.ToNumber(args[1])));
  return {};
}

Completion CamSetQuality(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) SetHidden(vm, self, &DeviceState::bandwidth, Value::Num(vm.ToNumber(args[0])));
  if (args.size() > 1) {
    const double q = vm.ToNumber(args[1]);
    SetHidden(vm, self, &DeviceState::quality, Value::Num(q >= 0 ? std::min(q, 100.0) : 0));
  }
  return {};
}

constexpr Member kCameraFirstInstance[] = {
    Accessor("activityLevel", MinusOne, nullptr, kDontEnum),
    Accessor("bandwidth", CamBandwidth, nullptr, kDontEnum),
    Accessor("currentFps", MinusOne, nullptr, kDontEnum),
    Accessor("fps", MinusOne, nullptr, kDontEnum),
    Accessor("height", MinusOne, nullptr, kDontEnum),
    Accessor("index", CamIndex, nullptr, kDontEnum),
    Accessor("width", MinusOne, nullptr, kDontEnum),
    Accessor("motionLevel", CamMotionLevel, nullptr, kDontEnum),
    Accessor("motionTimeout", CamMotionTimeout, nullptr, kDontEnum),
    Accessor("muted", Muted, nullptr, kDontEnum),
    Accessor("name", DeviceName, nullptr, kDontEnum),
    Accessor("quality", CamQuality, nullptr, kDontEnum),
};

// The first get() gives the prototype its readable properties, as the
// player does; one device object is shared by every get().
Completion CameraGet(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  Object* proto = PrototypeOf(vm, self);
  if (!proto) return Value::Null();
  if (const DeviceState* s = InheritedStateOf<DeviceState>(self); s && s->device)
    return Value::Obj(s->device);
  DeclareOnFirstInstance(vm, proto, kCameraFirstInstance);
  Object* cam = vm.NewObject();
  cam->proto = proto;
  SetHidden(vm, cam, &DeviceState::bandwidth, Value::Num(16384));
  SetHidden(vm, cam, &DeviceState::quality, Value::Num(0));
  SetHidden(vm, cam, &DeviceState::motionLevel, Value::Num(50));
  SetHidden(vm, cam, &DeviceState::motionTimeout, Value::Num(2000));
  AttachState<DeviceState>(vm, self)->device = cam;
  return Value::Obj(cam);
}

// In the order the player defines them (it lists them newest first).
constexpr Member kCameraProto[] = {
    Method("setMode", ReturnUndefined),
    Method("setQuality", CamSetQuality),
    Method("setKeyFrameInterval", ReturnUndefined),
    Method("setMotionLevel", CamSetMotionLevel),
    Method("setLoopback", ReturnUndefined),
    Method("setCursor", ReturnUndefined),
};
constexpr Member kCameraStatics[] = {Method("get", CameraGet)};

// No device is there to name.
void DefineNoNames(Vm& vm, Object* cls) {
  cls->Define(vm, "names", Value::Obj(vm.NewArray()), kHidden);
}

// ---- Microphone ------------------------------------------------------------------

Completion MicGain(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::gain);
}
Completion MicRate(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::rate);
}
Completion MicSilenceLevel(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::silenceLevel);
}
Completion MicSilenceTimeout(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::silenceTimeout);
}
Completion MicEcho(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Hidden(vm, self, &DeviceState::echo);
}
Completion MicIndex(Vm&, const CallContext&, Args) { return Value::Num(0); }

Completion MicSetGain(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) {
    double g = vm.ToNumber(args[0]);
    SetHidden(vm, self, &DeviceState::gain, Value::Num(g >= 0 ? std::min(g, 100.0) : 0));
  }
  return {};
}

Completion MicSetRate(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  // The nearest rate the device offers.
  const double want = vm.ToNumber(args[0]);
  double best = 8;
  for (double r : {5.0, 8.0, 11.0, 22.0, 44.0}) {
    if (want >= r) best = r;
  }
  SetHidden(vm, self, &DeviceState::rate, Value::Num(best));
  return {};
}

Completion MicSetSilenceLevel(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) {
    double level = vm.ToNumber(args[0]);
    SetHidden(vm, self, &DeviceState::silenceLevel,
              Value::Num(level >= 0 ? std::min(level, 100.0) : 0));
  }
  if (args.size() > 1)
    SetHidden(vm, self, &DeviceState::silenceTimeout, Value::Num(vm.ToNumber(args[1])));
  return {};
}

Completion MicSetEcho(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty()) SetHidden(vm, self, &DeviceState::echo, Value::Bool(vm.ToBoolean(args[0])));
  return {};
}

constexpr Member kMicrophoneFirstInstance[] = {
    Accessor("activityLevel", MinusOne, nullptr, kDontEnum),
    Accessor("gain", MicGain, nullptr, kDontEnum),
    Accessor("index", MicIndex, nullptr, kDontEnum),
    Accessor("muted", Muted, nullptr, kDontEnum),
    Accessor("name", DeviceName, nullptr, kDontEnum),
    Accessor("rate", MicRate, nullptr, kDontEnum),
    Accessor("silenceLevel", MicSilenceLevel, nullptr, kDontEnum),
    Accessor("silenceTimeout", MicSilenceTimeout, nullptr, kDontEnum),
    Accessor("useEchoSuppression", MicEcho, nullptr, kDontEnum),
};

Completion MicrophoneGet(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  Object* proto = PrototypeOf(vm, self);
  if (!proto) return Value::Null();
  if (const DeviceState* s = InheritedStateOf<DeviceState>(self); s && s->device)
    return Value::Obj(s->device);
  DeclareOnFirstInstance(vm, proto, kMicrophoneFirstInstance);
  Object* mic = vm.NewObject();
  mic->proto = proto;
  SetHidden(vm, mic, &DeviceState::gain, Value::Num(50));
  SetHidden(vm, mic, &DeviceState::rate, Value::Num(8));
  SetHidden(vm, mic, &DeviceState::silenceLevel, Value::Num(10));
  SetHidden(vm, mic, &DeviceState::silenceTimeout, Value::Num(2000));
  SetHidden(vm, mic, &DeviceState::echo, Value::Num(0));
  AttachState<DeviceState>(vm, self)->device = mic;
  return Value::Obj(mic);
}

constexpr Member kMicrophoneProto[] = {
    Method("setSilenceLevel", MicSetSilenceLevel),
    Method("setRate", MicSetRate),
    Method("setGain", MicSetGain),
    Method("setUseEchoSuppression", MicSetEcho),
};
constexpr Member kMicrophoneStatics[] = {Method("get", MicrophoneGet)};

// ---- PrintJob ------------------------------------------------------------------

Completion Zero(Vm&, const CallContext&, Args) { return Value::Num(0); }

// Nothing is ever printed: start() reports that the user declined.
constexpr Member kPrintJobProto[] = {
    AbsentBefore(Method("start", ReturnFalse, kDontEnum, 7)),
    AbsentBefore(Method("addPage", ReturnFalse, kDontEnum, 7)),
    AbsentBefore(Method("send", ReturnUndefined, kDontEnum, 7)),
};

// Newest first when enumerated: defined in reverse.
constexpr Member kPrintJobFirstInstance[] = {
    Accessor("paperHeight", Zero, nullptr, 0), Accessor("paperWidth", Zero, nullptr, 0),
    Accessor("pageHeight", Zero, nullptr, 0),  Accessor("pageWidth", Zero, nullptr, 0),
    Accessor("orientation", Zero, nullptr, 0),
};

// The first job made gives the class its readable properties.
Completion PrintJobCtor(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (self) DeclareOnFirstInstance(vm, self->proto, kPrintJobFirstInstance);
  return {};
}

// Before version 7 the class is bare.
void FinishPrintJob(Vm& vm, Object* cls) {
  if (vm.version < 7) PrototypeOf(vm, cls)->proto = nullptr;
}

// ---- FileReference ----------------------------------------------------------------

// The dialog is cancelled at once: listeners hear onCancel.
Completion FileBrowse(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return Value::Bool(false);
  Value listeners = vm.Get(self, "_listeners");
  std::vector<Value> targets;
  if (listeners.IsObject()) {
    if (auto* arr = dynamic_cast<ArrayObject*>(listeners.object)) targets = arr->elements;
  }
  const Value arg = Value::Obj(self);
  for (const Value& l : targets) {
    if (l.IsObject()) vm.CallMethod(l.object, "onCancel", {&arg, 1});
  }
  return Value::Bool(true);
}

Completion FileRefused(Vm& vm, const CallContext&, Args) {
  Refuse(vm, "FileReference transfer");
  return Value::Bool(false);
}

Completion FileRefCtor(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return {};
  self->Define(vm, "_listeners", Value::Obj(vm.NewArray()), kDontEnum);
  return {};
}

Completion FileAddListener(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty() || !args[0].IsObject()) return Value::Bool(false);
  Value list = vm.Get(self, "_listeners");
  auto* arr = list.IsObject() ? dynamic_cast<ArrayObject*>(list.object) : nullptr;
  if (!arr) return Value::Bool(false);
  for (const Value& v : arr->elements) {
    if (v.object == args[0].object) return Value::Bool(true);
  }
  if (arr->elements.size() < 4096) arr->elements.push_back(args[0]);
  return Value::Bool(true);
}

Completion FileRemoveListener(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  Value list = self ? vm.Get(self, "_listeners") : Value{};
  auto* arr = list.IsObject() ? dynamic_cast<ArrayObject*>(list.object) : nullptr;
  if (!arr || args.empty()) return Value::Bool(false);
  const std::size_t before = arr->elements.size();
  std::erase_if(arr->elements, [&](const Value& v) { return v.object == args[0].object; });
  return Value::Bool(arr->elements.size() != before);
}

constexpr Member kFileReferenceProto[] = {
    Method("addListener", FileAddListener),
    Method("removeListener", FileRemoveListener),
    Method("browse", FileBrowse),
    Method("upload", FileRefused),
    Method("download", FileRefused),
    Method("cancel", ReturnUndefined),
    Accessor("creationDate", ReturnUndefined, nullptr, 0),
    Accessor("modificationDate", ReturnUndefined, nullptr, 0),
    Accessor("name", ReturnUndefined, nullptr, 0),
    Accessor("size", ReturnUndefined, nullptr, 0),
    Accessor("type", ReturnUndefined, nullptr, 0),
};

constexpr Member kFileReferenceListProto[] = {
    Method("browse", FileBrowse),
    Method("addListener", FileAddListener),
    Method("removeListener", FileRemoveListener),
};

}  // namespace

extern const ClassDecl kCameraClass{.name = "Camera",
                                    .ctor = PlainCtor,
                                    .proto = kCameraProto,
                                    .statics = kCameraStatics,
                                    .finish = DefineNoNames};
extern const ClassDecl kMicrophoneClass{.name = "Microphone",
                                        .ctor = PlainCtor,
                                        .proto = kMicrophoneProto,
                                        .statics = kMicrophoneStatics,
                                        .finish = DefineNoNames};
extern const ClassDecl kPrintJobClass{
    .name = "PrintJob", .ctor = PrintJobCtor, .proto = kPrintJobProto, .finish = FinishPrintJob};
extern const ClassDecl kFileReferenceClass{.name = "FileReference",
                                           .ctor = FileRefCtor,
                                           .proto = kFileReferenceProto,
                                           .package = "flash.net"};
extern const ClassDecl kFileReferenceListClass{.name = "FileReferenceList",
                                               .ctor = FileRefCtor,
                                               .proto = kFileReferenceListProto,
                                               .package = "flash.net"};

}  // namespace orrivel::swf::avm1
