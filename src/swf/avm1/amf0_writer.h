// Script values as AMF0, the encoding Flash Remoting carries
// (NetConnection.call) and SharedObject files hold.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

class Amf0Writer {
 public:
  explicit Amf0Writer(Vm& vm) : vm_(vm) {}

  void U8(uint8_t b) { out_.push_back(static_cast<char>(b)); }
  void U16(uint32_t v) { U8(static_cast<uint8_t>(v >> 8)), U8(static_cast<uint8_t>(v)); }
  void U32(uint32_t v) { U16(v >> 16), U16(v & 0xFFFF); }
  void Double(double d);
  // A name: 16-bit length and UTF-8 bytes (cut at 65535 bytes).
  void Name(std::string_view s);
  void Value(const avm1::Value& v);
  // A value passed on its own (a LocalConnection argument): a function is
  // written as the object it also is.
  void Argument(const avm1::Value& v);
  std::string& Bytes() { return out_; }

 private:
  void Obj(Object* o);
  void Members(Object* o);

  Vm& vm_;
  std::string out_;
  std::vector<Object*> seen_;  // complex values written, for references
  int depth_ = 0;
};

// The values AMF0 bytes hold, one after another, made afresh: objects of a
// registered class alias get its prototype; XML documents are parsed again.
// Reading stops at the first damaged value.
std::vector<Value> ReadAmf0Values(Vm& vm, std::string_view bytes);

// Values as another movie receives them through AMF0 (LocalConnection):
// clips become undefined, methods are dropped, objects are copies.
std::vector<Value> CopyThroughAmf0(Vm& vm, Args values);

// A remoting request: no headers, one message per call (target, response
// "/N" and the arguments as a strict array).
std::string Amf0Request(Vm& vm, const std::string& target, int responseId, Args args);

}  // namespace orrivel::swf::avm1
