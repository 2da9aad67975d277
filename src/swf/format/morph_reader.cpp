// DefineMorphShape and DefineMorphShape2: each morph style becomes a pair of
// plain styles, one in the start shape and one in the end shape.
#include "swf/format/shape_reader.h"

namespace orrivel::swf {

std::optional<MorphShapeDefinition> ReadDefineMorphShape(ByteReader& r, int version,
                                                         ParseContext& ctx) {
  MorphShapeDefinition def;
  def.id = r.U16();
  def.version = version;
  def.startBounds = ReadRect(r);
  def.endBounds = ReadRect(r);
  if (version >= 2) {
    def.startEdgeBounds = ReadRect(r);
    def.endEdgeBounds = ReadRect(r);
    const uint8_t flags = r.U8();
    def.usesNonScalingStrokes = (flags & kUsesNonScalingStrokes) != 0;
    def.usesScalingStrokes = (flags & kUsesScalingStrokes) != 0;
  }
  const uint32_t endEdgesOffset = r.U32();
  const size_t offsetBase = r.Position();

  ReadStyleArrays(r, MorphStyleFormat(version), def.start.fillStyles, def.start.lineStyles, ctx,
                  &def.end.fillStyles, &def.end.lineStyles);
  ReadShapeRecords(r, 3, false, def.start.records, ctx);
  // The end edges start at the stored offset; a zero offset (written by some
  // tools) means right after the start edges.
  if (endEdgesOffset != 0) {
    if (endEdgesOffset > r.Data().size() - offsetBase)
      r.Fail();
    else
      r.Seek(offsetBase + endEdgesOffset);
  }
  ReadShapeRecords(r, 3, false, def.end.records, ctx);
  if (r.Failed()) return std::nullopt;
  return def;
}

}  // namespace orrivel::swf
