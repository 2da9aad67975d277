// NetConnection and NetStream: a null connection plays FLV files from the
// movie's folder or below; every other connection and every URL is refused
// as other loads are. Status events reach onStatus between frames, in the
// order Flash Player gives them; script data tags call the stream's method
// of their name (onMetaData, onCuePoint) with their values.
#include <algorithm>
#include <optional>

#include "swf/avm1/amf0_writer.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/loader.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/vm.h"
#include "swf/player/script/net_stream_object.h"
#include "swf/player/script/script_display.h"
#include "swf/sound/sound_sink.h"

namespace orrivel::swf::avm1 {

namespace {

// Streams open at once, and the bytes of their files together: a movie
// playing file after file without closing any stays bounded.
constexpr std::size_t kMaxOpenStreams = 16;
constexpr std::size_t kMaxOpenBytes = 256u << 20;

class NetConnectionState : public Object {
 public:
  bool connected = false;
  std::string remoteUrl;  // a remoting gateway (http), which calls go to
  int calls = 0;
};

bool IsHttpUrl(std::string_view url) {
  std::string head(url.substr(0, 8));
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return head.starts_with("http://") || head.starts_with("https://");
}

Object* InfoObject(Vm& vm, const std::string& code, const std::string& level,
                   std::optional<double> details) {
  Object* info = vm.NewObject();
  vm.Set(info, "code", Value::Str(code));
  vm.Set(info, "level", Value::Str(level));
  if (details) vm.Set(info, "details", Value::Num(*details));
  return info;
}

// Errors nobody handles on the object go to System.onStatus, as in the player.
void TellStatus(Vm& vm, Object* target, const std::string& code, const std::string& level,
                std::optional<double> details = std::nullopt) {
  const Value arg[1] = {Value::Obj(InfoObject(vm, code, level, details))};
  if (vm.CallMethod(target, "onStatus", arg) || level != "error") return;
  const Value system = vm.Get(vm.global, "System");
  if (system.IsObject()) vm.CallMethod(system.object, "onStatus", arg);
}

Value ScriptValue(Vm& vm, const video::AmfValue& v) {
  using Type = video::AmfValue::Type;
  switch (v.type) {
    case Type::Number:
      return Value::Num(v.number);
    case Type::Boolean:
      return Value::Bool(v.boolean);
    case Type::String:
      return Value::Str(v.string);
    case Type::Null:
      return Value::Null();
    case Type::Undefined:
      return {};
    case Type::Date: {
      const Value date = vm.Get(vm.global, "Date");
      if (!date.IsObject()) return {};
      const Value ms[1] = {Value::Num(v.number)};
      return vm.Construct(date.object, ms);
    }
    case Type::StrictArray: {
      std::vector<Value> elements;
      for (const auto& e : v.elements) elements.push_back(ScriptValue(vm, e));
      return Value::Obj(vm.NewArray(std::move(elements)));
    }
    case Type::Object:
    case Type::EcmaArray: {
      // An ECMA array arrives as an Array holding named properties.
      Object* obj = v.type == Type::EcmaArray ? vm.NewArray() : vm.NewObject();
      for (const auto& [name, value] : v.properties) vm.Set(obj, name, ScriptValue(vm, value));
      return Value::Obj(obj);
    }
  }
  return {};
}

// ---- NetConnection ------------------------------------------------------------

Completion NetConnect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return Value::Bool(false);
  auto* state = AttachState<NetConnectionState>(vm, self);
  // Only a null connection (files played from the movie's folder) is
  // allowed: a server would be the network.
  state->connected = !args.empty() && args[0].IsNullish();
  state->remoteUrl.clear();
  // A remoting gateway connects nothing: each call is a request of its own.
  if (!args.empty() && args[0].type == Type::String && IsHttpUrl(args[0].string)) {
    state->remoteUrl = args[0].string;
    return Value::Bool(true);
  }
  if (!state->connected) {
    Refuse(vm, "NetConnection.connect");
    TellStatus(vm, self, "NetConnection.Connect.Failed", "error");
    return Value::Bool(false);
  }
  TellStatus(vm, self, "NetConnection.Connect.Success", "status");
  return Value::Bool(true);
}

Completion IsConnected(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const auto* state = self ? InheritedStateOf<NetConnectionState>(self) : nullptr;
  return Value::Bool(state && state->connected);
}

// call(name, responder, args...) posts the call to the gateway as AMF0; no
// answer comes, as from a server the player cannot reach.
Completion NetCall(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* state = self ? InheritedStateOf<NetConnectionState>(self) : nullptr;
  if (!state || state->remoteUrl.empty() || args.empty()) return {};
  avm1::OutgoingRequest r;
  r.url = state->remoteUrl;
  r.method = "POST";
  r.mime = "application/x-amf";
  r.body = avm1::Amf0Request(vm, vm.ToString(args[0]), ++state->calls,
                             args.size() > 2 ? args.subspan(2) : Args{});
  avm1::ReportRequest(vm, r);
  Refuse(vm, "NetConnection.call");
  return {};
}

constexpr Member kNetConnectionFirstInstance[] = {
    Accessor("isConnected", IsConnected, nullptr, kDontEnum),
};

// The first connection made gives the class its readable property.
Completion NetConnectionCtor(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (self && self->proto) DeclareOnFirstInstance(vm, self->proto, kNetConnectionFirstInstance);
  return {};
}

constexpr Member kNetConnectionProto[] = {
    Method("connect", NetConnect),
    Method("close", ReturnUndefined),
    Method("call", NetCall),
    Method("addHeader", ReturnUndefined),
};

// ---- NetStream -----------------------------------------------------------------

video::FlvPlayback* PlaybackOf(Object* self) {
  NetStreamState* s = NetStreamOf(self);
  return s ? s->source->playback.get() : nullptr;
}

Completion StreamTime(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const auto* p = PlaybackOf(self);
  return Value::Num(p ? p->Time() : 0);
}
Completion StreamBufferLength(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const auto* p = PlaybackOf(self);
  return Value::Num(p ? p->BufferLength() : 0);
}
Completion StreamBytes(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const auto* p = PlaybackOf(self);
  return Value::Num(p ? static_cast<double>(p->Bytes()) : 0);
}
Completion StreamFps(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const auto* p = PlaybackOf(self);
  return Value::Num(p ? p->CurrentFps() : 0);
}
Completion Zero(Vm&, const CallContext&, Args) { return Value::Num(0); }
Completion StreamBufferTime(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const NetStreamState* s = NetStreamOf(self);
  return s && !s->bufferTime.IsUndefined() ? s->bufferTime : Value::Num(0);
}

constexpr Member kNetStreamFirstInstance[] = {
    Accessor("bytesTotal", StreamBytes, nullptr, kDontEnum),
    Accessor("bytesLoaded", StreamBytes, nullptr, kDontEnum),
    Accessor("time", StreamTime, nullptr, kDontEnum),
    Accessor("liveDelay", Zero, nullptr, kDontEnum),
    Accessor("bufferLength", StreamBufferLength, nullptr, kDontEnum),
    Accessor("currentFps", StreamFps, nullptr, kDontEnum),
    Accessor("bufferTime", StreamBufferTime, nullptr, kDontEnum),
};

// A stream made on a connected NetConnection gives the class its readable
// properties, as the player does; one made otherwise never plays.
Completion NetStreamCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value nc = Arg(args, 0);
  if (!self) return {};
  const auto* connection =
      nc.IsObject() ? InheritedStateOf<NetConnectionState>(nc.object) : nullptr;
  if (!self->proto || !connection || !connection->connected) return {};
  DeclareOnFirstInstance(vm, self->proto, kNetStreamFirstInstance);
  AttachState<NetStreamState>(vm, self)->connected = true;
  return {};
}

