// Internal to the reader: style and shape record parsing shared by shapes and
// morph shapes.
#pragma once

#include <vector>

#include "swf/format/tag_readers.h"

namespace orrivel::swf {

// How a tag stores its styles. Morph styles hold each field twice, start then
// end, always with alpha.
struct StyleFormat {
  bool rgba = false;           // colours with alpha (DefineShape3 on, morphs)
  bool lineStyle2 = false;     // LINESTYLE2 (DefineShape4, DefineMorphShape2)
  bool extendedCount = false;  // 0xFF then a 16-bit count (DefineShape2 on, morphs)
  bool morph = false;
};

StyleFormat ShapeStyleFormat(int shapeVersion);
StyleFormat MorphStyleFormat(int morphVersion);

// DefineShape4 and DefineMorphShape2 flags.
inline constexpr uint8_t kUsesScalingStrokes = 0x01;
inline constexpr uint8_t kUsesNonScalingStrokes = 0x02;
inline constexpr uint8_t kUsesFillWindingRule = 0x04;

// The style arrays of a shape, or of a morph's start and end shapes (the end
// arrays are read only for morphs).
void ReadStyleArrays(ByteReader& r, StyleFormat format, std::vector<FillStyle>& fills,
                     std::vector<LineStyle>& lines, ParseContext& ctx,
                     std::vector<FillStyle>* endFills = nullptr,
                     std::vector<LineStyle>* endLines = nullptr);

// A SHAPE: fill/line index bit counts, then records up to the end record.
// New style arrays are read only when allowNewStyles is set (not in morphs).
void ReadShapeRecords(ByteReader& r, int version, bool allowNewStyles,
                      std::vector<ShapeRecord>& out, ParseContext& ctx);

}  // namespace orrivel::swf
