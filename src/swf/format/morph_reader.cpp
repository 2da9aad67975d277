// DefineMorphShape and DefineMorphShape2: each morph style becomes a pair of
// plain styles, one in the start shape and one in the end shape.
#include "swf/format/shape_reader.h"

namespace orrivel::swf {
namespace {

size_t ReadMorphCount(ByteReader& r) {
  size_t n = r.U8();
  if (n == 0xFF) n = r.U16();
  return n;
}

void ReadMorphFill(ByteReader& r, FillStyle& start, FillStyle& end, ParseContext& ctx) {
  const uint8_t type = r.U8();
  if (!IsFillTypeValid(type)) {
    r.Fail();
    return;
  }
  start.type = end.type = static_cast<FillType>(type);
  if (type == 0x00) {
    start.color = r.RgbaColor();
    end.color = r.RgbaColor();
  } else if (type < 0x40) {
    start.gradient.matrix = ReadMatrix(r);
    end.gradient.matrix = ReadMatrix(r);
    unsigned count = 0;
    ReadGradientFlags(r, start.gradient, count);
    end.gradient.spread = start.gradient.spread;
    end.gradient.interpolation = start.gradient.interpolation;
    if (!ctx.budget.Take(2 * count * sizeof(GradientRecord))) r.Fail();
    for (unsigned i = 0; i < count && !r.Failed(); ++i) {
      GradientRecord a, b;
      a.ratio = r.U8();
      a.color = r.RgbaColor();
      b.ratio = r.U8();
      b.color = r.RgbaColor();
      start.gradient.records.push_back(a);
      end.gradient.records.push_back(b);
    }
    if (type == 0x13) {
      start.gradient.focalPoint = ClampFocal(r.Fixed8());
      end.gradient.focalPoint = ClampFocal(r.Fixed8());
    }
  } else {
    start.bitmapId = end.bitmapId = r.U16();
    start.bitmapMatrix = ReadMatrix(r);
    end.bitmapMatrix = ReadMatrix(r);
  }
}

void ReadMorphLine(ByteReader& r, int version, LineStyle& start, LineStyle& end,
                   ParseContext& ctx) {
  start.width = r.U16();
  end.width = r.U16();
  if (version >= 2) {
    bool hasFill = false;
    {
      BitReader bits(r);
      const uint32_t startCap = bits.UB(2);
      const uint32_t join = bits.UB(2);
      hasFill = bits.Flag();
      start.noHScale = bits.Flag();
      start.noVScale = bits.Flag();
      start.pixelHinting = bits.Flag();
      bits.UB(5);
      start.noClose = bits.Flag();
      const uint32_t endCap = bits.UB(2);
      if (startCap > 2 || join > 2 || endCap > 2) {
        r.Fail();
        return;
      }
      start.startCap = static_cast<CapStyle>(startCap);
      start.endCap = static_cast<CapStyle>(endCap);
      start.join = static_cast<JoinStyle>(join);
    }
    if (start.join == JoinStyle::Miter) start.miterLimit = r.U16() / 256.0f;
    if (hasFill) {
      start.fill.emplace();
      end.fill.emplace();
      ReadMorphFill(r, *start.fill, *end.fill, ctx);
    } else {
      start.color = r.RgbaColor();
      end.color = r.RgbaColor();
    }
  } else {
    start.color = r.RgbaColor();
    end.color = r.RgbaColor();
  }
  // Only widths, colours and fills morph; the stroke options are shared.
  end.startCap = start.startCap;
  end.endCap = start.endCap;
  end.join = start.join;
  end.miterLimit = start.miterLimit;
  end.noHScale = start.noHScale;
  end.noVScale = start.noVScale;
  end.pixelHinting = start.pixelHinting;
  end.noClose = start.noClose;
}

}  // namespace

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
    def.usesNonScalingStrokes = (flags & 0x02) != 0;
    def.usesScalingStrokes = (flags & 0x01) != 0;
  }
  const uint32_t endEdgesOffset = r.U32();
  const size_t offsetBase = r.Position();

  const size_t fillCount = ReadMorphCount(r);
  if (!ctx.budget.Take(2 * fillCount * sizeof(FillStyle))) r.Fail();
  for (size_t i = 0; i < fillCount && !r.Failed(); ++i) {
    FillStyle a, b;
    ReadMorphFill(r, a, b, ctx);
    def.start.fillStyles.push_back(std::move(a));
    def.end.fillStyles.push_back(std::move(b));
  }
  const size_t lineCount = ReadMorphCount(r);
  if (!ctx.budget.Take(2 * lineCount * sizeof(LineStyle))) r.Fail();
  for (size_t i = 0; i < lineCount && !r.Failed(); ++i) {
    LineStyle a, b;
    ReadMorphLine(r, version, a, b, ctx);
    def.start.lineStyles.push_back(std::move(a));
    def.end.lineStyles.push_back(std::move(b));
  }
  ReadShapeRecords(r, 3, false, def.start.records, ctx);
  // The end edges start at the stored offset; a zero offset (written by some
  // tools) means right after the start edges.
  if (endEdgesOffset != 0) {
    if (endEdgesOffset > r.Data().size() - offsetBase) r.Fail();
    else r.Seek(offsetBase + endEdgesOffset);
  }
  ReadShapeRecords(r, 3, false, def.end.records, ctx);
  if (r.Failed()) return std::nullopt;
  return def;
}

}  // namespace orrivel::swf
