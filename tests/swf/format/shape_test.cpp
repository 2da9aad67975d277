// DefineShape parsing from hand-written bytes.
#include <gtest/gtest.h>

#include <tuple>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;
using std::tuple;

const ShapeDefinition* LoadShape(const std::vector<uint8_t>& tag, LoadResult& holder,
                                 const LoadLimits& limits = {}) {
  holder = Load(Fws(8, Cat({tag, Tag(tag::kShowFrame, {})})), limits);
  if (!holder.movie) return nullptr;
  const auto it = holder.movie->characters.find(1);
  if (it == holder.movie->characters.end()) return nullptr;
  return std::get_if<ShapeDefinition>(&it->second);
}

// Edges and plain style changes are checked against published shapes
// (tag_vectors_test); this covers new style arrays in the middle of a shape.
TEST(Shape, NewStylesMidShapeChangeTheIndexWidths) {
  SwfWriter w;
  w.U16(1).Rect(12, -100, 1000, 0, 2000);
  w.U8(1).U8(0x00).Rgb(255, 0, 0);  // fills: solid red
  w.U8(1).U16(40).Rgb(0, 0, 255);   // lines: 2 px blue
  w.Bits(4, 1).Bits(4, 1);          // NumFillBits, NumLineBits
  // Style change: moveTo(-100, 0), fill1 = 1, line = 1; then a general line.
  w.Bits(1, 0)
      .Flag(false)
      .Flag(true)
      .Flag(true)
      .Flag(false)
      .Flag(true)
      .Bits(5, 8)
      .Bits(8, -100)
      .Bits(8, 0)
      .Bits(1, 1)
      .Bits(1, 1);
  w.Bits(1, 1).Flag(true).Bits(4, 9).Flag(true).Bits(11, 1000).Bits(11, -5);
  // Style change with new styles: the arrays start on a byte boundary.
  w.Bits(1, 0).Flag(true).Flag(false).Flag(false).Flag(false).Flag(false).Align();
  w.U8(2).U8(0x00).Rgb(1, 1, 1).U8(0x00).Rgb(2, 2, 2).U8(0);
  w.Bits(4, 2).Bits(4, 0);
  w.Bits(1, 0).Flag(false).Flag(false).Flag(false).Flag(true).Flag(false).Bits(2, 2);  // fill0 = 2
  w.Bits(6, 0);                                                                        // end
  LoadResult holder;
  const auto* def = LoadShape(Tag(tag::kDefineShape2, w.Take()), holder);
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(tuple(def->version, def->bounds), tuple(2, Rect{-100, 1000, 0, 2000}));
  EXPECT_EQ(def->shape.lineStyles.at(0).width, 40);
  const auto& recs = def->shape.records;
  ASSERT_EQ(recs.size(), 4u);
  const auto& move = std::get<StyleChangeRecord>(recs[0]);
  EXPECT_EQ(tuple(move.moveTo, move.fillStyle0, move.fillStyle1, move.lineStyle),
            tuple(std::pair(-100, 0), std::nullopt, 1u, 1u));
  EXPECT_EQ(std::get<StraightEdgeRecord>(recs[1]).dy, -5);
  const auto& restyle = std::get<StyleChangeRecord>(recs[2]);
  ASSERT_TRUE(restyle.newFillStyles && restyle.newLineStyles);
  ASSERT_EQ(restyle.newFillStyles->size(), 2u);
  EXPECT_EQ((*restyle.newFillStyles)[1].color, (Rgba{2, 2, 2, 255}));
  EXPECT_TRUE(restyle.newLineStyles->empty());
  EXPECT_EQ(std::get<StyleChangeRecord>(recs[3]).fillStyle0, 2u);  // read with the new 2-bit width
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
  w.U16(100)
      .Bits(2, 2)
      .Bits(2, 2)
      .Flag(true)
      .Flag(true)
      .Flag(false)
      .Flag(true)
      .Bits(5, 0)
      .Flag(true)
      .Bits(2, 1);
  w.U16(0x0280);  // miter limit 2.5
  w.U8(0x00).Rgba(9, 8, 7, 6);
  w.U16(20).Bits(2, 1).Bits(2, 1).Flag(false).Bits(3, 0).Bits(5, 0).Flag(false).Bits(2, 1).Rgba(
      1, 2, 3, 4);
  w.Bits(4, 0).Bits(4, 0).Bits(6, 0);  // no records
  LoadResult holder;
  const auto* def = LoadShape(Tag(tag::kDefineShape4, w.Take()), holder);
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->edgeBounds, (Rect{10, 390, 10, 390}));
  EXPECT_EQ(tuple(def->usesFillWindingRule, def->usesScalingStrokes, def->usesNonScalingStrokes),
            tuple(true, true, false));

  const Gradient& g = def->shape.fillStyles.at(0).gradient;
  EXPECT_EQ(
      tuple(def->shape.fillStyles[0].type, g.spread, g.interpolation, g.focalPoint, g.matrix.tx),
      tuple(FillType::FocalRadialGradient, SpreadMode::Reflect, InterpolationMode::LinearRgb, -0.5f,
            200));
  ASSERT_EQ(g.records.size(), 2u);
  EXPECT_EQ(tuple(g.records[0].color, g.records[1].ratio), tuple(Rgba{255, 0, 0, 128}, 255));

  const LineStyle& a = def->shape.lineStyles.at(0);
  EXPECT_EQ(tuple(a.startCap, a.join, a.miterLimit, a.endCap),
            tuple(CapStyle::Square, JoinStyle::Miter, 2.5f, CapStyle::None));
  EXPECT_EQ(tuple(a.noHScale, a.noVScale, a.pixelHinting, a.noClose),
            tuple(true, false, true, true));
  ASSERT_TRUE(a.fill);
  EXPECT_EQ(a.fill->color, (Rgba{9, 8, 7, 6}));
  const LineStyle& b = def->shape.lineStyles.at(1);
  EXPECT_EQ(tuple(b.join, b.fill.has_value(), b.color),
            tuple(JoinStyle::Bevel, false, Rgba{1, 2, 3, 4}));
}

