// DefineShape parsing from hand-written bytes.
#include <gtest/gtest.h>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;

const ShapeDefinition* LoadShape(const std::vector<uint8_t>& tag, LoadResult& holder) {
  holder = Load(Fws(8, Cat({tag, Tag(tag::kShowFrame, {})})));
  if (!holder.movie) return nullptr;
  const auto it = holder.movie->characters.find(1);
  if (it == holder.movie->characters.end()) return nullptr;
  return std::get_if<ShapeDefinition>(&it->second);
}

TEST(Shape, StyleChangeStraightAndCurvedEdgesWithNewStyles) {
  SwfWriter w;
  w.U16(1).Rect(12, -100, 1000, 0, 2000);
  w.U8(1).U8(0x00).Rgb(255, 0, 0);             // fills: solid red
  w.U8(1).U16(40).Rgb(0, 0, 255);              // lines: 2 px blue
  w.Bits(4, 1).Bits(4, 1);                     // NumFillBits, NumLineBits
  // Style change: moveTo(-100, 0), fill1 = 1, line = 1.
  w.Bits(1, 0).Flag(false).Flag(true).Flag(true).Flag(false).Flag(true)
      .Bits(5, 8).Bits(8, -100).Bits(8, 0).Bits(1, 1).Bits(1, 1);
  w.Bits(1, 1).Flag(true).Bits(4, 9).Flag(true).Bits(11, 1000).Bits(11, -5);  // general line
  w.Bits(1, 1).Flag(true).Bits(4, 2).Flag(false).Flag(true).Bits(4, -8);      // vertical line
  w.Bits(1, 1).Flag(true).Bits(4, 2).Flag(false).Flag(false).Bits(4, 7);      // horizontal line
  w.Bits(1, 1).Flag(false).Bits(4, 3)                                         // curve
      .Bits(5, 10).Bits(5, -10).Bits(5, 15).Bits(5, -16);
  // Style change with new styles: the arrays start on a byte boundary.
  w.Bits(1, 0).Flag(true).Flag(false).Flag(false).Flag(false).Flag(false).Align();
  w.U8(2).U8(0x00).Rgb(1, 1, 1).U8(0x00).Rgb(2, 2, 2).U8(0);
  w.Bits(4, 2).Bits(4, 0);
  w.Bits(1, 0).Flag(false).Flag(false).Flag(false).Flag(true).Flag(false).Bits(2, 2);  // fill0 = 2
  w.Bits(6, 0);                                                                       // end
  LoadResult holder;
  const auto* def = LoadShape(Tag(tag::kDefineShape2, w.Take()), holder);
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->version, 2);
  EXPECT_EQ(def->bounds, (Rect{-100, 1000, 0, 2000}));
  ASSERT_EQ(def->shape.fillStyles.size(), 1u);
  EXPECT_EQ(def->shape.fillStyles[0].color, (Rgba{255, 0, 0, 255}));
  ASSERT_EQ(def->shape.lineStyles.size(), 1u);
  EXPECT_EQ(def->shape.lineStyles[0].width, 40);

  const auto& recs = def->shape.records;
  ASSERT_EQ(recs.size(), 7u);
  const auto& move = std::get<StyleChangeRecord>(recs[0]);
  EXPECT_EQ(move.moveTo, std::make_pair(-100, 0));
  EXPECT_FALSE(move.fillStyle0);
  EXPECT_EQ(move.fillStyle1, 1u);
  EXPECT_EQ(move.lineStyle, 1u);
  EXPECT_EQ(std::get<StraightEdgeRecord>(recs[1]).dx, 1000);
  EXPECT_EQ(std::get<StraightEdgeRecord>(recs[1]).dy, -5);
  EXPECT_EQ(std::get<StraightEdgeRecord>(recs[2]).dy, -8);
  EXPECT_EQ(std::get<StraightEdgeRecord>(recs[2]).dx, 0);
  EXPECT_EQ(std::get<StraightEdgeRecord>(recs[3]).dx, 7);
  const auto& curve = std::get<CurvedEdgeRecord>(recs[4]);
  EXPECT_EQ(curve.controlDx, 10);
  EXPECT_EQ(curve.controlDy, -10);
  EXPECT_EQ(curve.anchorDx, 15);
  EXPECT_EQ(curve.anchorDy, -16);
  const auto& restyle = std::get<StyleChangeRecord>(recs[5]);
  ASSERT_TRUE(restyle.newFillStyles);
  ASSERT_EQ(restyle.newFillStyles->size(), 2u);
  EXPECT_EQ((*restyle.newFillStyles)[1].color, (Rgba{2, 2, 2, 255}));
  EXPECT_TRUE(restyle.newLineStyles && restyle.newLineStyles->empty());
  EXPECT_EQ(std::get<StyleChangeRecord>(recs[6]).fillStyle0, 2u);  // read with the new 2-bit width
}

