#include "swf/avm1/shared_object_store.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

namespace {

// "ORSO", then the format's version, then the data object.
constexpr char kMagic[4] = {'O', 'R', 'S', 'O'};
constexpr uint8_t kFormatVersion = 1;
constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxNameBytes = 200;
constexpr std::size_t kMaxFileName = 120;

enum Tag : uint8_t {
  kUndefined = 0,
  kNull = 1,
  kFalse = 2,
  kTrue = 3,
  kNumber = 4,
  kString = 5,
  kObject = 6,
  kArray = 7,
  kDate = 8,
  kReference = 9,
};

uint64_t Fnv1a(std::string_view text) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

class Writer {
 public:
  explicit Writer(Vm& vm) : vm_(vm) {}

  void Byte(uint8_t b) { out_.push_back(static_cast<char>(b)); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) Byte(static_cast<uint8_t>(bits >> (8 * i)));
  }
  void Text(std::string_view s) {
    U32(static_cast<uint32_t>(s.size()));
    out_.append(s);
  }

  void Val(const Value& v, int depth) {
    switch (v.type) {
      case Type::Undefined:
        return Byte(kUndefined);
      case Type::Null:
        return Byte(kNull);
      case Type::Boolean:
        return Byte(v.boolean ? kTrue : kFalse);
      case Type::Number:
        Byte(kNumber);
        return Double(v.number);
      case Type::String:
        Byte(kString);
        return Text(v.string);
      case Type::Object:
        return Obj(v.object, depth);
    }
  }

  // Whether `v` is kept at all: functions and clips are not data.
  static bool Storable(const Value& v) {
    if (!v.IsObject()) return true;
    return v.object && !v.object->IsFunction() && !v.object->IsClip() && !v.object->IsTextField();
  }

  void Obj(Object* o, int depth) {
    if (!o || depth >= kMaxDepth) return Byte(kNull);
    if (const auto seen = refs_.find(o); seen != refs_.end()) {
      Byte(kReference);
      return U32(seen->second);
    }
    if (auto* box = dynamic_cast<BoxObject*>(o); box && box->isDate) {
      Byte(kDate);
      return Double(box->primitive.number);
    }
    refs_.emplace(o, static_cast<uint32_t>(refs_.size()));
    std::vector<std::string> keys;
    o->OwnKeys(vm_, keys);
    std::vector<std::pair<std::string, Value>> members;
    for (std::string& k : keys) {
      Value v;
      if (!o->GetOwn(vm_, k, v) || !Storable(v)) continue;
      members.emplace_back(std::move(k), std::move(v));
    }
    if (auto* array = dynamic_cast<ArrayObject*>(o)) {
      Byte(kArray);
      U32(static_cast<uint32_t>(array->elements.size()));
    } else {
      Byte(kObject);
    }
    U32(static_cast<uint32_t>(members.size()));
    for (const auto& [k, v] : members) {
      Text(k);
      Val(v, depth + 1);
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  Vm& vm_;
  std::string out_;
  std::unordered_map<Object*, uint32_t> refs_;
};

class Reader {
 public:
  Reader(Vm& vm, std::string_view in) : vm_(vm), in_(in) {}

  bool ok = true;

  uint8_t Byte() {
    if (pos_ >= in_.size()) return Fail(), 0;
    return static_cast<uint8_t>(in_[pos_++]);
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Byte()) << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string Text() {
    const uint32_t n = U32();
    if (!ok || n > in_.size() - pos_) return Fail(), std::string();
    std::string s(in_.substr(pos_, n));
    pos_ += n;
    return s;
  }
  bool AtEnd() const { return pos_ == in_.size(); }

  Value Val(int depth) {
    if (!ok || depth > kMaxDepth) return Fail(), Value{};
    switch (Byte()) {
      case kUndefined:
        return {};
      case kNull:
        return Value::Null();
      case kFalse:
        return Value::Bool(false);
      case kTrue:
        return Value::Bool(true);
      case kNumber:
        return Value::Num(Double());
      case kString:
        return Value::Str(Text());
      case kDate:
        return MakeDate(Double());
      case kReference: {
        const uint32_t i = U32();
        if (!ok || i >= objects_.size()) return Fail(), Value{};
        return Value::Obj(objects_[i]);
      }
      case kArray: {
        const uint32_t length = U32();
        // Each element costs at least a byte on disk, so a longer array
        // than the file could describe is damage.
        if (!ok || length > in_.size()) return Fail(), Value{};
        ArrayObject* array = vm_.NewArray();
        array->Resize(vm_, length);
        return Members(array, depth);
      }
      case kObject:
        return Members(vm_.NewObject(), depth);
      default:
        return Fail(), Value{};
    }
  }

 private:
  void Fail() { ok = false; }

  Value Members(Object* o, int depth) {
    objects_.push_back(o);
    const uint32_t n = U32();
    for (uint32_t i = 0; ok && i < n; ++i) {
      std::string key = Text();
      const Value v = Val(depth + 1);
      if (ok) vm_.Set(o, key, v);
    }
    return Value::Obj(o);
  }

  Value MakeDate(double ms) {
    const Value ctor = vm_.Get(vm_.global, "Date");
    if (!ctor.IsObject()) return Value::Num(ms);
    const Value args[1] = {Value::Num(ms)};
    return vm_.Construct(ctor.object, args);
  }

  Vm& vm_;
  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<Object*> objects_;
};

}  // namespace

std::string SafeFileComponent(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || (c == '.' && i > 0);
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  if (out.empty()) out = "%";
  if (out.size() > kMaxFileName) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(text)));
    out.resize(kMaxFileName - 17);
    out += '~';
    out += hash;
  }
  return out;
}

std::string SharedObjectFileName(std::string_view name, std::string_view localPath) {
  if (name.empty() || name.size() > kMaxNameBytes || localPath.size() > kMaxNameBytes) return {};
  if (name.find_first_of("~%&\\;:\"',<>?# ") != std::string_view::npos) return {};
  std::string key(name);
  if (!localPath.empty()) key = std::string(localPath) + '\n' + key;
  return SafeFileComponent(key) + ".sol";
}

std::string EncodeSharedData(Vm& vm, Object* data) {
  Writer w(vm);
  for (char c : kMagic) w.Byte(static_cast<uint8_t>(c));
  w.Byte(kFormatVersion);
  w.Obj(data, 0);
  return w.Take();
}

Object* DecodeSharedData(Vm& vm, std::string_view bytes) {
  if (bytes.size() < 6 || bytes.size() > 2 * kSharedObjectMovieBytes ||
      std::memcmp(bytes.data(), kMagic, 4) != 0 || static_cast<uint8_t>(bytes[4]) != kFormatVersion)
    return vm.NewObject();
  Reader r(vm, bytes.substr(5));
  const Value v = r.Val(0);
  if (!r.ok || !r.AtEnd() || !v.IsObject()) return vm.NewObject();
  return v.object;
}

}  // namespace orrivel::swf::avm1
