// Names of SWF tag codes, for diagnostics and tools.
#pragma once

#include <cstdint>

namespace orrivel::swf {

// The standard name of a tag code ("DefineShape3"), or "Unknown".
const char* TagName(uint16_t code);

}  // namespace orrivel::swf
