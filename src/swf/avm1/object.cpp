#include "swf/avm1/object.h"

#include <algorithm>
#include <cmath>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

namespace {
void TraceValue(const Value& v, std::vector<Object*>& out) {
  if (v.object) out.push_back(v.object);
}
}  // namespace

bool HiddenForVersion(uint16_t flags, int version) {
  if (flags < kSince6) return false;
  return ((flags & kSince6) && version < 6) || ((flags & kNot6) && version == 6) ||
         ((flags & kSince7) && version < 7) || ((flags & kSince8) && version < 8) ||
         ((flags & kSince9) && version < 9) || ((flags & kSince10) && version < 10);
}

bool ProtoHidden(const Object* obj, int version) {
  return HiddenForVersion(obj->protoFlags, version);
}

Property* Object::FindProperty(Vm& vm, std::string_view name) {
  auto it = index_.find(vm.Key(name));
  return it == index_.end() ? nullptr : &props_[it->second];
}

Property* Object::FindAnyProperty(Vm& vm, std::string_view name) { return FindProperty(vm, name); }

bool Object::GetOwn(Vm& vm, std::string_view name, Value& out) {
  Property* p = FindProperty(vm, name);
  if (!p || HiddenForVersion(p->flags, vm.version)) return false;
  out = p->getter ? vm.CallGetter(this, this, name) : p->value;
  return true;
}

bool Object::SetOwn(Vm& vm, std::string_view name, const Value& v) {
  if (Property* p = FindProperty(vm, name); p && !HiddenForWrite(p->flags, vm.version)) {
    // Read-only wins over a setter: the setter is not called.
    if (p->setter && !(p->flags & kReadOnly)) {
      vm.CallSetter(this, this, name, v);
      return true;
    }
    if (p->getter) return false;
    if (p->flags & kReadOnly) return false;
    p->value = v;
    p->flags &= ~kNot6;  // a written value shows in version 6 again
    return true;
  }
  Define(vm, name, v, 0);
  return true;
}

void Object::Define(Vm& vm, std::string_view name, const Value& v, uint16_t flags) {
  std::string key = vm.Key(name);
  auto it = index_.find(key);
  if (it != index_.end()) {
    Property& p = props_[it->second];
    p.value = v;
    p.flags = flags;
    p.getter = p.setter = nullptr;
    return;
  }
  index_.emplace(std::move(key), static_cast<uint32_t>(props_.size()));
  props_.push_back(Property{std::string(name), v, flags, TakeOrder()});
}

bool Object::DeleteOwn(Vm& vm, std::string_view name) {
  auto it = index_.find(vm.Key(name));
  if (it == index_.end()) {
    // The link itself, once ASSetPropFlags has made it deletable.
    if (!proto || (protoFlags & kDontDelete) || !vm.NamesEqual(name, "__proto__")) return false;
    proto = nullptr;
    return true;
  }
  if (props_[it->second].flags & kDontDelete) return false;
  props_.erase(props_.begin() + it->second);
  Reindex(vm);
  return true;
}

bool Object::HasOwn(Vm& vm, std::string_view name) { return FindProperty(vm, name) != nullptr; }

void Object::Reindex(Vm& vm) {
  index_.clear();
  for (uint32_t i = 0; i < props_.size(); ++i) index_.emplace(vm.Key(props_[i].name), i);
}

void Object::OwnKeys(Vm&, std::vector<std::string>& out) {
  // The oldest slot of all: every object is made with it.
  if (proto && !(protoFlags & kDontEnum) && !index_.count("__proto__")) out.push_back("__proto__");
  for (const Property& p : props_) {
    if (!(p.flags & kDontEnum)) out.push_back(p.name);
  }
}

void Object::Trace(std::vector<Object*>& out) {
  if (proto) out.push_back(proto);
  if (state) out.push_back(state);
  for (const Watch& w : watches) {
    out.push_back(w.callback);
    TraceValue(w.userData, out);
  }
  for (Object* i : interfaces) out.push_back(i);
  for (const Property& p : props_) {
    TraceValue(p.value, out);
    if (p.getter) out.push_back(p.getter);
    if (p.setter) out.push_back(p.setter);
  }
}

