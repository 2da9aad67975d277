// State the built-in classes keep for themselves, out of every script's
// reach: the ASnative table, LocalConnection names and their messages on
// the way, SharedObject stores. One object per machine, a root of the
// collector, never a property.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "swf/avm1/shared_object_store.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

class HostState : public Object {
 public:
  void Trace(std::vector<Object*>& out) override;

  // ASnative(category, index); index -1 answers every number of a category
  // the table has no entry for.
  std::map<std::pair<int, int>, Object*> natives;

  // LocalConnection: the connected objects by their full name (lower case,
  // with the domain in front unless the name starts with '_').
  std::map<std::string, Object*> connections;
  struct Message {
    Object* sender = nullptr;
    std::string name;  // full name, as connections are keyed
    std::string method;
    std::vector<Value> args;
    bool heardAtSend = false;  // someone held the name when it was sent
  };
  std::vector<Message> messages;

  // SharedObject.getLocal: one object per store for the movie's run, by
  // the file the store is kept in.
  std::map<std::string, Object*> sharedObjects;
  LocalStorage storage;
};

// The state of kind T that obj holds: obj itself when it is a T, else one
// in its chain of states; null when it has none.
template <typename T>
T* StateOf(Object* obj) {
  if (auto* t = dynamic_cast<T*>(obj)) return t;
  for (Object* s = obj ? obj->state : nullptr; s; s = s->state) {
    if (auto* t = dynamic_cast<T*>(s)) return t;
  }
  return nullptr;
}

// The same, looked for along obj's prototype chain as a property would be.
template <typename T>
T* InheritedStateOf(Object* obj) {
  int guard = 0;
  for (Object* o = obj; o && guard < 256; o = o->proto, ++guard) {
    if (T* t = StateOf<T>(o)) return t;
  }
  return nullptr;
}

// obj's state of kind T, made (and chained to obj) when it has none.
template <typename T>
T* AttachState(Vm& vm, Object* obj) {
  if (T* t = StateOf<T>(obj)) return t;
  T* t = vm.New<T>();
  t->proto = nullptr;
  t->state = obj->state;
  obj->state = t;
  return t;
}

// The machine's state object (made on first use).
HostState& HostStateOf(Vm& vm);

// Hands the LocalConnection messages sent since the last call to their
// receivers, telling each sender how it went; between frames.
void DeliverLocalConnectionMessages(Vm& vm);

// Writes every SharedObject store of the run to the host's storage, as the
// movie ends.
void WriteSharedObjects(Vm& vm);

}  // namespace orrivel::swf::avm1
