// Internal to the reader: style and shape record parsing shared by shapes and
// morph shapes.
#pragma once

#include <vector>

#include "swf/format/tag_readers.h"

namespace orrivel::swf {

bool IsFillTypeValid(uint8_t type);
// The spread / interpolation / count byte that starts every gradient.
void ReadGradientFlags(ByteReader& r, Gradient& g, unsigned& count);
float ClampFocal(float f);
FillStyle ReadFillStyle(ByteReader& r, int version, ParseContext& ctx);
LineStyle ReadLineStyle(ByteReader& r, int version, ParseContext& ctx);
void ReadStyleArrays(ByteReader& r, int version, std::vector<FillStyle>& fills,
                     std::vector<LineStyle>& lines, ParseContext& ctx);
// A SHAPE: fill/line index bit counts, then records up to the end record.
// New style arrays are read only when allowNewStyles is set (not in morphs).
void ReadShapeRecords(ByteReader& r, int version, bool allowNewStyles,
                      std::vector<ShapeRecord>& out, ParseContext& ctx);

}  // namespace orrivel::swf