void FunctionObject::Trace(std::vector<Object*>& out) {
  Object::Trace(out);
  for (Object* s : scope) out.push_back(s);
  if (clip) out.push_back(clip);
}

Value ArrayObject::Hole() {
  Value v;
  v.boolean = true;
  return v;
}

int64_t ArrayIndex(std::string_view name) {
  if (name.empty() || name.size() > 10) return -1;
  if (name.size() > 1 && name[0] == '0') return -1;
  int64_t v = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v <= 0x7FFFFFFF ? v : -1;
}

bool ArrayObject::GetOwn(Vm& vm, std::string_view name, Value& out) {
  const int64_t i = ArrayIndex(name);
  if (i >= 0) {
    if (static_cast<uint64_t>(i) >= elements.size()) return Object::GetOwn(vm, name, out);
    if (HiddenForVersion(ElementFlags(static_cast<std::size_t>(i)), vm.version)) return false;
    // A hole is no member: the prototypes and __resolve are asked.
    if (IsHole(elements[static_cast<std::size_t>(i)])) return false;
    out = elements[static_cast<std::size_t>(i)];
    return true;
  }
  if (name == "length") {
    out = Value::Num(Length());
    return true;
  }
  return Object::GetOwn(vm, name, out);
}

namespace {

// A name of digits (with an optional minus) counts as an index for the
// length, read with 32-bit wrapping: "4294967296" is 0 there and "-5" is
// -5, though both stay names of their own. A decimal fraction counts by
// its whole part: "2.2" makes the length 3.
bool WrappedIndex(std::string_view name, int32_t& out) {
  std::string_view digits = name.starts_with('-') ? name.substr(1) : name;
  if (const std::size_t dot = digits.find('.');
      dot != std::string_view::npos && dot > 0 && dot + 1 < digits.size() &&
      digits.find_first_not_of("0123456789", dot + 1) == std::string_view::npos) {
    digits = digits.substr(0, dot);
  }
  if (digits.empty()) return false;
  uint32_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10u + static_cast<uint32_t>(c - '0');
  }
  out = static_cast<int32_t>(name.starts_with('-') ? 0u - v : v);
  return true;
}

}  // namespace

void ArrayObject::SetLength(Vm& vm, int32_t length) {
  // Shrinking drops the elements from the new length on; a negative length
  // drops them all.
  const auto kept = static_cast<std::size_t>(std::max<int32_t>(length, 0));
  // A protected element outlives the cut: it stays a member past the end.
  Sync();
  for (std::size_t i = kept; i < elements.size(); ++i) {
    if (IsHole(elements[i]) || !(slots_[i].flags & kDontDelete)) continue;
    const std::string name = std::to_string(i);
    Define(vm, name, elements[i], slots_[i].flags);
    if (Property* p = FindAnyProperty(vm, name)) p->order = slots_[i].order;
  }
  if (kept < elements.size()) elements.resize(kept);
  Sync();
  if (length >= 0 && kept <= vm.limits.maxElements &&
      (kept <= elements.size() || vm.Charge((kept - elements.size()) * sizeof(Value)))) {
    elements.resize(kept, Hole());
    Sync();
    lengthApart = false;
    return;
  }
  lengthApart = true;
  lengthValue = length;
}

void ArrayObject::Resize(Vm& vm, double length) {
  if (!(length >= 0)) return;
  const double capped = std::fmin(std::floor(length), static_cast<double>(vm.limits.maxElements));
  const auto size = static_cast<std::size_t>(capped);
  if (size > elements.size() && !vm.Charge((size - elements.size()) * sizeof(Value))) return;
  elements.resize(size, Hole());
  Sync();
}

