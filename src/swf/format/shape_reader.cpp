// DefineShape 1-4: style arrays and shape records.
#include "swf/format/shape_reader.h"

#include <algorithm>

namespace orrivel::swf {
namespace {

constexpr uint8_t kFocalRadial = 0x13;

CapStyle ReadCap(uint32_t v, ByteReader& r) {
  if (v > 2) r.Fail();
  return static_cast<CapStyle>(std::min<uint32_t>(v, 2));
}

JoinStyle ReadJoin(uint32_t v, ByteReader& r) {
  if (v > 2) r.Fail();
  return static_cast<JoinStyle>(std::min<uint32_t>(v, 2));
}

// The style array count: one byte, or 0xFF and a 16-bit count from
// DefineShape2 on.
size_t ReadCount(ByteReader& r, int version) {
  size_t n = r.U8();
  if (n == 0xFF && version >= 2) n = r.U16();
  return n;
}

}  // namespace

bool IsFillTypeValid(uint8_t type) {
  switch (type) {
    case 0x00: case 0x10: case 0x12: case 0x13:
    case 0x40: case 0x41: case 0x42: case 0x43:
      return true;
    default:
      return false;
  }
}

void ReadGradientFlags(ByteReader& r, Gradient& g, unsigned& count) {
  BitReader bits(r);
  const uint32_t spread = bits.UB(2);
  const uint32_t interpolation = bits.UB(2);
  count = bits.UB(4);
  if (spread > 2 || interpolation > 1) r.Fail();
  g.spread = static_cast<SpreadMode>(std::min<uint32_t>(spread, 2));
  g.interpolation = static_cast<InterpolationMode>(std::min<uint32_t>(interpolation, 1));
}

float ClampFocal(float f) { return std::clamp(f, -1.0f, 1.0f); }

FillStyle ReadFillStyle(ByteReader& r, int version, ParseContext& ctx) {
  FillStyle fill;
  const uint8_t type = r.U8();
  if (!IsFillTypeValid(type)) {
    r.Fail();
    return fill;
  }
  fill.type = static_cast<FillType>(type);
  const bool rgba = version >= 3;
  if (type == 0x00) {
    fill.color = rgba ? r.RgbaColor() : r.Rgb();
  } else if (type < 0x40) {
    fill.gradient.matrix = ReadMatrix(r);
    unsigned count = 0;
    ReadGradientFlags(r, fill.gradient, count);
    if (!ctx.budget.Take(count * sizeof(GradientRecord))) r.Fail();
    for (unsigned i = 0; i < count && !r.Failed(); ++i) {
      GradientRecord rec;
      rec.ratio = r.U8();
      rec.color = rgba ? r.RgbaColor() : r.Rgb();
      fill.gradient.records.push_back(rec);
    }
    if (type == kFocalRadial) fill.gradient.focalPoint = ClampFocal(r.Fixed8());
  } else {
    fill.bitmapId = r.U16();
    fill.bitmapMatrix = ReadMatrix(r);
  }
  return fill;
}

LineStyle ReadLineStyle(ByteReader& r, int version, ParseContext& ctx) {
  LineStyle line;
  line.width = r.U16();
  if (version < 4) {
    line.color = version >= 3 ? r.RgbaColor() : r.Rgb();
    return line;
  }
  bool hasFill = false;
  {
    BitReader bits(r);
    line.startCap = ReadCap(bits.UB(2), r);
    line.join = ReadJoin(bits.UB(2), r);
    hasFill = bits.Flag();
    line.noHScale = bits.Flag();
    line.noVScale = bits.Flag();
    line.pixelHinting = bits.Flag();
    bits.UB(5);
    line.noClose = bits.Flag();
    line.endCap = ReadCap(bits.UB(2), r);
  }
  if (line.join == JoinStyle::Miter) line.miterLimit = r.U16() / 256.0f;
  if (hasFill) {
    line.fill = ReadFillStyle(r, version, ctx);
  } else {
    line.color = r.RgbaColor();
  }
  return line;
}

void ReadStyleArrays(ByteReader& r, int version, std::vector<FillStyle>& fills,
                     std::vector<LineStyle>& lines, ParseContext& ctx) {
  const size_t fillCount = ReadCount(r, version);
  if (!ctx.budget.Take(fillCount * sizeof(FillStyle))) r.Fail();
  for (size_t i = 0; i < fillCount && !r.Failed(); ++i) fills.push_back(ReadFillStyle(r, version, ctx));
  const size_t lineCount = ReadCount(r, version);
  if (!ctx.budget.Take(lineCount * sizeof(LineStyle))) r.Fail();
  for (size_t i = 0; i < lineCount && !r.Failed(); ++i) lines.push_back(ReadLineStyle(r, version, ctx));
}

void ReadShapeRecords(ByteReader& r, int version, bool allowNewStyles,
                      std::vector<ShapeRecord>& out, ParseContext& ctx) {
  uint8_t bitCounts = r.U8();
  for (;;) {
    const unsigned fillBits = bitCounts >> 4;
    const unsigned lineBits = bitCounts & 0x0F;
    StyleChangeRecord withNewStyles;
    {
      BitReader bits(r);
      for (;;) {
        if (r.Failed()) return;
        if (out.size() >= ctx.limits.maxRecordsPerShape || !ctx.budget.Take(sizeof(ShapeRecord))) {
          r.Fail();
          return;
        }
        if (bits.Flag()) {
          const bool straight = bits.Flag();
          const unsigned n = bits.UB(4) + 2;
          if (straight) {
            StraightEdgeRecord e;
            if (bits.Flag()) {
              e.dx = bits.SB(n);
              e.dy = bits.SB(n);
            } else if (bits.Flag()) {
              e.dy = bits.SB(n);
            } else {
              e.dx = bits.SB(n);
            }
            out.emplace_back(e);
          } else {
            CurvedEdgeRecord e;
            e.controlDx = bits.SB(n);
            e.controlDy = bits.SB(n);
            e.anchorDx = bits.SB(n);
            e.anchorDy = bits.SB(n);
            out.emplace_back(e);
          }
          continue;
        }
        const uint32_t flags = bits.UB(5);
        if (flags == 0) return;  // end of shape
        StyleChangeRecord sc;
        if (flags & 0x01) {
          const unsigned n = bits.UB(5);
          const int32_t x = bits.SB(n);
          const int32_t y = bits.SB(n);
          sc.moveTo = std::make_pair(x, y);
        }
        if (flags & 0x02) sc.fillStyle0 = bits.UB(fillBits);
        if (flags & 0x04) sc.fillStyle1 = bits.UB(fillBits);
        if (flags & 0x08) sc.lineStyle = bits.UB(lineBits);
        if ((flags & 0x10) && allowNewStyles) {
          withNewStyles = std::move(sc);
          break;  // new styles start on a byte boundary
        }
        out.emplace_back(std::move(sc));
      }
    }
    withNewStyles.newFillStyles.emplace();
    withNewStyles.newLineStyles.emplace();
    ReadStyleArrays(r, version, *withNewStyles.newFillStyles, *withNewStyles.newLineStyles, ctx);
    bitCounts = r.U8();
    if (r.Failed()) return;
    out.emplace_back(std::move(withNewStyles));
  }
}

std::optional<ShapeDefinition> ReadDefineShape(ByteReader& r, int version, ParseContext& ctx) {
  ShapeDefinition def;
  def.id = r.U16();
  def.version = version;
  def.bounds = ReadRect(r);
  if (version >= 4) {
    def.edgeBounds = ReadRect(r);
    const uint8_t flags = r.U8();
    def.usesFillWindingRule = (flags & 0x04) != 0;
    def.usesNonScalingStrokes = (flags & 0x02) != 0;
    def.usesScalingStrokes = (flags & 0x01) != 0;
  }
  ReadStyleArrays(r, version, def.shape.fillStyles, def.shape.lineStyles, ctx);
  ReadShapeRecords(r, version, true, def.shape.records, ctx);
  if (r.Failed()) return std::nullopt;
  return def;
}

}  // namespace orrivel::swf
