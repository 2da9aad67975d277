// TextFormat objects: a text style whose fields may be unset (null), read
// and set through getter/setter properties on TextFormat.prototype.
#pragma once

#include "swf/avm1/object.h"
#include "swf/player/edit_text.h"

namespace orrivel::swf::avm1 {

class TextFormatObject : public Object {
 public:
  TextStyle style;
  std::string display;  // "inline" or "none"; empty reads as "block"
};

TextFormatObject* NewTextFormat(Vm& vm, const TextStyle& style);
// The style a TextFormat value holds; empty for anything else.
TextStyle StyleOf(const Value& v);

}  // namespace orrivel::swf::avm1
