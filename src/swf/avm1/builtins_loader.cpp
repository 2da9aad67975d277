// LoadVars, MovieClipLoader, the load methods XML shares, loadVariables and
// the network classes of an offline player (XMLSocket never connects;
// SharedObject keeps its data through the host's storage).
// Requests are queued here and answered by the movie's loader after the
// frame's scripts (movie_loader.cpp).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/clip_methods.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/loader.h"
#include "swf/avm1/url_vars.h"

namespace orrivel::swf::avm1 {

namespace {

void Refuse(Vm& vm, const std::string& what) {
  if (vm.refusalSink) vm.refusalSink(what);
}

// The method a load names ("GET" or "POST", in any case); empty for none.
std::string MethodName(Vm& vm, const Value& v) {
  if (v.IsUndefined()) return {};
  std::string m = vm.ToString(v);
  for (char& c : m) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return m == "GET" || m == "POST" ? m : std::string();
}

// ---- Shared load methods -------------------------------------------------------

// `loaded` goes through an accessor where the class has one (XML), and is
// otherwise the object's own hidden property (LoadVars).
void SetLoadedFlag(Vm& vm, Object* self, bool loaded) {
  int guard = 0;
  for (Object* o = self; o && guard < 256; o = o->proto, ++guard) {
    if (Property* p = o->FindProperty(vm, "loaded"); p && p->setter) {
      vm.Set(self, "loaded", Value::Bool(loaded));
      return;
    }
  }
  self->Define(vm, "loaded", Value::Bool(loaded), kDontEnum);
}

void StartLoad(Vm& vm, Object* self, const std::string& url, const OutgoingRequest* post) {
  SetLoadedFlag(vm, self, false);
  self->Define(vm, "_bytesLoaded", Value::Num(0), kDontEnum | kDontDelete);
  self->Define(vm, "_bytesTotal", Value{}, kDontEnum | kDontDelete);
  if (post)
    QueueRequest(vm, kLoadData, Value::Obj(self), *post);
  else
    QueueLoad(vm, kLoadData, Value::Obj(self), url);
}

Completion Load(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return Value::Bool(false);
  StartLoad(vm, self, vm.ToString(args[0]), nullptr);
  return Value::Bool(true);
}

// What send and sendAndLoad post: the object's text (toString) as its
// contentType says.
OutgoingRequest PostOf(Vm& vm, Object* self, const std::string& url, const std::string& method) {
  OutgoingRequest r;
  r.url = url;
  Value text;
  vm.CallMethod(self, "toString", {}, &text);
  const std::string body = vm.ToString(text);
  if (method == "GET") {
    r.method = "GET";
    if (!body.empty()) r.url += (url.find('?') == std::string::npos ? "?" : "&") + body;
  } else {
    r.method = "POST";
    r.mime = vm.ToString(vm.Get(self, "contentType"));
    r.body = body;
  }
  return r;
}

// Nothing is sent anywhere: the player has no network. The target loads the
// URL as load() would, so a file beside the movie answers with its contents
// (as a local file answered a POST) and anything else fails as unreachable.
Completion SendAndLoad(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.size() < 2) return Value::Bool(false);
  if (!args[1].IsObject()) return Value::Bool(false);
  const std::string url = vm.ToString(args[0]);
  const OutgoingRequest post = PostOf(vm, self, url, MethodName(vm, Arg(args, 2)));
  StartLoad(vm, args[1].object, url, &post);
  return Value::Bool(true);
}

// send(url[, window[, method]]) would open the answer in a browser window.
Completion Send(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return Value::Bool(false);
  const std::string url = vm.ToString(args[0]);
  OutgoingRequest r = PostOf(vm, self, url, MethodName(vm, Arg(args, 2)));
  r.kind = OutgoingRequest::Kind::kNavigate;
  r.target = args.size() > 1 ? vm.ToString(args[1]) : std::string("_self");
  ReportRequest(vm, r);
  Refuse(vm, "sending data to \"" + url + "\"");
  return Value::Bool(false);
}

Completion GetBytesLoaded(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return vm.Get(self, "_bytesLoaded");
}
Completion GetBytesTotal(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return vm.Get(self, "_bytesTotal");
}
Completion Nothing(Vm&, const CallContext&, Args) { return {}; }

// ---- LoadVars ------------------------------------------------------------------

// Names in for-in order (newest first, own before inherited).
std::vector<std::string> EnumerableNames(Vm& vm, Object* obj) {
  std::vector<std::string> names;
  int guard = 0;
  for (Object* o = obj; o && guard < 256; o = o->proto, ++guard) {
    std::vector<std::string> own;
    o->OwnKeys(vm, own);
    for (auto it = own.rbegin(); it != own.rend(); ++it) {
      if (std::none_of(names.begin(), names.end(),
                       [&](const std::string& e) { return vm.NamesEqual(e, *it); }))
        names.push_back(*it);
    }
  }
  return names;
}

Completion LoadVarsToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return Value::Str("");
  std::string out;
  // Names and values go through the global escape, which a movie may replace.
  const Value escape = vm.Get(vm.global, "escape");
  const auto encode = [&](const Value& v) {
    if (!escape.IsObject() || !escape.object->IsFunction()) return UrlEscape(vm.ToString(v));
    const Value arg[1] = {v};
    return vm.ToString(vm.Call(escape, Value::Obj(vm.global), arg));
  };
  for (const std::string& name : EnumerableNames(vm, self)) {
    const Value v = vm.Get(self, name);
    if (vm.Throwing() || vm.Aborted()) return {};
    const std::string key = encode(Value::Str(name));
    const std::string text = encode(v);
    if (vm.Throwing() || vm.Aborted()) return {};
    if (!out.empty()) out += '&';
    out += key + "=" + text;
    if (out.size() > vm.limits.maxElements) break;
  }
  if (!vm.Charge(out.size())) return {};
  return Value::Str(std::move(out));
}