// Reads the file through the player's reader, which only reaches the
// movie's folder and reports what it refuses.
bool ReadStreamFile(Vm& vm, const std::string& url, std::string& out) {
  const auto& limits = DisplayOf(vm).ctx.limits;
  const auto& reader = limits.readStream ? limits.readStream : vm.readFile;
  return !url.empty() && reader && reader(url, out);
}

bool IsFlv(const std::string& bytes) {
  return bytes.size() >= 9 && bytes.compare(0, 3, "FLV") == 0;
}

// The sound format of an FLV audio tag's first byte; nothing for formats
// without a decoder here (Nellymoser, AAC, Speex), which play silent.
std::optional<SoundFormatInfo> FlvSoundFormat(uint8_t header) {
  const uint8_t code = header >> 4;
  const SoundFormatInfo info{static_cast<SoundFormat>(code),
                             static_cast<uint8_t>((header >> 2) & 3), (header & 2) != 0,
                             (header & 1) != 0};
  switch (code) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 7:
    case 8:
      return info;
    case 14:  // MP3 at 8 kHz: the decoder reads the rate from the frames
      return SoundFormatInfo{SoundFormat::Mp3, 0, true, false};
    default:
      return std::nullopt;
  }
}

// The stream's sound goes to the mixer as its tags come due.
void PlayStreamSound(Vm& vm, Object* stream, video::FlvPlayback& playback) {
  SoundSink* sink = DisplayOf(vm).ctx.sound;
  const video::StreamAudio audio = playback.TakeAudio();
  if (!sink) return;
  if (audio.restart) sink->StopExternalSound(stream);
  for (const auto& tag : audio.tags) {
    if (const auto format = FlvSoundFormat(tag[0]))
      sink->PushExternalSound(stream, *format, tag.subspan(1));
  }
}

void StopStreamSound(Vm& vm, Object* stream) {
  if (SoundSink* sink = DisplayOf(vm).ctx.sound) sink->StopExternalSound(stream);
}