TEST(Shape, Shape4WithLineStyle2AndFocalGradient) {
  SwfWriter w;
  w.U16(1).Rect(10, 0, 400, 0, 400).Rect(10, 10, 390, 10, 390);
  w.U8(0b0000'0101);  // fill winding rule, scaling strokes
  // One focal gradient fill, reflect spread, linear-RGB, two stops.
  w.U8(1).U8(0x13).Translate(10, 200, 200);
  w.Bits(2, 1).Bits(2, 1).Bits(4, 2).U8(0).Rgba(255, 0, 0, 128).U8(255).Rgba(0, 0, 255, 255);
  w.U16(static_cast<uint16_t>(-128));  // focal point -0.5 (8.8)
  // Two LINESTYLE2: square caps with miter join and a fill; none caps + colour.
  w.U8(2);
  w.U16(100).Bits(2, 2).Bits(2, 2).Flag(true).Flag(true).Flag(false).Flag(true)
      .Bits(5, 0).Flag(true).Bits(2, 1);
  w.U16(0x0280);  // miter limit 2.5
  w.U8(0x00).Rgba(9, 8, 7, 6);
  w.U16(20).Bits(2, 1).Bits(2, 1).Flag(false).Bits(3, 0).Bits(5, 0).Flag(false).Bits(2, 1)
      .Rgba(1, 2, 3, 4);
  w.Bits(4, 0).Bits(4, 0).Bits(6, 0);  // no records
  LoadResult holder;
  const auto* def = LoadShape(Tag(tag::kDefineShape4, w.Take()), holder);
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->edgeBounds, (Rect{10, 390, 10, 390}));
  EXPECT_TRUE(def->usesFillWindingRule);
  EXPECT_TRUE(def->usesScalingStrokes);
  EXPECT_FALSE(def->usesNonScalingStrokes);

  const Gradient& g = def->shape.fillStyles.at(0).gradient;
  EXPECT_EQ(def->shape.fillStyles[0].type, FillType::FocalRadialGradient);
  EXPECT_EQ(g.spread, SpreadMode::Reflect);
  EXPECT_EQ(g.interpolation, InterpolationMode::LinearRgb);
  ASSERT_EQ(g.records.size(), 2u);
  EXPECT_EQ(g.records[0].color, (Rgba{255, 0, 0, 128}));
  EXPECT_EQ(g.records[1].ratio, 255);
  EXPECT_FLOAT_EQ(g.focalPoint, -0.5f);
  EXPECT_EQ(g.matrix.tx, 200);

  const LineStyle& a = def->shape.lineStyles.at(0);
  EXPECT_EQ(a.startCap, CapStyle::Square);
  EXPECT_EQ(a.join, JoinStyle::Miter);
  EXPECT_FLOAT_EQ(a.miterLimit, 2.5f);
  EXPECT_TRUE(a.noHScale);
  EXPECT_FALSE(a.noVScale);
  EXPECT_TRUE(a.pixelHinting);
  EXPECT_TRUE(a.noClose);
  EXPECT_EQ(a.endCap, CapStyle::None);
  ASSERT_TRUE(a.fill);
  EXPECT_EQ(a.fill->color, (Rgba{9, 8, 7, 6}));
  const LineStyle& b = def->shape.lineStyles.at(1);
  EXPECT_EQ(b.join, JoinStyle::Bevel);
  EXPECT_FALSE(b.fill);
  EXPECT_EQ(b.color, (Rgba{1, 2, 3, 4}));
}

struct BrokenShapeCase {
  const char* name;
  uint16_t code;
  std::vector<uint8_t> body;
};

class BrokenShapes : public ::testing::TestWithParam<BrokenShapeCase> {};

// A broken shape is dropped; the movie still loads.
TEST_P(BrokenShapes, AreDropped) {
  LoadResult holder;
  EXPECT_EQ(LoadShape(Tag(GetParam().code, GetParam().body), holder), nullptr);
  ASSERT_TRUE(holder.movie);
  EXPECT_TRUE(holder.movie->tags.at(0).damaged);
}

INSTANTIATE_TEST_SUITE_P(
    All, BrokenShapes,
    ::testing::Values(
        BrokenShapeCase{"no_end_record", tag::kDefineShape,
                        SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(0).U8(0).U8(0x00).Take()},
        BrokenShapeCase{"unknown_fill_type", tag::kDefineShape,
                        SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(1).U8(0x77).Take()},
        BrokenShapeCase{"style_count_past_tag", tag::kDefineShape3,
                        SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(0xFF).U16(60000).U8(0).Take()},
        BrokenShapeCase{"reserved_spread_mode", tag::kDefineShape3,
                        SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(1).U8(0x10).Translate(0, 0, 0)
                            .U8(0xC0).U8(0).U8(0).Take()},
        BrokenShapeCase{"reserved_cap_style", tag::kDefineShape4,
                        SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).Rect(1, 0, 0, 0, 0).U8(0).U8(0)
                            .U8(1).U16(20).U8(0xC0).U8(0).Rgba(0, 0, 0, 0).U8(0).U8(0).Take()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shape, RecordCapStopsHugeShapes) {
  SwfWriter w;
  w.U16(1).Rect(0, 0, 0, 0, 0).U8(0).U8(0).Bits(4, 0).Bits(4, 0);
  for (int i = 0; i < 100; ++i) w.Bits(2, 0b11).Bits(4, 0).Bits(2, 0b01).Bits(2, 1);
  w.Bits(6, 0);
  LoadLimits limits;
  limits.maxRecordsPerShape = 50;
  const auto result = Load(Fws(8, Tag(tag::kDefineShape, w.Take())), limits);
  ASSERT_TRUE(result.movie);
  EXPECT_TRUE(result.movie->characters.empty());
}

}  // namespace
}  // namespace orrivel::swf