Completion Decode(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return Value::Bool(false);
  const std::string text = vm.ToString(args[0]);
  for (auto& [name, value] : DecodeUrlVars(text)) {
    if (!vm.Charge(name.size() + value.size())) break;
    vm.Set(self, name, Value::Str(std::move(value)));
  }
  return {};
}

// The default onData: decode what came, then report success or failure.
Completion LoadVarsOnData(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  const Value src = Arg(args, 0);
  const bool ok = !src.IsUndefined();
  if (ok) {
    const Value arg[1] = {src};
    vm.CallMethod(self, "decode", arg);
    self->Define(vm, "loaded", Value::Bool(true), kDontEnum);
  }
  const Value arg[1] = {Value::Bool(ok)};
  vm.CallMethod(self, "onLoad", arg);
  return {};
}

// In the order the player defines them (it lists them newest first).
constexpr Member kLoadVarsProto[] = {
    Method("load", LoadFromUrl),
    Method("send", SendToUrl),
    Method("sendAndLoad", SendAndLoadUrl),
    Method("decode", Decode),
    Method("getBytesLoaded", LoadedBytes),
    Method("getBytesTotal", TotalBytes),
    Method("toString", LoadVarsToString),
    ConstString("contentType", "application/x-www-form-urlencoded", kDontEnum),
    Method("onLoad", Nothing),
    Method("onData", LoadVarsOnData),
    Method("addRequestHeader", AddRequestHeader),
};

// ---- MovieClipLoader -----------------------------------------------------------

// Its own listener list for now (a shared broadcaster may replace it).
ArrayObject* Listeners(Vm& vm, Object* self) {
  const Value v = vm.Get(self, "_listeners");
  return v.IsObject() ? dynamic_cast<ArrayObject*>(v.object) : nullptr;
}

Completion LoaderCtor(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return {};
  ArrayObject* list = vm.NewArray({Value::Obj(self)});
  self->Define(vm, "_listeners", Value::Obj(list), kDontEnum);
  return {};
}

constexpr std::size_t kMaxListeners = 4096;

Completion AddListener(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ArrayObject* list = self ? Listeners(vm, self) : nullptr;
  if (!list || args.empty() || !args[0].IsObject()) return Value::Bool(false);
  std::erase_if(list->elements, [&](const Value& v) { return v.object == args[0].object; });
  if (list->elements.size() >= kMaxListeners) return Value::Bool(false);
  list->elements.push_back(args[0]);
  return Value::Bool(true);
}

Completion RemoveListener(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ArrayObject* list = self ? Listeners(vm, self) : nullptr;
  if (!list || args.empty()) return Value::Bool(false);
  const std::size_t before = list->elements.size();
  std::erase_if(list->elements, [&](const Value& v) {
    return args[0].IsObject() ? v.object == args[0].object : false;
  });
  return Value::Bool(list->elements.size() != before);
}

