// TextField.StyleSheet: named formats ("p", ".note", "span.note") that a
// field with the sheet applies to the HTML tags of text set into it.
#pragma once

#include <map>
#include <string>

#include "swf/avm1/object.h"
#include "swf/player/edit_text.h"

namespace orrivel::swf::avm1 {

class Vm;

class StyleSheetObject : public Object {
 public:
  // Selector as given -> property (camelCase, as scripts name it) -> value.
  std::map<std::string, std::map<std::string, std::string>> styles;
};

// The sheet's formats as they are now; later changes to the sheet do not
// reach text already set.
HtmlStyles SnapshotStyles(const StyleSheetObject& sheet);

}  // namespace orrivel::swf::avm1
