// AMF0, the value encoding of an FLV file's script data tags (onMetaData,
// onCuePoint): numbers, booleans, strings, objects, ECMA and strict arrays,
// dates. The reader is bounded in nesting and in the values it makes, so a
// hostile tag costs no more than its own size suggests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orrivel::swf::video {

struct AmfProperty;

struct AmfValue {
  enum class Type : uint8_t {
    Number,
    Boolean,
    String,
    Object,
    Null,
    Undefined,
    EcmaArray,
    StrictArray,
    Date
  };
  Type type = Type::Undefined;
  double number = 0;  // Number, and Date in milliseconds since 1970 (UTC)
  bool boolean = false;
  std::string string;
  // Object and EcmaArray, in the file's order.
  std::vector<AmfProperty> properties;
  std::vector<AmfValue> elements;  // StrictArray

  // The property of that name, or null.
  const AmfValue* Find(std::string_view name) const;
};

struct AmfProperty {
  std::string name;
  AmfValue value;
};

// One script data tag: a name and the values that follow it.
struct AmfScript {
  std::string name;
  std::vector<AmfValue> args;
};

struct AmfLimits {
  int maxDepth = 32;                 // objects and arrays inside each other
  std::size_t maxValues = 1u << 16;  // values made for one tag
};

// False (with `error` saying where) when the data is damaged or over the
// limits; `out` then holds nothing.
bool ReadAmfScript(std::span<const uint8_t> data, AmfScript& out, std::string& error,
                   const AmfLimits& limits = {});

}  // namespace orrivel::swf::video