Completion BroadcastMessage(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  ArrayObject* list = self ? Listeners(vm, self) : nullptr;
  if (!list || args.empty()) return {};
  const std::string event = vm.ToString(args[0]);
  const std::vector<Value> listeners = list->elements;  // a handler may change the list
  for (const Value& l : listeners) {
    if (l.IsObject()) vm.CallMethod(l.object, event, args.subspan(1));
  }
  return {};
}

ClipObject* ClipTarget(Vm& vm, const Value& target) {
  if (target.IsObject() && target.object->IsClip()) return static_cast<ClipObject*>(target.object);
  if (target.type == Type::Number) {
    return ClampToInt(target.number) == 0 ? vm.RootClip() : nullptr;
  }
  if (target.type != Type::String) return nullptr;
  return ResolveTarget(vm, vm.CurrentTarget() ? vm.CurrentTarget() : vm.RootClip(), target.string);
}

Completion LoadClip(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.size() < 2) return {};
  // Only a string names a file: numbers, objects and the rest are refused.
  if (!self || args[0].type != Type::String) return Value::Bool(false);
  const std::string url = args[0].string;
  // A number is a level, cut to a whole one.
  if (args[1].type == Type::Number) {
    const double level = std::trunc(args[1].number);
    if (!(level >= 0 && level <= kMaxLevel)) return Value::Bool(false);
    QueueLoad(vm, kLoadClip, Value::Num(level), url, Value::Obj(self));
    return Value::Bool(true);
  }
  ClipObject* clip = ClipTarget(vm, args[1]);
  if (!clip) return Value::Bool(false);
  QueueLoad(vm, kLoadClip, Value::Obj(clip), url, Value::Obj(self));
  return Value::Bool(true);
}

Completion UnloadClip(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return {};
  ClipObject* clip = ClipTarget(vm, Arg(args, 0));
  if (!clip) return Value::Bool(false);
  QueueLoad(vm, kLoadMovie, Value::Obj(clip), "");
  return Value::Bool(true);
}

// A bare object (no prototype) with the clip's byte counts.
Completion GetProgress(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return {};
  Object* out = vm.NewObject();
  out->proto = nullptr;
  if (ClipObject* clip = ClipTarget(vm, args[0])) {
    Value loaded, total;
    vm.CallMethod(clip, "getBytesLoaded", {}, &loaded);
    vm.CallMethod(clip, "getBytesTotal", {}, &total);
    out->Define(vm, "bytesLoaded", loaded);
    out->Define(vm, "bytesTotal", total);
  }
  return Value::Obj(out);
}

constexpr Member kMovieClipLoaderProto[] = {
    Method("loadClip", LoadClip),       Method("getProgress", GetProgress),
    Method("unloadClip", UnloadClip),   Method("broadcastMessage", BroadcastMessage),
    Method("addListener", AddListener), Method("removeListener", RemoveListener),
};

// ---- Offline network classes -----------------------------------------------------

// connect(host, port): a missing host (undefined, null) is the movie's own.
Completion RefuseConnect(Vm& vm, const CallContext&, Args args) {
  OutgoingRequest r;
  r.kind = OutgoingRequest::Kind::kSocket;
  r.url = Arg(args, 0).IsNullish() ? "localhost" : vm.ToString(Arg(args, 0));
  r.port = ClampToInt(vm.ToNumber(Arg(args, 1)));
  ReportRequest(vm, r);
  Refuse(vm, "connecting to \"" + r.url + "\"");
  return Value::Bool(false);
}

// XMLSocket's default onData: the text as an XML document, to onXML.
Completion SocketOnData(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value xml = vm.Get(vm.global, "XML");
  if (!self || !xml.IsObject()) return {};
  const Value src[1] = {Arg(args, 0)};
  const Value doc[1] = {vm.Construct(xml.object, src)};
  vm.CallMethod(self, "onXML", doc);
  return {};
}

// ---- SharedObject ----------------------------------------------------------------

// The file self's store is kept in; empty when self is no store.
std::string StoreFile(Vm& vm, Object* self) {
  for (const auto& [file, so] : HostStateOf(vm).sharedObjects)
    if (so == self) return file;
  return {};
}

