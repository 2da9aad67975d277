// DefineShape 1-4: style arrays and shape records.
#include "swf/format/shape_reader.h"

#include <algorithm>

namespace orrivel::swf {
namespace {

// Fill style type codes.
constexpr uint8_t kSolidFill = 0x00;
constexpr uint8_t kLinearGradient = 0x10;
constexpr uint8_t kRadialGradient = 0x12;
constexpr uint8_t kFocalRadialGradient = 0x13;
constexpr uint8_t kFirstBitmapFill = 0x40;
constexpr uint8_t kLastBitmapFill = 0x43;

constexpr uint8_t kExtendedCount = 0xFF;

// StyleChangeRecord flags.
constexpr uint32_t kStateMoveTo = 0x01;
constexpr uint32_t kStateFillStyle0 = 0x02;
constexpr uint32_t kStateFillStyle1 = 0x04;
constexpr uint32_t kStateLineStyle = 0x08;
constexpr uint32_t kStateNewStyles = 0x10;

bool IsFillTypeValid(uint8_t type) {
  return type == kSolidFill || type == kLinearGradient || type == kRadialGradient ||
         type == kFocalRadialGradient || (type >= kFirstBitmapFill && type <= kLastBitmapFill);
}

CapStyle ReadCap(uint32_t v, ByteReader& r) {
  if (v > 2) r.Fail();
  return static_cast<CapStyle>(std::min<uint32_t>(v, 2));
}

JoinStyle ReadJoin(uint32_t v, ByteReader& r) {
  if (v > 2) r.Fail();
  return static_cast<JoinStyle>(std::min<uint32_t>(v, 2));
}

size_t ReadCount(ByteReader& r, StyleFormat f) {
  size_t n = r.U8();
  if (n == kExtendedCount && f.extendedCount) n = r.U16();
  return n;
}

Rgba ReadColor(ByteReader& r, StyleFormat f) { return f.rgba ? r.RgbaColor() : r.Rgb(); }

// Reads one field into start and, for morphs, again into end.
template <typename Read>
void ReadPair(StyleFormat f, Read read, auto& startField, auto* endField) {
  startField = read();
  if (f.morph) *endField = read();
}

void ReadGradient(ByteReader& r, StyleFormat f, uint8_t type, Gradient& start, Gradient* end,
                  ParseContext& ctx) {
  ReadPair(
      f, [&] { return ReadMatrix(r); }, start.matrix, end ? &end->matrix : nullptr);
  unsigned count = 0;
  {
    BitReader bits(r);
    const uint32_t spread = bits.UB(2);
    const uint32_t interpolation = bits.UB(2);
    count = bits.UB(4);
    if (spread > 2 || interpolation > 1) r.Fail();
    start.spread = static_cast<SpreadMode>(std::min<uint32_t>(spread, 2));
    start.interpolation = static_cast<InterpolationMode>(std::min<uint32_t>(interpolation, 1));
  }
  const unsigned copies = f.morph ? 2 : 1;
  if (!ctx.budget.Take(copies * count * sizeof(GradientRecord))) r.Fail();
  for (unsigned i = 0; i < count && !r.Failed(); ++i) {
    GradientRecord a, b;
    a.ratio = r.U8();
    a.color = ReadColor(r, f);
    if (f.morph) {
      b.ratio = r.U8();
      b.color = ReadColor(r, f);
      end->records.push_back(b);
    }
    start.records.push_back(a);
  }
  if (type == kFocalRadialGradient) {
    ReadPair(
        f, [&] { return std::clamp(r.Fixed8(), -1.0f, 1.0f); }, start.focalPoint,
        end ? &end->focalPoint : nullptr);
  }
  if (end) {
    end->spread = start.spread;
    end->interpolation = start.interpolation;
  }
}

void ReadFill(ByteReader& r, StyleFormat f, FillStyle& start, FillStyle* end, ParseContext& ctx) {
  const uint8_t type = r.U8();
  if (!IsFillTypeValid(type)) {
    r.Fail();
    return;
  }
  start.type = static_cast<FillType>(type);
  if (end) end->type = start.type;
  if (type == kSolidFill) {
    ReadPair(
        f, [&] { return ReadColor(r, f); }, start.color, end ? &end->color : nullptr);
  } else if (type < kFirstBitmapFill) {
    ReadGradient(r, f, type, start.gradient, end ? &end->gradient : nullptr, ctx);
  } else {
    start.bitmapId = r.U16();
    if (end) end->bitmapId = start.bitmapId;
    ReadPair(
        f, [&] { return ReadMatrix(r); }, start.bitmapMatrix, end ? &end->bitmapMatrix : nullptr);
  }
}

void ReadLine(ByteReader& r, StyleFormat f, LineStyle& start, LineStyle* end, ParseContext& ctx) {
  ReadPair(
      f, [&] { return r.U16(); }, start.width, end ? &end->width : nullptr);
  bool hasFill = false;
  if (f.lineStyle2) {
    BitReader bits(r);
    start.startCap = ReadCap(bits.UB(2), r);
    start.join = ReadJoin(bits.UB(2), r);
    hasFill = bits.Flag();
    start.noHScale = bits.Flag();
    start.noVScale = bits.Flag();
    start.pixelHinting = bits.Flag();
    bits.UB(5);
    start.noClose = bits.Flag();
    start.endCap = ReadCap(bits.UB(2), r);
  }
  if (f.lineStyle2 && start.join == JoinStyle::Miter) start.miterLimit = r.U16() / 256.0f;
  if (hasFill) {
    start.fill.emplace();
    if (end) end->fill.emplace();
    ReadFill(r, f, *start.fill, end ? &*end->fill : nullptr, ctx);
  } else {
    ReadPair(
        f, [&] { return ReadColor(r, f); }, start.color, end ? &end->color : nullptr);
  }
  if (!end) return;
  // Only widths, colours and fills morph; the stroke options are shared.
  end->startCap = start.startCap;
  end->endCap = start.endCap;
  end->join = start.join;
  end->miterLimit = start.miterLimit;
  end->noHScale = start.noHScale;
  end->noVScale = start.noVScale;
  end->pixelHinting = start.pixelHinting;
  end->noClose = start.noClose;
}

// Reads a style array: its count, then each style into start (and end).
template <typename Style, typename ReadOne>
void ReadArray(ByteReader& r, StyleFormat f, std::vector<Style>& start, std::vector<Style>* end,
               ParseContext& ctx, ReadOne readOne) {
  const size_t count = ReadCount(r, f);
  if (!ctx.budget.Take((f.morph ? 2 : 1) * count * sizeof(Style))) r.Fail();
  for (size_t i = 0; i < count && !r.Failed(); ++i) {
    Style a, b;
    readOne(a, f.morph ? &b : nullptr);
    start.push_back(std::move(a));
    if (f.morph) end->push_back(std::move(b));
  }
}

}  // namespace

StyleFormat ShapeStyleFormat(int shapeVersion) {
  return {shapeVersion >= 3, shapeVersion >= 4, shapeVersion >= 2, false};
}

StyleFormat MorphStyleFormat(int morphVersion) { return {true, morphVersion >= 2, true, true}; }

void ReadStyleArrays(ByteReader& r, StyleFormat f, std::vector<FillStyle>& fills,
                     std::vector<LineStyle>& lines, ParseContext& ctx,
                     std::vector<FillStyle>* endFills, std::vector<LineStyle>* endLines) {
  ReadArray(r, f, fills, endFills, ctx,
            [&](FillStyle& a, FillStyle* b) { ReadFill(r, f, a, b, ctx); });
  ReadArray(r, f, lines, endLines, ctx,
            [&](LineStyle& a, LineStyle* b) { ReadLine(r, f, a, b, ctx); });
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
        if (flags & kStateMoveTo) {
          const unsigned n = bits.UB(5);
          const int32_t x = bits.SB(n);
          const int32_t y = bits.SB(n);
          sc.moveTo = std::make_pair(x, y);
        }
        if (flags & kStateFillStyle0) sc.fillStyle0 = bits.UB(fillBits);
        if (flags & kStateFillStyle1) sc.fillStyle1 = bits.UB(fillBits);
        if (flags & kStateLineStyle) sc.lineStyle = bits.UB(lineBits);
        if ((flags & kStateNewStyles) && allowNewStyles) {
          withNewStyles = std::move(sc);
          break;  // new styles start on a byte boundary
        }
        out.emplace_back(std::move(sc));
      }
    }
    withNewStyles.newFillStyles.emplace();
    withNewStyles.newLineStyles.emplace();
    ReadStyleArrays(r, ShapeStyleFormat(version), *withNewStyles.newFillStyles,
                    *withNewStyles.newLineStyles, ctx);
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
    def.usesFillWindingRule = (flags & kUsesFillWindingRule) != 0;
    def.usesNonScalingStrokes = (flags & kUsesNonScalingStrokes) != 0;
    def.usesScalingStrokes = (flags & kUsesScalingStrokes) != 0;
  }
  ReadStyleArrays(r, ShapeStyleFormat(version), def.shape.fillStyles, def.shape.lineStyles, ctx);
  ReadShapeRecords(r, version, true, def.shape.records, ctx);
  if (r.Failed()) return std::nullopt;
  return def;
}

}  // namespace orrivel::swf
