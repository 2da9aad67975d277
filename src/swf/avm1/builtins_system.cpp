// System (capabilities, security, IME, Product), Stage, Accessibility and
// ExternalInterface: what a movie can ask of its host. The answers describe
// a Windows desktop player; nothing here reaches the network, the clipboard
// or another program.
#include <string>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"
#include "swf/format/movie.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr const char* kPlayerVersion = "WIN 9,0,115,0";

Completion AllowDomain(Vm&, const CallContext&, Args args) { return Value::Bool(!args.empty()); }

Completion LoadPolicyFile(Vm& vm, const CallContext&, Args) {
  Refuse(vm, "System.security.loadPolicyFile");
  return {};
}

Completion SetClipboard(Vm& vm, const CallContext&, Args) {
  Refuse(vm, "System.setClipboard");
  return Value::Bool(false);
}

Completion ProductAction(Vm& vm, const CallContext&, Args) {
  Refuse(vm, "System.Product");
  return Value::Bool(false);
}

Completion ImeGetConversionMode(Vm&, const CallContext&, Args) { return Value::Str("UNKNOWN"); }

// In the order the player defines them (it lists them newest first). The
// answers describe a 1920 x 1080 Windows desktop.
constexpr Member kCapabilities[] = {
    ConstBool("hasAccessibility", true, 0),
    ConstNumber("pixelAspectRatio", 1, 0),
    ConstString("screenColor", "color", 0),
    ConstNumber("screenDPI", 72, 0),
    ConstNumber("screenResolutionY", 1080, 0),
    ConstNumber("screenResolutionX", 1920, 0),
    ConstBool("hasTLS", true, 0),
    ConstBool("hasVideoEncoder", false, 0),
    ConstBool("hasAudioEncoder", false, 0),
    ConstBool("hasMP3", true, 0),
    ConstBool("hasAudio", true, 0),
    // The others summed up, as the player sends them to servers.
    ConstString("serverString",
                "A=t&SA=t&SV=f&EV=f&MP3=t&AE=f&VE=f&ACC=t&PR=f&SP=f&SB=f&DEB=f&V=WIN%209%2C0%2C115%"
                "2C0&M=Adobe%20Windows&R=1920x1080&DP=72&COL=color&AR=1.0&OS=Windows%2010&L=en&PT="
                "StandAlone&AVD=t&LFD=f&WD=f&TLS=t",
                0),
    ConstString("version", kPlayerVersion, 0),
    ConstBool("hasStreamingAudio", false, 0),
    ConstBool("hasStreamingVideo", false, 0),
    ConstBool("hasEmbeddedVideo", false, 0),
    ConstBool("hasPrinting", false, 0),
    ConstBool("hasScreenPlayback", false, 0),
    ConstBool("hasScreenBroadcast", false, 0),
    ConstBool("isDebugger", false, 0),
    ConstString("playerType", "StandAlone", 0),
    ConstBool("avHardwareDisable", true, 0),
    ConstBool("localFileReadDisable", false, 0),
    ConstBool("windowlessDisable", false, 0),
    ConstString("manufacturer", "Adobe Windows", 0),
    ConstString("os", "Windows 10", 0),
    ConstString("language", "en", 0),
    ConstBool("hasIME", false, 0),
};

// Whether the movie may reach the network decides its sandbox.
void FinishSecurity(Vm& vm, Object* security) {
  const bool network = vm.movie && vm.movie->fileAttributesUseNetwork;
  security->Define(vm, "sandboxType", Value::Str(network ? "localWithNetwork" : "localWithFile"),
                   kReadOnly);
}

constexpr Member kSecurity[] = {
    Method("allowDomain", AllowDomain, 0),
    AbsentBefore(Method("allowInsecureDomain", AllowDomain, 0, 7)),
    Method("loadPolicyFile", LoadPolicyFile, 0),
    Method("chooseLocalSwfPath", ReturnUndefined, 0),
    Method("escapeDomain", ReturnUndefined, 0),
};

constexpr Member kIme[] = {
    ConstString("UNKNOWN", "UNKNOWN", kConstant),
    ConstString("KOREAN", "KOREAN", kConstant),
    ConstString("JAPANESE_KATAKANA_HALF", "JAPANESE_KATAKANA_HALF", kConstant),
    ConstString("JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_FULL", kConstant),
    ConstString("JAPANESE_HIRAGANA", "JAPANESE_HIRAGANA", kConstant),
    ConstString("CHINESE", "CHINESE", kConstant),
    ConstString("ALPHANUMERIC_HALF", "ALPHANUMERIC_HALF", kConstant),
    ConstString("ALPHANUMERIC_FULL", "ALPHANUMERIC_FULL", kConstant),
    Method("getEnabled", ReturnFalse, kConstant),
    Method("setEnabled", ReturnFalse, kConstant),
    Method("getConversionMode", ImeGetConversionMode, kConstant),
    Method("setConversionMode", ReturnFalse, kConstant),
    Method("setCompositionString", ReturnFalse, kConstant),
    Method("doConversion", ReturnFalse, kConstant),
};