Object* StoreData(Vm& vm, Object* so) {
  Value data;
  if (!so->GetOwn(vm, "data", data) || !data.IsObject()) return nullptr;
  return data.object;
}

// Written when the data fits the movie's share; an empty data object
// removes the file.
bool WriteStore(Vm& vm, const std::string& file, Object* so) {
  const LocalStorage& storage = HostStateOf(vm).storage;
  Object* data = StoreData(vm, so);
  if (!storage.write) return data != nullptr;
  std::vector<std::string> keys;
  if (data) data->OwnKeys(vm, keys);
  const std::string bytes = keys.empty() ? std::string() : EncodeSharedData(vm, data);
  if (bytes.size() > kSharedObjectMovieBytes) return false;
  return storage.write(file, bytes);
}

// SharedObject.getLocal(name[, localPath]): one object per store for the
// run, its data read back from what an earlier run kept.
Completion GetLocal(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return Value::Null();
  const std::string name = vm.ToString(Arg(args, 0));
  const Value path = Arg(args, 1);
  const std::string file =
      SharedObjectFileName(name, path.IsNullish() ? std::string() : vm.ToString(path));
  if (file.empty()) return Value::Null();
  HostState& host = HostStateOf(vm);
  auto& stores = host.sharedObjects;
  if (const auto found = stores.find(file); found != stores.end()) return Value::Obj(found->second);
  if (stores.size() >= 1024) return Value::Null();
  Object* so = vm.NewObject();
  const Value proto = vm.Get(self, "prototype");
  if (proto.IsObject()) so->proto = proto.object;
  std::string bytes;
  Object* data = host.storage.read && host.storage.read(file, bytes) ? DecodeSharedData(vm, bytes)
                                                                     : vm.NewObject();
  so->Define(vm, "data", Value::Obj(data), kDontDelete);
  stores.emplace(file, so);
  return Value::Obj(so);
}

Completion Flush(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const std::string file = self ? StoreFile(vm, self) : std::string();
  if (file.empty()) return {};
  return Value::Bool(WriteStore(vm, file, self));
}

// Empties the data and forgets what was kept.
Completion Clear(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const std::string file = self ? StoreFile(vm, self) : std::string();
  if (file.empty()) return {};
  self->Define(vm, "data", Value::Obj(vm.NewObject()), kDontDelete);
  if (const LocalStorage& storage = HostStateOf(vm).storage; storage.write)
    storage.write(file, std::string());
  return {};
}

Completion GetSize(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  Object* data = self && !StoreFile(vm, self).empty() ? StoreData(vm, self) : nullptr;
  std::vector<std::string> keys;
  if (data) data->OwnKeys(vm, keys);
  return Value::Num(keys.empty() ? 0 : static_cast<double>(EncodeSharedData(vm, data).size()));
}

constexpr Member kSocketProto[] = {Method("connect", RefuseConnect), Method("send", Nothing),
                                   Method("close", Nothing), Method("onData", SocketOnData)};
constexpr Member kSharedObjectProto[] = {Method("flush", Flush), Method("clear", Clear),
                                         Method("close", Nothing), Method("getSize", GetSize)};
constexpr Member kSharedObjectStatics[] = {Method("getLocal", GetLocal)};

}  // namespace

bool FsCommand(Vm& vm, std::string_view url) {
  constexpr std::string_view kScheme = "fscommand:";
  const auto lower = [](std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  if (url.size() < kScheme.size() || lower(url.substr(0, kScheme.size())) != kScheme) return false;
  // Quit is the one command that acts; none reaches the system.
  if (lower(url.substr(kScheme.size())) == "quit" && vm.quitMovie) vm.quitMovie();
  return true;
}

void ReportRequest(Vm& vm, const OutgoingRequest& request) {
  if (vm.requestSink) vm.requestSink(request);
}

std::string FormEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '*') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string FormVariables(Vm& vm, Object* obj) {
  std::string out;
  std::vector<std::string> keys;
  if (obj) obj->OwnKeys(vm, keys);
  for (auto it = keys.rbegin(); it != keys.rend() && out.size() <= vm.limits.maxElements; ++it) {
    const Value v = vm.Get(obj, *it);
    if (vm.Throwing() || vm.Aborted()) break;
    if (!out.empty()) out += '&';
    out += FormEncode(*it) + "=" + FormEncode(vm.ToString(v));
  }
  return out;
}

OutgoingRequest VariablesRequest(Vm& vm, Object* vars, const std::string& url,
                                 const std::string& method) {
  OutgoingRequest r;
  r.url = url;
  r.method = method.empty() ? "GET" : method;
  if (method.empty()) return r;
  const std::string body = FormVariables(vm, vars);
  if (method == "GET") {
    if (!body.empty()) r.url += (url.find('?') == std::string::npos ? "?" : "&") + body;
  } else {
    r.mime = "application/x-www-form-urlencoded";
    r.body = body;
  }
  return r;
}

void QueueRequest(Vm& vm, int kind, const Value& target, const OutgoingRequest& request,
                  const Value& extra) {
  if (FsCommand(vm, request.url)) return;
  if (!request.url.empty()) ReportRequest(vm, request);
  // A file beside the movie answers a request of any method; a movie sees
  // the variables sent with GET as its root's.
  std::string url = request.url;
  const bool movie = kind == kLoadMovie || kind == kLoadLevel || kind == kLoadClip;
  if (const std::size_t q = url.find('?'); !movie && request.method == "GET" && q != url.npos)
    url.resize(q);
  PushLoad(vm, kind, target, std::move(url), extra);
}

void QueueLoad(Vm& vm, int kind, const Value& target, std::string url, const Value& extra) {
  if (FsCommand(vm, url)) return;
  if (!url.empty()) {
    OutgoingRequest r;
    r.url = url;
    r.method = "GET";
    ReportRequest(vm, r);
  }
  PushLoad(vm, kind, target, std::move(url), extra);
}

void PushLoad(Vm& vm, int kind, const Value& target, std::string url, const Value& extra) {
  if (vm.loads.size() >= kMaxPendingLoads) {
    Refuse(vm, "too many loads at once: \"" + url + "\"");
    kind = kind == kLoadData ? kLoadFailed : kind;
    if (kind != kLoadFailed) return;
    url.clear();
  }
  vm.loads.push_back(Vm::PendingLoad{kind, target, extra, std::move(url)});
}

Completion LoadFromUrl(Vm& vm, const CallContext& call, Args args) { return Load(vm, call, args); }
Completion SendToUrl(Vm& vm, const CallContext& call, Args args) { return Send(vm, call, args); }
Completion SendAndLoadUrl(Vm& vm, const CallContext& call, Args args) {
  return SendAndLoad(vm, call, args);
}
Completion LoadedBytes(Vm& vm, const CallContext& call, Args args) {
  return GetBytesLoaded(vm, call, args);
}
Completion TotalBytes(Vm& vm, const CallContext& call, Args args) {
  return GetBytesTotal(vm, call, args);
}

// Headers wait in the object's _customHeaders array, name then value; the
// array is made on the first call whatever its arguments. A pair counts when
// both are strings; an array argument gives its pairs in turn. What a script
// put there instead keeps its value.
Completion AddRequestHeader(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  Value headers = vm.Get(self, "_customHeaders");
  if (headers.IsUndefined()) {
    headers = Value::Obj(vm.NewArray());
    self->Define(vm, "_customHeaders", headers, kDontEnum);
  }
  if (!headers.IsObject()) return {};
  const auto add = [&](const Value& name, const Value& value) {
    if (name.type != Type::String || value.type != Type::String) return;
    const Value pair[2] = {name, value};
    vm.CallMethod(headers.object, "push", pair);
  };
  if (args.size() >= 2) {
    add(args[0], args[1]);
  } else if (ArrayObject* list = args.empty() || !args[0].IsObject()
                                     ? nullptr
                                     : dynamic_cast<ArrayObject*>(args[0].object)) {
    const std::vector<Value> items = list->elements;
    for (std::size_t i = 0; i + 1 < items.size() && !vm.Aborted(); i += 2)
      add(items[i], items[i + 1]);
  }
  return {};
}

void BroadcastToListeners(Vm& vm, Object* loader, const std::string& event, Args args) {
  // Through the loader's broadcastMessage, which a movie may replace.
  std::vector<Value> all{Value::Str(event)};
  all.insert(all.end(), args.begin(), args.end());
  vm.CallMethod(loader, "broadcastMessage", all);
}

void GetUrl(Vm& vm, ClipObject* base, const std::string& url, const std::string& target,
            uint8_t flags) {
  if (FsCommand(vm, url)) return;
  const bool loadVariables = flags & 0x80;
  const bool targetIsClip = flags & 0x40;
  const std::string method = (flags & 3) == 1 ? "GET" : (flags & 3) == 2 ? "POST" : "";
  // The variables sent are those of the clip the action runs in.
  const auto request = [&] { return VariablesRequest(vm, base, url, method); };
  // "_levelN", in any case, names a level, made if it is not there yet:
  // loadMovieNum, unloadMovieNum and loadVariablesNum, and loadMovie,
  // unloadMovie and loadVariables given a level.
  int level = -1;
  std::string prefix = target.substr(0, 6);
  for (char& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (target.size() > 6 && target.size() <= 10 && prefix == "_level") {
    level = 0;
    for (char c : target.substr(6))
      level = c >= '0' && c <= '9' ? level * 10 + (c - '0') : -1 << 20;
  }
  if ((level < 0 || level > kMaxLevel) && targetIsClip) {
    ClipObject* clip = ResolveTarget(vm, base ? base : vm.RootClip(), target);
    if (clip)
      QueueRequest(vm, loadVariables ? kLoadVariables : kLoadMovie, Value::Obj(clip), request());
    return;
  }
  if (level < 0 || level > kMaxLevel) {
    OutgoingRequest page = request();
    page.kind = OutgoingRequest::Kind::kNavigate;
    // "blank", with or without its underscore and in any case, is a new window.
    std::string lower = target;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    page.target = lower == "blank" || lower == "_blank" ? "_blank" : target;
    ReportRequest(vm, page);
    Refuse(vm, "getURL(\"" + url + "\", \"" + target + "\")");
    return;
  }
  if (loadVariables) {
    // The level by its own name: version 7 names are case-sensitive.
    if (ClipObject* clip = vm.LevelClip("_level" + std::to_string(level)))
      QueueRequest(vm, kLoadVariables, Value::Obj(clip), request());
    return;
  }
  QueueRequest(vm, kLoadLevel, Value::Obj(vm.RootClip()), request(), Value::Num(level));
}

void WriteSharedObjects(Vm& vm) {
  if (!vm.hostState) return;
  for (const auto& [file, so] : HostStateOf(vm).sharedObjects) WriteStore(vm, file, so);
}

// Both are there for movies of every version, as the player shows them
// (typeof gives "function" even to a version 5 movie).
extern const ClassDecl kLoadVarsClass{.name = "LoadVars", .ctor = Nothing, .proto = kLoadVarsProto};
extern const ClassDecl kMovieClipLoaderClass{
    .name = "MovieClipLoader", .ctor = LoaderCtor, .proto = kMovieClipLoaderProto};

extern const ClassDecl kXmlSocketClass{"XMLSocket", Nothing, kSocketProto};
extern const ClassDecl kSharedObjectClass{"SharedObject", Nothing, kSharedObjectProto,
                                          kSharedObjectStatics};

// MovieClip.loadMovie(url[, method]), unloadMovie(), loadVariables(url[, method]).
Completion ClipLoadMovie(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || !self->IsClip() || args.empty()) return {};
  const std::string url = vm.ToString(args[0]);
  QueueRequest(vm, kLoadMovie, Value::Obj(self),
               VariablesRequest(vm, self, url, MethodName(vm, Arg(args, 1))));
  return {};
}

// MovieClip.getURL(url[, window[, method]]): the GetURL2 action with the
// clip's variables.
Completion ClipGetUrl(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || !self->IsClip() || args.empty()) return {};
  const std::string method = MethodName(vm, Arg(args, 2));
  const uint8_t flags = method == "GET" ? 1 : method == "POST" ? 2 : 0;
  const std::string window = args.size() > 1 ? vm.ToString(args[1]) : std::string();
  GetUrl(vm, static_cast<ClipObject*>(self), vm.ToString(args[0]), window, flags);
  return {};
}

Completion ClipUnloadMovie(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (self && self->IsClip()) QueueLoad(vm, kLoadMovie, Value::Obj(self), "");
  return {};
}

Completion ClipLoadVariables(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || !self->IsClip() || args.empty()) return {};
  const std::string url = vm.ToString(args[0]);
  QueueRequest(vm, kLoadVariables, Value::Obj(self),
               VariablesRequest(vm, self, url, MethodName(vm, Arg(args, 1))));
  return {};
}

}  // namespace orrivel::swf::avm1
