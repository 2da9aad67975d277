#include "swf/video/amf0.h"

#include <bit>
#include <cstring>

#include "swf/format/amf0_markers.h"

namespace orrivel::swf::video {

namespace {

using namespace amf0;

// Big-endian reads over the tag's bytes; every read past the end fails the
// whole tag with a message naming the offset.
class AmfReader {
 public:
  AmfReader(std::span<const uint8_t> data, const AmfLimits& limits)
      : data_(data), limits_(limits) {}

  bool Value(AmfValue& out, int depth);
  bool String16(std::string& out) { return Text(U16(), out); }
  bool AtEnd() const { return pos_ >= data_.size(); }
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const char* what) {
    if (error_.empty()) error_ = std::string(what) + " at byte " + std::to_string(pos_);
    failed_ = true;
    return false;
  }
  bool Need(std::size_t n) {
    if (failed_ || data_.size() - pos_ < n) return Fail("script data ends early");
    return true;
  }
  uint32_t Be(int bytes) {
    if (!Need(static_cast<std::size_t>(bytes))) return 0;
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | data_[pos_++];
    return v;
  }
  uint8_t U8() { return static_cast<uint8_t>(Be(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Be(2)); }
  uint32_t U32() { return Be(4); }
  double Double() {
    const uint64_t hi = U32();
    const uint64_t lo = U32();
    return std::bit_cast<double>(hi << 32 | lo);
  }
  bool Text(std::size_t n, std::string& out) {
    if (!Need(n)) return false;
    out.assign(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return true;
  }
  // Name and value pairs up to the end marker (an empty name, then 9).
  bool Properties(AmfValue& out, int depth);

  std::span<const uint8_t> data_;
  const AmfLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t values_ = 0;
  bool failed_ = false;
  std::string error_;
};

bool AmfReader::Properties(AmfValue& out, int depth) {
  for (;;) {
    std::string name;
    if (!String16(name)) return false;
    if (failed_) return false;
    if (name.empty()) {
      // Some writers end an ECMA array with the data's end instead of the marker.
      if (AtEnd()) return true;
      if (data_[pos_] == kObjectEnd) {
        ++pos_;
        return true;
      }
    }
    AmfValue v;
    if (!Value(v, depth + 1)) return false;
    out.properties.push_back({std::move(name), std::move(v)});
  }
}

bool AmfReader::Value(AmfValue& out, int depth) {
  if (depth > limits_.maxDepth) return Fail("script data nests too deeply");
  if (++values_ > limits_.maxValues) return Fail("script data holds too many values");
  const uint8_t marker = U8();
  if (failed_) return false;
  switch (marker) {
    case kNumber:
      out.type = AmfValue::Type::Number;
      out.number = Double();
      break;
    case kBoolean:
      out.type = AmfValue::Type::Boolean;
      out.boolean = U8() != 0;
      break;
    case kString:
      out.type = AmfValue::Type::String;
      return String16(out.string);
    case kLongString:
    case kXmlDocument:
      out.type = AmfValue::Type::String;
      return Text(U32(), out.string);
    case kTypedObject: {
      std::string className;
      if (!String16(className)) return false;
      out.type = AmfValue::Type::Object;
      return Properties(out, depth);
    }
    case kObject:
      out.type = AmfValue::Type::Object;
      return Properties(out, depth);
    case kEcmaArray:
      out.type = AmfValue::Type::EcmaArray;
      U32();  // the count is only a hint: the end marker closes the array
      return !failed_ && Properties(out, depth);
    case kStrictArray: {
      out.type = AmfValue::Type::StrictArray;
      const uint32_t count = U32();
      // Each element takes at least a byte, so the count cannot outrun the data.
      if (!failed_ && count > data_.size() - pos_) return Fail("strict array longer than its data");
      for (uint32_t i = 0; i < count; ++i) {
        AmfValue v;
        if (!Value(v, depth + 1)) return false;
        out.elements.push_back(std::move(v));
      }
      break;
    }
    case kDate:
      out.type = AmfValue::Type::Date;
      out.number = Double();
      U16();  // the writer's time zone, which readers ignore
      break;
    case kNull:
      out.type = AmfValue::Type::Null;
      break;
    case kUndefined:
    case kUnsupported:
      out.type = AmfValue::Type::Undefined;
      break;
    case kReference:
      // Back references appear only in streams from servers; the value is lost.
      U16();
      out.type = AmfValue::Type::Undefined;
      break;
    default:
      --pos_;
      return Fail(marker == kMovieClip ? "movie clip value in script data"
                                       : "unknown value type in script data");
  }
  return !failed_;
}

}  // namespace

const AmfValue* AmfValue::Find(std::string_view name) const {
  for (const auto& [key, value] : properties) {
    if (key == name) return &value;
  }
  return nullptr;
}

bool ReadAmfScript(std::span<const uint8_t> data, AmfScript& out, std::string& error,
                   const AmfLimits& limits) {
  out = {};
  AmfReader r(data, limits);
  AmfValue name;
  if (!r.Value(name, 0)) {
    error = r.Error();
    return false;
  }
  if (name.type != AmfValue::Type::String) {
    error = "script data does not start with a name";
    return false;
  }
  out.name = std::move(name.string);
  while (!r.AtEnd()) {
    AmfValue v;
    if (!r.Value(v, 0)) {
      error = r.Error();
      out = {};
      return false;
    }
    out.args.push_back(std::move(v));
  }
  return true;
}

}  // namespace orrivel::swf::video