constexpr Member kSystem[] = {
    Method("setClipboard", SetClipboard, 0),
    Method("showSettings", ReturnUndefined, 0),
    ConstBool("useCodepage", false, 0),
};

// exactSettings arrived with version 6, true from version 7 on.
void FinishSystem(Vm& vm, Object* system) {
  if (vm.version >= 6) system->Define(vm, "exactSettings", Value::Bool(vm.version >= 7), 0);
}

constexpr Member kProductProto[] = {
    Method("launch", ProductAction, 0),
    Method("download", ProductAction, 0),
};

constexpr Member kAccessibility[] = {
    AbsentBefore(Method("isActive", ReturnFalse, 0, 6)),
    AbsentBefore(Method("sendEvent", ReturnUndefined, 0, 6)),
    AbsentBefore(Method("updateProperties", ReturnUndefined, 0, 6)),
};

// ---- Stage -----------------------------------------------------------------

Completion StageWidth(Vm& vm, const CallContext&, Args) {
  return Value::Num(vm.movie ? vm.movie->header.frameSize.Width() / 20.0 : 0);
}
Completion StageHeight(Vm& vm, const CallContext&, Args) {
  return Value::Num(vm.movie ? vm.movie->header.frameSize.Height() / 20.0 : 0);
}

// The stage's settings, which its accessors filter.
class StageState : public Object {
 public:
  std::string scaleMode = "showAll", align, displayState = "normal";
  bool showMenu = true;
};

StageState* StageOf(Object* self) { return InheritedStateOf<StageState>(self); }

Completion GetScaleMode(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const StageState* s = StageOf(self);
  return s ? Value::Str(s->scaleMode) : Value{};
}
Completion SetScaleMode(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
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

Completion GetAlign(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const StageState* s = StageOf(self);
  return s ? Value::Str(s->align) : Value{};
}
Completion SetAlign(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
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

Completion GetShowMenu(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const StageState* s = StageOf(self);
  return s ? Value::Bool(s->showMenu) : Value{};
}
Completion SetShowMenu(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self && !args.empty()) AttachState<StageState>(vm, self)->showMenu = vm.ToBoolean(args[0]);
  return {};
}

Completion GetDisplayState(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const StageState* s = StageOf(self);
  return s ? Value::Str(s->displayState) : Value{};
}
Completion SetDisplayState(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return {};
  std::string s = vm.ToString(args[0]);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A screen saver always fills the screen; the state is only remembered.
  if (s == "fullscreen") AttachState<StageState>(vm, self)->displayState = "fullScreen";
  if (s == "normal") AttachState<StageState>(vm, self)->displayState = "normal";
  return {};
}

// Stage broadcasts onResize from version 6 on; before, it has no listeners.
void FinishStage(Vm& vm, Object* stage) {
  AttachState<StageState>(vm, stage);
  if (vm.version >= 6) MakeBroadcaster(vm, stage);
}

constexpr Member kStage[] = {
    Native(666, 3, Accessor("align", GetAlign, SetAlign, 0)),
    Native(666, 1, Accessor("scaleMode", GetScaleMode, SetScaleMode, 0)),
    Native(666, 7, Accessor("height", StageHeight, nullptr, 0)),
    Native(666, 5, Accessor("width", StageWidth, nullptr, 0)),
    Native(666, 9, Accessor("showMenu", GetShowMenu, SetShowMenu, 0)),
    Accessor("displayState", GetDisplayState, SetDisplayState, 0),
};

}  // namespace

// The objects System holds are filled in after it is made.
extern const ClassDecl kSystemObject{
    .name = "System", .ctor = nullptr, .proto = {}, .statics = kSystem, .finish = FinishSystem};
extern const ClassDecl kCapabilitiesObject{.name = "capabilities",
                                           .ctor = nullptr,
                                           .proto = {},
                                           .statics = kCapabilities,
                                           .package = "System",
                                           .flags = 0};
extern const ClassDecl kSecurityObject{.name = "security",
                                       .ctor = nullptr,
                                       .proto = {},
                                       .statics = kSecurity,
                                       .package = "System",
                                       .flags = 0,
                                       .finish = FinishSecurity};
extern const ClassDecl kImeObject{
    .name = "IME", .ctor = nullptr, .proto = {}, .statics = kIme, .package = "System", .flags = 0};
extern const ClassDecl kProductClass{
    .name = "Product", .ctor = PlainCtor, .proto = kProductProto, .package = "System", .flags = 0};
// Version 5 movies see the object, empty.
extern const ClassDecl kAccessibilityObject{
    .name = "Accessibility", .ctor = nullptr, .proto = {}, .statics = kAccessibility};
extern const ClassDecl kStageObject{.name = "Stage",
                                    .ctor = nullptr,
                                    .proto = {},
                                    .statics = kStage,
                                    .keep = &Vm::stageObject,
                                    .finish = FinishStage};

void InitRootClip(Vm& vm, Object* root) {
  root->Define(vm, "$version", Value::Str(kPlayerVersion));
}

}  // namespace orrivel::swf::avm1