Completion NetStreamPlay(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  NetStreamState* s = self ? StateOf<NetStreamState>(self) : nullptr;
  if (!s || !s->connected || args.empty()) return {};
  auto& streams = DisplayOf(vm).netStreams;
  std::erase(streams, self);
  s->source->playback.reset();
  StopStreamSound(vm, self);
  std::size_t openBytes = 0;
  for (Object* other : streams) {
    if (const auto* p = PlaybackOf(other)) openBytes += p->Bytes();
  }
  std::string bytes;
  const std::string url = vm.ToString(args[0]);
  const bool found = streams.size() < kMaxOpenStreams && ReadStreamFile(vm, url, bytes) &&
                     openBytes + bytes.size() <= kMaxOpenBytes;
  if (found && IsFlv(bytes)) {
    auto playback =
        std::make_shared<video::FlvPlayback>(std::make_shared<const std::string>(std::move(bytes)));
    if (!s->bufferTime.IsUndefined()) playback->SetBufferTime(vm.ToNumber(s->bufferTime));
    s->source->playback = std::move(playback);
  } else {
    // A file that is there but is no FLV is told apart from a missing one.
    s->pending.emplace_back(
        found ? "NetStream.Play.FileStructureInvalid" : "NetStream.Play.StreamNotFound", "error");
  }
  if (streams.size() < kMaxOpenStreams) streams.push_back(self);
  return {};
}

Completion NetStreamPause(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  // Without a flag, pause() toggles.
  if (auto* p = PlaybackOf(self)) {
    p->Pause(args.empty() || args[0].IsUndefined() ? std::nullopt
                                                   : std::optional<bool>(vm.ToBoolean(args[0])));
  }
  return {};
}

Completion NetStreamSeek(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (auto* p = PlaybackOf(self)) p->Seek(vm.ToNumber(Arg(args, 0)));
  return {};
}

Completion NetStreamClose(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  NetStreamState* s = self ? StateOf<NetStreamState>(self) : nullptr;
  if (!s) return {};
  s->source->playback.reset();
  s->pending.clear();
  StopStreamSound(vm, self);
  std::erase(DisplayOf(vm).netStreams, self);
  return {};
}

Completion NetStreamSetBufferTime(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  NetStreamState* s = self ? AttachState<NetStreamState>(vm, self) : nullptr;
  if (s && !args.empty()) {
    const double t = vm.ToNumber(args[0]);
    s->bufferTime = Value::Num(t > 0 ? t : 0);
    if (s->source->playback) s->source->playback->SetBufferTime(t > 0 ? t : 0);
  }
  return {};
}

constexpr Member kNetStreamProto[] = {
    Method("publish", ReturnUndefined),
    Method("play", NetStreamPlay),
    Method("receiveAudio", ReturnUndefined),
    Method("receiveVideo", ReturnUndefined),
    Method("pause", NetStreamPause),
    Method("seek", NetStreamSeek),
    Method("close", NetStreamClose),
    Method("attachAudio", ReturnUndefined),
    Method("attachVideo", ReturnUndefined),
    Method("send", ReturnUndefined),
    Method("setBufferTime", NetStreamSetBufferTime),
};

void Deliver(Vm& vm, Object* stream, const video::StreamEvent& e) {
  if (!e.isScript) {
    TellStatus(vm, stream, e.code, e.level, e.details);
    return;
  }
  std::vector<Value> args;
  for (const auto& v : e.script.args) args.push_back(ScriptValue(vm, v));
  vm.CallMethod(stream, e.script.name, args);
}

}  // namespace

NetStreamState* NetStreamOf(Object* obj) { return InheritedStateOf<NetStreamState>(obj); }

void AdvanceNetStreams(Vm& vm) {
  ScriptDisplay& display = DisplayOf(vm);
  const double elapsed = display.streamClockMs < 0 ? 0 : vm.timeMs - display.streamClockMs;
  display.streamClockMs = vm.timeMs;
  if (display.netStreams.empty()) return;
  // A copy: handlers may play, close or open streams.
  const std::vector<Object*> streams = display.netStreams;
  for (Object* stream : streams) {
    NetStreamState* s = StateOf<NetStreamState>(stream);
    if (!s) continue;
    std::vector<video::StreamEvent> events;
    for (auto& [code, level] : s->pending) events.push_back({code, level, false, {}, std::nullopt});
    s->pending.clear();
    if (auto playback = s->source->playback) {
      playback->Advance(elapsed);
      PlayStreamSound(vm, stream, *playback);
      for (auto& e : playback->TakeEvents()) events.push_back(std::move(e));
    }
    for (const auto& e : events) {
      if (vm.Disabled()) return;
      Deliver(vm, stream, e);
    }
  }
  // A stream that failed to open is done once it has told so.
  std::erase_if(display.netStreams, [](Object* o) {
    const NetStreamState* s = StateOf<NetStreamState>(o);
    return !s || (!s->source->playback && s->pending.empty());
  });
}

extern const ClassDecl kNetConnectionClass{
    .name = "NetConnection", .ctor = NetConnectionCtor, .proto = kNetConnectionProto};
extern const ClassDecl kNetStreamClass{
    .name = "NetStream", .ctor = NetStreamCtor, .proto = kNetStreamProto};

}  // namespace orrivel::swf::avm1
