// System (capabilities, security, IME, Product), Stage, Accessibility and
// ExternalInterface: what a movie can ask of its host. The answers describe
// a Windows desktop player; nothing here reaches the network, the clipboard
// or another program.
#include <string>

#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"
#include "swf/format/movie.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr const char* kPlayerVersion = "WIN 9,0,115,0";

Completion AllowDomain(Vm&, Object*, Args args) { return Value::Bool(!args.empty()); }

Completion LoadPolicyFile(Vm& vm, Object*, Args) {
  Refuse(vm, "System.security.loadPolicyFile");
  return {};
}

Completion SetClipboard(Vm& vm, Object*, Args) {
  Refuse(vm, "System.setClipboard");
  return Value::Bool(false);
}

Completion ProductAction(Vm& vm, Object*, Args) {
  Refuse(vm, "System.Product");
  return Value::Bool(false);
}

Completion ImeGetConversionMode(Vm&, Object*, Args) { return Value::Str("UNKNOWN"); }

void InstallCapabilities(Vm& vm, Object* system) {
  Object* caps = vm.NewObject();
  const int w = 1920, h = 1080;
  struct Flag {
    const char* name;
    bool value;
  };
  const Flag flags[] = {{"hasAccessibility", true},
                        {"hasTLS", true},
                        {"hasVideoEncoder", false},
                        {"hasAudioEncoder", false},
                        {"hasMP3", true},
                        {"hasAudio", true},
                        {"hasStreamingAudio", false},
                        {"hasStreamingVideo", false},
                        {"hasEmbeddedVideo", false},
                        {"hasPrinting", false},
                        {"hasScreenPlayback", false},
                        {"hasScreenBroadcast", false},
                        {"isDebugger", false},
                        {"avHardwareDisable", true},
                        {"localFileReadDisable", false},
                        {"windowlessDisable", false},
                        {"hasIME", false}};
  caps->Define(vm, "pixelAspectRatio", Value::Num(1));
  caps->Define(vm, "screenColor", Value::Str("color"));
  caps->Define(vm, "screenDPI", Value::Num(72));
  caps->Define(vm, "screenResolutionY", Value::Num(h));
  caps->Define(vm, "screenResolutionX", Value::Num(w));
  std::string server = "A=t&SA=t&SV=f&EV=f&MP3=t&AE=f&VE=f&ACC=t&PR=f&SP=f&SB=f&DEB=f&V=";
  for (const char c : std::string(kPlayerVersion))
    server += c == ' ' ? "%20" : c == ',' ? "%2C" : std::string(1, c);
  server += "&M=Adobe%20Windows&R=" + std::to_string(w) + "x" + std::to_string(h) +
            "&DP=72&COL=color&AR=1.0&OS=Windows%2010&L=en&PT=StandAlone&AVD=t&LFD=f&WD=f&TLS=t";
  caps->Define(vm, "serverString", Value::Str(server));
  caps->Define(vm, "version", Value::Str(kPlayerVersion));
  caps->Define(vm, "playerType", Value::Str("StandAlone"));
  caps->Define(vm, "manufacturer", Value::Str("Adobe Windows"));
  caps->Define(vm, "os", Value::Str("Windows 10"));
  caps->Define(vm, "language", Value::Str("en"));
  for (const Flag& f : flags) caps->Define(vm, f.name, Value::Bool(f.value));
  system->Define(vm, "capabilities", Value::Obj(caps));
}

void InstallSecurity(Vm& vm, Object* system) {
  Object* security = vm.NewObject();
  const bool network = vm.movie && vm.movie->fileAttributesUseNetwork;
  security->Define(vm, "sandboxType", Value::Str(network ? "localWithNetwork" : "localWithFile"),
                   kReadOnly);
  AddMethods(vm, security,
             {{"allowDomain", AllowDomain},
              {"loadPolicyFile", LoadPolicyFile},
              {"escapeDomain", ReturnUndefined},
              {"chooseLocalSwfPath", ReturnUndefined}},
             0);
  if (vm.version >= 7) AddMethods(vm, security, {{"allowInsecureDomain", AllowDomain}}, 0);
  system->Define(vm, "security", Value::Obj(security));
}

void InstallIme(Vm& vm, Object* system) {
  Object* ime = vm.NewObject();
  const char* modes[] = {
      "UNKNOWN",           "KOREAN",  "JAPANESE_KATAKANA_HALF", "JAPANESE_KATAKANA_FULL",
      "JAPANESE_HIRAGANA", "CHINESE", "ALPHANUMERIC_HALF",      "ALPHANUMERIC_FULL"};
  for (const char* m : modes) ime->Define(vm, m, Value::Str(m), kConstant);
  AddMethods(vm, ime,
             {{"getEnabled", ReturnFalse},
              {"setEnabled", ReturnFalse},
              {"getConversionMode", ImeGetConversionMode},
              {"setConversionMode", ReturnFalse},
              {"setCompositionString", ReturnFalse},
              {"doConversion", ReturnFalse}},
             kConstant);
  system->Define(vm, "IME", Value::Obj(ime));
}

// ---- Stage -----------------------------------------------------------------

