// Internal to the reader: fonts and text fields (font_reader.cpp,
// text_reader.cpp).
#pragma once

#include <optional>

#include "swf/format/tag_readers.h"

namespace orrivel::swf {

// version 1..3 for DefineFont, DefineFont2, DefineFont3.
std::optional<FontDefinition> ReadDefineFont(ByteReader& r, int version, ParseContext& ctx);
// version 1 (RGB colours) or 2 (RGBA) for DefineText and DefineText2.
std::optional<TextDefinition> ReadDefineText(ByteReader& r, int version, ParseContext& ctx);
std::optional<EditTextDefinition> ReadDefineEditText(ByteReader& r, ParseContext& ctx);

}  // namespace orrivel::swf
