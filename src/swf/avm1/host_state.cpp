#include "swf/avm1/host_state.h"

namespace orrivel::swf::avm1 {

namespace {

void TraceValue(const Value& v, std::vector<Object*>& out) {
  if (v.object) out.push_back(v.object);
}

}  // namespace

void HostState::Trace(std::vector<Object*>& out) {
  Object::Trace(out);
  for (const auto& [slot, fn] : natives) out.push_back(fn);
  for (const auto& [name, obj] : connections) out.push_back(obj);
  for (const Message& m : messages) {
    out.push_back(m.sender);
    for (const Value& v : m.args) TraceValue(v, out);
  }
  for (const auto& [name, obj] : sharedObjects) out.push_back(obj);
}

HostState& HostStateOf(Vm& vm) {
  if (!vm.hostState) {
    vm.hostState = vm.New<HostState>();
    vm.hostState->proto = nullptr;
  }
  return *vm.hostState;
}

}  // namespace orrivel::swf::avm1