Completion StageWidth(Vm& vm, Object*, Args) {
  return Value::Num(vm.movie ? vm.movie->header.frameSize.Width() / 20.0 : 0);
}
Completion StageHeight(Vm& vm, Object*, Args) {
  return Value::Num(vm.movie ? vm.movie->header.frameSize.Height() / 20.0 : 0);
}

// The stage's settings, which its accessors filter.
class StageState : public Object {
 public:
  std::string scaleMode = "showAll", align, displayState = "normal";
  bool showMenu = true;
};

StageState* StageOf(Object* self) { return InheritedStateOf<StageState>(self); }

Completion GetScaleMode(Vm&, Object* self, Args) {
  const StageState* s = StageOf(self);
  return s ? Value::Str(s->scaleMode) : Value{};
}
Completion SetScaleMode(Vm& vm, Object* self, Args args) {
  if (!self || args.empty()) return {};
  const std::string mode = vm.ToString(args[0]);
  for (const char* known : {"showAll", "noBorder", "exactFit", "noScale"}) {
    std::string lower(known);
    if (mode.size() != lower.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < mode.size(); ++i)
      same = same && std::tolower(static_cast<unsigned char>(mode[i])) ==
                         std::tolower(static_cast<unsigned char>(lower[i]));
    if (same) {
      AttachState<StageState>(vm, self)->scaleMode = known;
      return {};
    }
  }
  AttachState<StageState>(vm, self)->scaleMode = "showAll";
  return {};
}

Completion GetAlign(Vm&, Object* self, Args) {
  const StageState* s = StageOf(self);
  return s ? Value::Str(s->align) : Value{};
}
Completion SetAlign(Vm& vm, Object* self, Args args) {
  if (!self || args.empty()) return {};
  const std::string in = vm.ToString(args[0]);
  std::string out;
  for (const char side : {'L', 'T', 'R', 'B'}) {
    for (const char c : in) {
      if (std::toupper(static_cast<unsigned char>(c)) == side) {
        out += side;
        break;
      }
    }
  }
  AttachState<StageState>(vm, self)->align = out;
  return {};
}

Completion GetShowMenu(Vm&, Object* self, Args) {
  const StageState* s = StageOf(self);
  return s ? Value::Bool(s->showMenu) : Value{};
}
Completion SetShowMenu(Vm& vm, Object* self, Args args) {
  if (self && !args.empty()) AttachState<StageState>(vm, self)->showMenu = vm.ToBoolean(args[0]);
  return {};
}

Completion GetDisplayState(Vm&, Object* self, Args) {
  const StageState* s = StageOf(self);
  return s ? Value::Str(s->displayState) : Value{};
}
Completion SetDisplayState(Vm& vm, Object* self, Args args) {
  if (!self || args.empty()) return {};
  std::string s = vm.ToString(args[0]);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A screen saver always fills the screen; the state is only remembered.
  if (s == "fullscreen") AttachState<StageState>(vm, self)->displayState = "fullScreen";
  if (s == "normal") AttachState<StageState>(vm, self)->displayState = "normal";
  return {};
}

void InstallStage(Vm& vm) {
  Object* stage = vm.stageObject;
  if (!stage) return;
  AttachState<StageState>(vm, stage);
  AddAccessor(vm, stage, "align", GetAlign, SetAlign, 0);
  AddAccessor(vm, stage, "scaleMode", GetScaleMode, SetScaleMode, 0);
  AddAccessor(vm, stage, "height", StageHeight, nullptr, 0);
  AddAccessor(vm, stage, "width", StageWidth, nullptr, 0);
  AddAccessor(vm, stage, "showMenu", GetShowMenu, SetShowMenu, 0);
  AddAccessor(vm, stage, "displayState", GetDisplayState, SetDisplayState, 0);
  // Stage broadcasts onResize from version 6 on; before, it has no listeners.
  if (vm.version < 6) {
    for (const char* name : {"addListener", "removeListener"}) {
      if (Property* p = stage->FindProperty(vm, name)) p->flags = 0;
      stage->DeleteOwn(vm, name);
    }
  }
}

}  // namespace

void InstallSystemBuiltins(Vm& vm) {
  Object* system = HostObject(vm, vm.global, "System");
  InstallCapabilities(vm, system);
  InstallSecurity(vm, system);
  InstallIme(vm, system);
  AddMethods(vm, system, {{"setClipboard", SetClipboard}, {"showSettings", ReturnUndefined}}, 0);
  system->Define(vm, "useCodepage", Value::Bool(false));
  if (vm.version >= 6) system->Define(vm, "exactSettings", Value::Bool(vm.version >= 7));
  FunctionObject* product = vm.NewNative(PlainCtor, vm.NewObject());
  AddMethods(vm, PrototypeOf(vm, product), {{"launch", ProductAction}, {"download", ProductAction}},
             0);
  system->Define(vm, "Product", Value::Obj(product));

  Object* accessibility = HostObject(vm, vm.global, "Accessibility");
  if (vm.version >= 6) {
    AddMethods(vm, accessibility,
               {{"isActive", ReturnFalse},
                {"sendEvent", ReturnUndefined},
                {"updateProperties", ReturnUndefined}},
               0);
  }
  InstallStage(vm);

  InstallExternalBuiltins(vm);
}

void InitRootClip(Vm& vm, Object* root) {
  root->Define(vm, "$version", Value::Str(kPlayerVersion));
}

}  // namespace orrivel::swf::avm1
