// Real tag bodies taken from published movies (tag header included), wrapped
// in a one-frame movie. Expected values were read off their reference dumps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;

std::vector<uint8_t> Vector(const std::string& name) {
  const auto path = std::filesystem::path(ORRIVEL_CORPUS_DIR) / "misc/open-flash-db-tags" / name /
                    "input.bytes";
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TagVectors : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(ORRIVEL_CORPUS_DIR)) GTEST_SKIP() << "no corpus";
  }
  const Movie& LoadVector(const std::string& name, uint8_t version = 10) {
    const auto tag = Vector(name);
    EXPECT_FALSE(tag.empty()) << name;
    result_ = Load(Fws(version, Cat({tag, Tag(tag::kShowFrame, {})})));
    EXPECT_TRUE(result_.movie) << result_.message;
    if (!result_.movie) result_.movie = std::make_unique<Movie>();
    for (const auto& t : result_.movie->tags) EXPECT_FALSE(t.damaged) << name;
    return *result_.movie;
  }
  template <typename T>
  const T& Character(const std::string& name, uint16_t id, uint8_t version = 10) {
    const Movie& m = LoadVector(name, version);
    static const T empty{};
    const auto it = m.characters.find(id);
    if (it == m.characters.end() || !std::holds_alternative<T>(it->second)) {
      ADD_FAILURE() << name << ": no character " << id;
      return empty;
    }
    return std::get<T>(it->second);
  }
  const PlaceObject& Placed(const std::string& name, uint8_t version = 10) {
    const Movie& m = LoadVector(name, version);
    static const PlaceObject empty{};
    if (m.timeline.frames.empty() || m.timeline.frames[0].tags.empty()) {
      ADD_FAILURE() << name << ": nothing placed";
      return empty;
    }
    return std::get<PlaceObject>(m.timeline.frames[0].tags[0]);
  }

  LoadResult result_;
};

template <typename T>
const T& Rec(const Shape& s, size_t i) {
  return std::get<T>(s.records.at(i));
}

TEST_F(TagVectors, Shape1Squares) {
  const auto& def = Character<ShapeDefinition>("define-shape/shape1-squares", 1);
  EXPECT_EQ(def.bounds, (Rect{3099, 7439, 1700, 5600}));
  ASSERT_EQ(def.shape.fillStyles.size(), 4u);
  EXPECT_EQ(def.shape.fillStyles[1].color, (Rgba{0, 0, 255, 255}));
  EXPECT_TRUE(def.shape.lineStyles.empty());
  ASSERT_EQ(def.shape.records.size(), 27u);
  const auto& first = Rec<StyleChangeRecord>(def.shape, 0);
  EXPECT_EQ(first.moveTo, std::make_pair(6199, 2850));
  EXPECT_EQ(first.fillStyle1, 2u);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.shape, 1).dx, 1240);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.shape, 2).dy, 2750);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.shape, 26).dx, 370);
}

TEST_F(TagVectors, Shape4Door) {
  const auto& def = Character<ShapeDefinition>("define-shape/shape4-door", 71);
  EXPECT_EQ(def.version, 4);
  EXPECT_EQ(def.bounds, (Rect{-148, 156, -615, 9}));
  EXPECT_EQ(def.edgeBounds, (Rect{-148, 156, -605, -1}));
  EXPECT_TRUE(def.usesScalingStrokes);
  EXPECT_FALSE(def.usesFillWindingRule);
  ASSERT_EQ(def.shape.fillStyles.size(), 6u);
  EXPECT_EQ(def.shape.fillStyles[5].color, (Rgba{107, 83, 71, 255}));
  ASSERT_EQ(def.shape.lineStyles.size(), 4u);
  const LineStyle& line = def.shape.lineStyles[0];
  EXPECT_EQ(line.width, 20);
  EXPECT_FALSE(line.fill);  // a plain colour, not a fill style
  EXPECT_EQ(line.color, (Rgba{45, 17, 6, 255}));
  ASSERT_EQ(def.shape.records.size(), 156u);
  const auto& first = Rec<StyleChangeRecord>(def.shape, 0);
  EXPECT_EQ(first.moveTo, std::make_pair(55, -60));
  EXPECT_EQ(first.fillStyle0, 1u);
  EXPECT_EQ(first.fillStyle1, 2u);
  const auto& curve = Rec<CurvedEdgeRecord>(def.shape, 2);
  EXPECT_EQ(curve.controlDx, -5);
  EXPECT_EQ(curve.controlDy, -30);
  EXPECT_EQ(curve.controlDx + curve.anchorDx, -5);
  EXPECT_EQ(curve.controlDy + curve.anchorDy, -73);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.shape, 155).dx, 58);
}