void ArrayObject::Sync() {
  if (slots_.size() > elements.size()) slots_.resize(elements.size());
  while (slots_.size() < elements.size()) slots_.push_back(Slot{TakeOrder(), 0});
}

bool ArrayObject::PutAt(Vm& vm, std::size_t i, const Value& v) {
  if (i >= vm.limits.maxElements) return false;
  Sync();
  if (i >= elements.size()) {
    if (!vm.Charge((i + 1 - elements.size()) * sizeof(Value))) return false;
    elements.resize(i + 1, Hole());
    Sync();
  }
  if (IsHole(elements[i])) {
    slots_[i] = Slot{TakeOrder(), 0};
  } else if (slots_[i].flags & kReadOnly) {
    return false;
  }
  elements[i] = v;
  return true;
}

bool ArrayObject::EraseAt(std::size_t i) {
  Sync();
  if (i >= elements.size() || IsHole(elements[i])) return true;
  if (slots_[i].flags & kDontDelete) return false;
  elements[i] = Hole();
  slots_[i].flags = 0;
  return true;
}

void ArrayObject::SetElementFlags(std::size_t i, uint16_t flags) {
  Sync();
  if (i < slots_.size() && !IsHole(elements[i])) slots_[i].flags = flags;
}

bool ArrayObject::SetOwn(Vm& vm, std::string_view name, const Value& v) {
  // An index at or past the length moves the length to one past it, with
  // 32-bit wrapping (index 2147483647 makes it -2147483648).
  if (int32_t wrapped = 0; WrappedIndex(name, wrapped) && wrapped >= Length())
    SetLength(vm, ToInt32(static_cast<double>(wrapped) + 1));
  const int64_t i = ArrayIndex(name);
  if (i >= 0 && static_cast<uint64_t>(i) < vm.limits.maxElements) {
    const std::size_t at = static_cast<std::size_t>(i);
    return PutAt(vm, at, v) || at >= elements.size() || !(ElementFlags(at) & kReadOnly);
  }
  Sync();  // elements added directly are older than this property
  if (name == "length") {
    SetLength(vm, ToInt32(vm.ToNumber(v)));
    return true;
  }
  return Object::SetOwn(vm, name, v);
}

bool ArrayObject::DeleteOwn(Vm& vm, std::string_view name) {
  const int64_t i = ArrayIndex(name);
  if (i >= 0 && static_cast<uint64_t>(i) < elements.size())
    return EraseAt(static_cast<std::size_t>(i));
  return Object::DeleteOwn(vm, name);
}

bool ArrayObject::HasOwn(Vm& vm, std::string_view name) {
  const int64_t i = ArrayIndex(name);
  if (i >= 0 && static_cast<uint64_t>(i) < elements.size()) {
    return !IsHole(elements[static_cast<std::size_t>(i)]);
  }
  return name == "length" || Object::HasOwn(vm, name);
}

void ArrayObject::OwnKeys(Vm& vm, std::vector<std::string>& out) {
  // Elements and named properties together, oldest first; the length is
  // made with the array, before the link and any of them.
  Sync();
  std::vector<std::pair<uint32_t, std::string>> keyed;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (!IsHole(elements[i]) && !(slots_[i].flags & kDontEnum))
      keyed.emplace_back(slots_[i].order, std::to_string(i));
  }
  for (const Property& p : Properties()) {
    if (!(p.flags & kDontEnum)) keyed.emplace_back(p.order, p.name);
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (!(lengthFlags & kDontEnum)) out.push_back("length");
  if (proto && !(protoFlags & kDontEnum) && !ProtoShadowed()) out.push_back("__proto__");
  for (auto& [order, name] : keyed) out.push_back(std::move(name));
}

void ArrayObject::Trace(std::vector<Object*>& out) {
  Object::Trace(out);
  for (const Value& v : elements) TraceValue(v, out);
}

void BoxObject::Trace(std::vector<Object*>& out) { Object::Trace(out); }

}  // namespace orrivel::swf::avm1
