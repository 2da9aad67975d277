// The type markers of AMF0, the value encoding of FLV script data, remoting
// calls and shared objects: one byte before each value.
#pragma once

#include <cstdint>

namespace orrivel::swf::amf0 {

enum Marker : uint8_t {
  kNumber = 0x00,
  kBoolean = 0x01,
  kString = 0x02,
  kObject = 0x03,
  kMovieClip = 0x04,
  kNull = 0x05,
  kUndefined = 0x06,
  kReference = 0x07,
  kEcmaArray = 0x08,
  kObjectEnd = 0x09,
  kStrictArray = 0x0A,
  kDate = 0x0B,
  kLongString = 0x0C,
  kUnsupported = 0x0D,
  kXmlDocument = 0x0F,
  kTypedObject = 0x10,
};

}  // namespace orrivel::swf::amf0