TEST_F(TagVectors, MorphShape1RotatingSquare) {
  const auto& def = Character<MorphShapeDefinition>("define-morph-shape/ms1-morph-rotating-square", 1);
  EXPECT_EQ(def.startBounds, (Rect{-1000, 1000, -1000, 1000}));
  EXPECT_EQ(def.endBounds, (Rect{-1600, 1600, -1600, 1600}));
  ASSERT_EQ(def.start.fillStyles.size(), 1u);
  ASSERT_EQ(def.end.fillStyles.size(), 1u);
  EXPECT_EQ(def.start.fillStyles[0].color, (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(def.end.fillStyles[0].color, (Rgba{0, 0, 255, 255}));
  ASSERT_EQ(def.start.lineStyles.size(), 1u);
  EXPECT_EQ(def.start.lineStyles[0].width, 0);
  EXPECT_EQ(def.end.lineStyles[0].width, 1200);
  ASSERT_EQ(def.start.records.size(), 5u);
  ASSERT_EQ(def.end.records.size(), 5u);
  EXPECT_EQ(Rec<StyleChangeRecord>(def.start, 0).moveTo, std::make_pair(-1000, -1000));
  EXPECT_EQ(Rec<StyleChangeRecord>(def.start, 0).fillStyle0, 1u);
  EXPECT_EQ(Rec<StyleChangeRecord>(def.start, 0).lineStyle, 1u);
  EXPECT_EQ(Rec<StyleChangeRecord>(def.end, 0).moveTo, std::make_pair(0, -1000));
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.start, 1).dx, 2000);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.end, 1).dx, 1000);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.end, 1).dy, 1000);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.end, 4).dx, 1000);
  EXPECT_EQ(Rec<StraightEdgeRecord>(def.end, 4).dy, -1000);
}