// A broken shape is dropped; the movie still loads. (Reserved cap styles
// and spread modes are covered by the published broken tag bodies.)
TEST(Shape, BrokenShapesAreDropped) {
  SwfWriter edges;
  edges.U16(1).Rect(0, 0, 0, 0, 0).U8(0).U8(0).Bits(4, 0).Bits(4, 0);
  for (int i = 0; i < 100; ++i) edges.Bits(2, 0b11).Bits(4, 0).Bits(2, 0b01).Bits(2, 1);
  edges.Bits(6, 0);
  LoadLimits fiftyRecords;
  fiftyRecords.maxRecordsPerShape = 50;
  const struct {
    const char* name;
    std::vector<uint8_t> tag;
    LoadLimits limits;
  } cases[] = {
      {"no_end_record",
       Tag(tag::kDefineShape, SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(0).U8(0).U8(0).Take()),
       {}},
      {"unknown_fill_type",
       Tag(tag::kDefineShape, SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(1).U8(0x77).Take()),
       {}},
      {"style_count_past_tag",
       Tag(tag::kDefineShape3,
           SwfWriter().U16(1).Rect(1, 0, 0, 0, 0).U8(0xFF).U16(60000).U8(0).Take()),
       {}},
      {"over_the_record_cap", Tag(tag::kDefineShape, edges.Take()), fiftyRecords},
  };
  for (const auto& c : cases) {
    LoadResult holder;
    EXPECT_EQ(LoadShape(c.tag, holder, c.limits), nullptr) << c.name;
    ASSERT_TRUE(holder.movie) << c.name;
    EXPECT_TRUE(holder.movie->tags.at(0).damaged) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf
