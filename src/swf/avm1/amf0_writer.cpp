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

void Amf0Writer::Argument(const avm1::Value& v) {
  Object* f = v.IsObject() && v.object->IsFunction() ? v.object : nullptr;
  if (!f || std::find(seen_.begin(), seen_.end(), f) != seen_.end()) return Value(v);
  seen_.push_back(f);
  U8(kObject);
  Members(f);
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

namespace {

class Amf0Reader {
 public:
  Amf0Reader(Vm& vm, std::string_view in) : vm_(vm), in_(in) {}
  bool ok = true;
  bool AtEnd() const { return pos_ >= in_.size(); }

  avm1::Value Read(int depth = 0) {
    if (depth > 64) return Fail();
    switch (U8()) {
      case kNumber:
        return avm1::Value::Num(Double());
      case kBoolean:
        return avm1::Value::Bool(U8() != 0);
      case kString:
        return avm1::Value::Str(Text(U16()));
      case kLongString:
        return avm1::Value::Str(Text(U32()));
      case kNull:
        return avm1::Value::Null();
      case kUndefined:
      case kUnsupported:
        return {};
      case kReference: {
        const uint32_t i = U16();
        if (!ok || i >= objects_.size()) return Fail();
        return avm1::Value::Obj(objects_[i]);
      }
      case kObject:
        return Members(vm_.NewObject(), depth);
      case kTypedObject: {
        const std::string alias = Text(U16());
        Object* o = vm_.NewObject();
        for (const auto& [key, cls] : vm_.classByName) {
          const auto spelled = vm_.classSpelling.find(key);
          if (spelled == vm_.classSpelling.end() || spelled->second.first != alias) continue;
          const avm1::Value proto = vm_.Get(cls, "prototype");
          if (proto.IsObject()) o->proto = proto.object;
        }
        return Members(o, depth);
      }
      case kEcmaArray: {
        U32();  // the length, which the members set again
        return Members(vm_.NewArray(), depth);
      }
      case kStrictArray: {
        const uint32_t n = U32();
        if (!ok || n > in_.size() - pos_) return Fail();
        ArrayObject* a = vm_.NewArray();
        objects_.push_back(a);
        std::vector<avm1::Value> elements;
        for (uint32_t i = 0; ok && i < n; ++i) elements.push_back(Read(depth + 1));
        a->elements = std::move(elements);
        return avm1::Value::Obj(a);
      }
      case kDate: {
        const double ms = Double();
        U16();  // the time zone
        const avm1::Value ctor = vm_.Get(vm_.global, "Date");
        const avm1::Value args[1] = {avm1::Value::Num(ms)};
        const avm1::Value date = ctor.IsObject() ? vm_.Construct(ctor.object, args) : avm1::Value{};
        if (date.IsObject()) objects_.push_back(date.object);
        return date;
      }
      case kXmlDocument: {
        const avm1::Value args[1] = {avm1::Value::Str(Text(U32()))};
        const avm1::Value ctor = vm_.Get(vm_.global, "XML");
        const avm1::Value xml = ctor.IsObject() ? vm_.Construct(ctor.object, args) : avm1::Value{};
        if (xml.IsObject()) objects_.push_back(xml.object);
        return xml;
      }
      default:
        return Fail();
    }
  }

 private:
  avm1::Value Fail() {
    ok = false;
    return {};
  }
  uint8_t U8() {
    if (pos_ >= in_.size()) return Fail(), 0;
    return static_cast<uint8_t>(in_[pos_++]);
  }
  uint32_t U16() { return uint32_t{U8()} << 8 | U8(); }
  uint32_t U32() { return U16() << 16 | U16(); }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | U8();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string Text(uint32_t n) {
    if (!ok || n > in_.size() - pos_) return Fail(), std::string();
    std::string s(in_.substr(pos_, n));
    pos_ += n;
    return s;
  }
  avm1::Value Members(Object* o, int depth) {
    objects_.push_back(o);
    while (ok) {
      const std::string key = Text(U16());
      if (key.empty() && pos_ < in_.size() && static_cast<uint8_t>(in_[pos_]) == kObjectEnd) {
        ++pos_;
        break;
      }
      const avm1::Value v = Read(depth + 1);
      if (ok) vm_.Set(o, key, v);
    }
    return avm1::Value::Obj(o);
  }

  Vm& vm_;
  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<Object*> objects_;
};

}  // namespace

std::vector<Value> ReadAmf0Values(Vm& vm, std::string_view bytes) {
  Amf0Reader r(vm, bytes);
  std::vector<Value> out;
  while (!r.AtEnd()) {
    Value v = r.Read();
    if (!r.ok) break;
    out.push_back(std::move(v));
  }
  return out;
}

std::vector<Value> CopyThroughAmf0(Vm& vm, Args values) {
  // Each value is encoded alone: two arguments naming one object arrive as
  // two objects.
  std::vector<Value> out;
  for (const Value& v : values) {
    Amf0Writer w(vm);
    w.Argument(v);
    std::vector<Value> read = ReadAmf0Values(vm, w.Bytes());
    out.push_back(read.empty() ? Value{} : read.front());
  }
  return out;
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