TEST_F(TagVectors, MorphShape2FocalGradient) {
  const auto& def = Character<MorphShapeDefinition>("define-morph-shape/ms2-red-u", 566);
  EXPECT_EQ(def.version, 2);
  EXPECT_EQ(def.startEdgeBounds, (Rect{-268, 272, -531, -242}));
  EXPECT_TRUE(def.usesScalingStrokes);
  const FillStyle& s = def.start.fillStyles.at(0);
  const FillStyle& e = def.end.fillStyles.at(0);
  EXPECT_EQ(s.type, FillType::FocalRadialGradient);
  EXPECT_EQ(e.type, FillType::FocalRadialGradient);
  EXPECT_DOUBLE_EQ(s.gradient.matrix.a, 2369 / 65536.0);
  EXPECT_EQ(s.gradient.matrix.tx, -8);
  EXPECT_EQ(e.gradient.matrix.tx, 234);
  EXPECT_EQ(e.gradient.matrix.ty, -242);
  ASSERT_EQ(s.gradient.records.size(), 3u);
  ASSERT_EQ(e.gradient.records.size(), 3u);
  EXPECT_EQ(s.gradient.records[1].ratio, 209);
  EXPECT_EQ(e.gradient.records[1].color, (Rgba{153, 0, 0, 255}));
  EXPECT_FLOAT_EQ(s.gradient.focalPoint, -1 / 256.0f);  // stored as 8.8: -1 is -1/256
  EXPECT_FLOAT_EQ(e.gradient.focalPoint, -1 / 256.0f);
  EXPECT_EQ(def.start.lineStyles.at(0).color, (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(def.end.lineStyles.at(0).color, (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(def.start.records.size(), 15u);
  const auto& curve = Rec<CurvedEdgeRecord>(def.start, 1);
  EXPECT_EQ(curve.controlDy, -111);
  EXPECT_EQ(curve.controlDx + curve.anchorDx, 79);
}

TEST_F(TagVectors, PlaceObject1WithColorTransform) {
  const auto& po = Placed("place-object/po1-with-color-transform");
  EXPECT_EQ(po.version, 1);
  EXPECT_EQ(po.depth, 1);
  EXPECT_EQ(po.characterId, 42);
  EXPECT_EQ(po.matrix, Matrix{});
  EXPECT_EQ(po.colorTransform, (ColorTransform{256, 256, 256, 256, 175, 65, -15, 0}));
}

TEST_F(TagVectors, PlaceObject2Place) {
  const auto& po = Placed("place-object/po2-place-id-1");
  EXPECT_FALSE(po.move);
  EXPECT_EQ(po.depth, 2);
  EXPECT_EQ(po.characterId, 1);
  EXPECT_EQ(po.matrix, Matrix{});
  EXPECT_FALSE(po.colorTransform);
}

TEST_F(TagVectors, PlaceObject2ClipActionsWithSwf5EventFlags) {
  const auto& po = Placed("place-object/po2-swf5", 5);
  EXPECT_EQ(po.depth, 64);
  EXPECT_EQ(po.characterId, 82);
  EXPECT_EQ(po.matrix->tx, -4586);
  EXPECT_EQ(po.matrix->ty, 2950);
  ASSERT_TRUE(po.hasClipActions);
  ASSERT_EQ(po.clipActionRecords.size(), 1u);
  EXPECT_EQ(po.clipActionRecords[0].events, 0x0001u);  // load
  const auto& actions = po.clipActionRecords[0].actions;
  ASSERT_GE(actions.size(), 4u);
  EXPECT_EQ(actions[0], 0x96);  // push
  EXPECT_EQ(actions.back(), 0x00);
}

TEST_F(TagVectors, PlaceObject3UpdateWithColorMatrixFilter) {
  const auto& po = Placed("place-object/po3-update-depth-1");
  EXPECT_EQ(po.version, 3);
  EXPECT_TRUE(po.move);
  EXPECT_EQ(po.depth, 1);
  EXPECT_FALSE(po.characterId);
  EXPECT_EQ(po.matrix, (Matrix{-1, 11014 / 65536.0, 0, -1, 14, -11}));
  EXPECT_TRUE(po.hasFilters);
}

TEST_F(TagVectors, Lossless2Heart) {
  const auto& bmp = Character<BitmapDefinition>("define-bitmap/swfll2-heart", 3884);
  EXPECT_EQ(bmp.kind, BitmapKind::Lossless2);
  EXPECT_EQ(bmp.losslessFormat, 5);
  EXPECT_EQ(bmp.width, 19);
  EXPECT_EQ(bmp.height, 17);
  ASSERT_GE(bmp.zlibData.size(), 2u);
  EXPECT_EQ(bmp.zlibData[0], 0x78);
}

TEST_F(TagVectors, Buttons) {
  const auto& b1 = Character<ButtonDefinition>(
      "define-button/button1-state-up-reduced-height-action-play", 2356);
  EXPECT_EQ(b1.version, 1);
  ASSERT_EQ(b1.records.size(), 2u);
  EXPECT_TRUE(b1.records[0].stateUp);
  EXPECT_FALSE(b1.records[0].stateOver);
  EXPECT_EQ(b1.records[0].characterId, 3755);
  EXPECT_DOUBLE_EQ(b1.records[0].matrix.d, 23475 / 65536.0);
  EXPECT_TRUE(b1.records[1].stateHitTest);
  ASSERT_EQ(b1.actions.size(), 1u);
  EXPECT_EQ(b1.actions[0].actions, (std::vector<uint8_t>{0x06, 0x00}));

  const auto& b2 = Character<ButtonDefinition>("define-button/button2-state-up-reduced-height", 3756);
  EXPECT_EQ(b2.version, 2);
  ASSERT_EQ(b2.records.size(), 2u);
  EXPECT_TRUE(b2.records[1].stateOver && b2.records[1].stateDown && b2.records[1].stateHitTest);
  EXPECT_TRUE(b2.records[0].colorTransform.IsIdentity());
  EXPECT_TRUE(b2.actions.empty());
}

TEST_F(TagVectors, SpriteWithStop) {
  const auto& sprite = Character<SpriteDefinition>("define-sprite/small-sprite-with-avm1-stop", 12);
  EXPECT_EQ(sprite.timeline.declaredFrameCount, 12);
  ASSERT_GE(sprite.timeline.frames.size(), 2u);
  const auto& second = std::get<PlaceObject>(sprite.timeline.frames[1].tags.at(0));
  EXPECT_TRUE(second.move);
  EXPECT_EQ(second.characterId, 2);
}

// Inputs that the reference parser rejects: each must be dropped on its own.
TEST_F(TagVectors, BrokenBodiesAreDroppedCleanly) {
  for (const char* name : {"invalid-cap-style", "missing-morph-shape-end-record",
                           "invalid-gradient-flags", "invalid-morph-gradient",
                           "incomplete-bits-lossless"}) {
    const auto tag = Vector(std::string("raw-body/") + name);
    const auto result = Load(Fws(10, Cat({tag, Tag(tag::kShowFrame, {})})));
    ASSERT_TRUE(result.movie) << name;
    EXPECT_TRUE(result.movie->characters.empty()) << name;
    ASSERT_FALSE(result.movie->tags.empty());
    EXPECT_TRUE(result.movie->tags[0].damaged) << name;
  }
}

}  // namespace
}  // namespace orrivel::swf
