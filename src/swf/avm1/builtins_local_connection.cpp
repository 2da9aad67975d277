// LocalConnection: movies of this player call methods on each other's
// connections by name. A message is sent at once and delivered between
// frames: the sender hears through onStatus whether anyone received it
// ("status") or not ("error"), then the receiver's method runs with the
// arguments. No other program on the machine is reachable.
#include <algorithm>
#include <cctype>

#include "swf/avm1/amf0_writer.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr std::size_t kMaxConnections = 1024;
constexpr std::size_t kMaxMessages = 1024;  // waiting at once; more are refused
constexpr std::string_view kDomain = "localhost";

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A name as connections are keyed: lower case, with the domain in front
// unless it has one already or starts with '_'.
std::string FullName(std::string_view name) {
  std::string key = Lower(name);
  if (key.starts_with('_') || key.find(':') != std::string::npos) return key;
  return std::string(kDomain) + ":" + key;
}

bool NonEmptyString(const Value& v) { return v.type == Type::String && !v.string.empty(); }

// The name obj is connected under; empty when it is not connected.
std::string ConnectedName(HostState& state, const Object* obj) {
  for (const auto& [name, holder] : state.connections) {
    if (holder == obj) return name;
  }
  return {};
}

Completion Connect(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value name = Arg(args, 0);
  if (!self || !NonEmptyString(name) || name.string.find(':') != std::string::npos)
    return Value::Bool(false);
  HostState& state = HostStateOf(vm);
  if (!ConnectedName(state, self).empty() || state.connections.size() >= kMaxConnections)
    return Value::Bool(false);
  return Value::Bool(state.connections.emplace(FullName(name.string), self).second);
}

Completion Close(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  HostState& state = HostStateOf(vm);
  const std::string name = ConnectedName(state, self);
  if (!name.empty()) state.connections.erase(name);
  return {};
}

Completion Send(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.size() < 2 || !NonEmptyString(args[0]) || !NonEmptyString(args[1]))
    return Value::Bool(false);
  const std::string method = Lower(args[1].string);
  for (const char* reserved :
       {"send", "connect", "close", "allowdomain", "allowinsecuredomain", "domain", "onstatus"}) {
    if (method == reserved) return Value::Bool(false);
  }
  HostState& state = HostStateOf(vm);
  if (state.messages.size() >= kMaxMessages) return Value::Bool(false);
  HostState::Message m;
  m.sender = self;
  m.name = FullName(args[0].string);
  m.method = args[1].string;
  // The arguments travel as AMF0, as between two players.
  m.args = CopyThroughAmf0(vm, args.subspan(2));
  m.heardAtSend = state.connections.contains(m.name);
  state.messages.push_back(std::move(m));
  return Value::Bool(true);
}

Completion Domain(Vm&, const CallContext&, Args) { return Value::Str(std::string(kDomain)); }

constexpr Member kProto[] = {Method("connect", Connect, kHidden, 6),
                             Method("send", Send, kHidden, 6), Method("close", Close, kHidden, 6),
                             Method("domain", Domain, kHidden, 6)};

}  // namespace

// Version 5 movies have the class too, as the player shows them.
extern const ClassDecl kLocalConnectionClass{"LocalConnection", PlainCtor, kProto};

void DeliverLocalConnectionMessages(Vm& vm) {
  HostState& state = HostStateOf(vm);
  // Messages sent by the receivers wait for the next delivery.
  std::vector<HostState::Message> batch = std::move(state.messages);
  state.messages.clear();
  for (HostState::Message& m : batch) {
    const auto to = state.connections.find(m.name);
    Object* receiver = m.heardAtSend && to != state.connections.end() ? to->second : nullptr;
    Object* info = vm.NewObject();
    info->Define(vm, "level", Value::Str(receiver ? "status" : "error"));
    const Value status[1] = {Value::Obj(info)};
    // What a handler throws ends with it.
    vm.CallMethod(m.sender, "onStatus", status);
    if (vm.Throwing()) vm.Catch();
    if (receiver) vm.CallMethod(receiver, m.method, m.args);
    if (vm.Throwing()) vm.Catch();
  }
}

}  // namespace orrivel::swf::avm1
