#include "swf/avm1/amf0_writer.h"

#include <algorithm>
#include <cstring>

#include "swf/format/amf0_markers.h"

namespace orrivel::swf::avm1 {

namespace {

using namespace amf0;

constexpr int kMaxDepth = 64;

// Whether `name` is an array index: digits without a leading zero.
bool IsIndex(std::string_view name) {
  if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The name its constructor was last registered under (Object.registerClass);
// empty when none was. The constructor is the object's own, `constructor`
// before `__constructor__`, as a plain value: a getter is not run, and one
// only inherited does not count.
std::string RegisteredName(Vm& vm, Object* o) {
  Object* ctor = nullptr;
  for (const char* name : {"constructor", "__constructor__"}) {
    const Property* c = o->HasOwn(vm, name) ? o->FindProperty(vm, name) : nullptr;
    if (c && !c->getter && c->value.IsObject()) {
      ctor = c->value.object;
      break;
    }
  }
  if (!ctor) return {};
  const std::pair<std::string, uint64_t>* last = nullptr;
  for (const auto& [key, cls] : vm.classByName) {
    const auto spelled = vm.classSpelling.find(key);
    if (cls != ctor || spelled == vm.classSpelling.end()) continue;
    if (!last || spelled->second.second > last->second) last = &spelled->second;
  }
  return last ? last->first : std::string();
}

bool IsXmlDocument(Vm& vm, Object* o) {
  const Value xml = vm.Get(vm.global, "XML");
  return xml.IsObject() && vm.InstanceOf(o, xml.object);
}

}  // namespace

void Amf0Writer::Double(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  for (int i = 7; i >= 0; --i) U8(static_cast<uint8_t>(bits >> (8 * i)));
}

void Amf0Writer::Name(std::string_view s) {
  s = s.substr(0, 0xFFFF);
  U16(static_cast<uint32_t>(s.size()));
  out_.append(s);
}

void Amf0Writer::Value(const avm1::Value& v) {
  switch (v.type) {
    case Type::Undefined:
      return U8(kUndefined);
    case Type::Null:
      return U8(kNull);
    case Type::Boolean:
      U8(kBoolean);
      return U8(v.boolean ? 1 : 0);
    case Type::Number:
      U8(kNumber);
      return Double(v.number);
    case Type::String:
      if (v.string.size() > 0xFFFF) {
        U8(kLongString);
        U32(static_cast<uint32_t>(v.string.size()));
        out_.append(v.string);
        return;
      }
      U8(kString);
      return Name(v.string);
    case Type::Object:
      return Obj(v.object);
  }
}

void Amf0Writer::Obj(Object* o) {
  // Functions and display objects carry no data.
  if (!o || o->IsFunction() || o->IsClip() || o->IsTextField()) return U8(kUndefined);
  if (const auto it = std::find(seen_.begin(), seen_.end(), o); it != seen_.end()) {
    U8(kReference);
    return U16(static_cast<uint32_t>(it - seen_.begin()));
  }
  // Dates and XML documents take places in the reference table too.
  if (auto* box = dynamic_cast<BoxObject*>(o); box && box->isDate) {
    seen_.push_back(o);
    U8(kDate);
    Double(box->primitive.number);
    return U16(0);  // the time zone, which readers ignore
  }
  if (depth_ >= kMaxDepth || out_.size() > vm_.limits.maxElements * 16) return U8(kNull);
  if (IsXmlDocument(vm_, o)) {
    seen_.push_back(o);
    const std::string text = vm_.ToString(avm1::Value::Obj(o));
    U8(kXmlDocument);
    U32(static_cast<uint32_t>(text.size()));
    out_.append(text);
    return;
  }
  seen_.push_back(o);
  ++depth_;
  if (auto* array = dynamic_cast<ArrayObject*>(o)) {
    std::vector<std::string> keys;
    array->Object::OwnKeys(vm_, keys);
    const bool named = std::any_of(keys.begin(), keys.end(), [&](const std::string& k) {
      return !IsIndex(k) || std::stod(k) >= array->Length();
    });
    const auto length = static_cast<uint32_t>(std::max(0.0, array->Length()));
    if (!named) {
      U8(kStrictArray);
      U32(length);
      for (uint32_t i = 0; i < length; ++i)
        Value(i < array->elements.size() ? array->elements[i] : avm1::Value{});
    } else {
      U8(kEcmaArray);
      U32(length);
      Members(o);
    }
  } else if (const std::string alias = RegisteredName(vm_, o); !alias.empty()) {
    U8(kTypedObject);
    Name(alias);
    Members(o);
  } else {
    U8(kObject);
    Members(o);
  }
  --depth_;
}

// Each enumerable property, as for..in finds them: the object's own in the
// order they were made, then those it inherits that it does not shadow;
// then the end mark.
void Amf0Writer::Members(Object* o) {
  std::vector<std::string> keys;
  std::vector<Object*> owners;
  int guard = 0;
  for (Object* at = o; at && guard < 256; at = at->proto, ++guard) {
    std::vector<std::string> own;
    at->OwnKeys(vm_, own);
    for (std::string& k : own) {
      if (std::any_of(keys.begin(), keys.end(),
                      [&](const std::string& e) { return vm_.NamesEqual(e, k); }))
        continue;
      keys.push_back(std::move(k));
      owners.push_back(at);
    }
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string& k = keys[i];
    Object* owner = owners[i];
    // The link a super() call leaves is not data.
    if (k == "__constructor__") continue;
    // A getter is not run: a property made by addProperty holds no data.
    const Property* p = owner->FindProperty(vm_, k);
    avm1::Value v;
    if (!(p && (p->getter || p->setter)) && !owner->GetOwn(vm_, k, v)) continue;
    if (v.IsObject() && v.object->IsFunction()) continue;  // methods are not data
    Name(k);
    Value(v);
  }
  U16(0);
  U8(kObjectEnd);
}

std::string Amf0Request(Vm& vm, const std::string& target, int responseId, Args args) {
  Amf0Writer body(vm);
  body.U8(kStrictArray);
  body.U32(static_cast<uint32_t>(args.size()));
  for (const avm1::Value& a : args) body.Value(a);
  Amf0Writer packet(vm);
  packet.U16(0);  // AMF0
  packet.U16(0);  // headers
  packet.U16(1);  // messages
  packet.Name(target);
  packet.Name("/" + std::to_string(responseId));
  packet.U32(static_cast<uint32_t>(body.Bytes().size()));
  return packet.Bytes() + body.Bytes();
}

}  // namespace orrivel::swf::avm1
