// Real tag bodies taken from published movies (tag header included), wrapped
// in a one-frame movie. Expected values were read off their reference dumps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;
using std::tuple;

std::vector<uint8_t> Vector(const std::string& name) {
  const auto path =
      std::filesystem::path(ORRIVEL_CORPUS_DIR) / "misc/open-flash-db-tags" / name / "input.bytes";
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TagVectors : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(ORRIVEL_CORPUS_DIR))
        << "no corpus at " << ORRIVEL_CORPUS_DIR << " (../shared/corpus)";
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

TEST_F(TagVectors, Shapes) {
  const auto& sq = Character<ShapeDefinition>("define-shape/shape1-squares", 1);
  EXPECT_EQ(sq.bounds, (Rect{3099, 7439, 1700, 5600}));
  EXPECT_EQ(tuple(sq.shape.fillStyles.size(), sq.shape.lineStyles.size(), sq.shape.records.size()),
            tuple(4u, 0u, 27u));
  EXPECT_EQ(sq.shape.fillStyles.at(1).color, (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(Rec<StyleChangeRecord>(sq.shape, 0).moveTo, std::pair(6199, 2850));
  EXPECT_EQ(Rec<StyleChangeRecord>(sq.shape, 0).fillStyle1, 2u);
  EXPECT_EQ(Rec<StraightEdgeRecord>(sq.shape, 2).dy, 2750);
  EXPECT_EQ(Rec<StraightEdgeRecord>(sq.shape, 26).dx, 370);

  const auto& door = Character<ShapeDefinition>("define-shape/shape4-door", 71);
  EXPECT_EQ(door.version, 4);
  EXPECT_EQ(door.edgeBounds, (Rect{-148, 156, -605, -1}));
  EXPECT_TRUE(door.usesScalingStrokes && !door.usesFillWindingRule);
  EXPECT_EQ(
      tuple(door.shape.fillStyles.size(), door.shape.lineStyles.size(), door.shape.records.size()),
      tuple(6u, 4u, 156u));
  EXPECT_EQ(door.shape.fillStyles.at(5).color, (Rgba{107, 83, 71, 255}));
  const LineStyle& line = door.shape.lineStyles.at(0);
  EXPECT_EQ(tuple(line.width, line.color, line.fill.has_value()),
            tuple(20, Rgba{45, 17, 6, 255}, false));
  EXPECT_EQ(Rec<StyleChangeRecord>(door.shape, 0).moveTo, std::pair(55, -60));
  const auto& curve = Rec<CurvedEdgeRecord>(door.shape, 2);
  EXPECT_EQ(tuple(curve.controlDx, curve.controlDy, curve.anchorDx, curve.anchorDy),
            tuple(-5, -30, 0, -43));
}

TEST_F(TagVectors, MorphShapes) {
  const auto& sq =
      Character<MorphShapeDefinition>("define-morph-shape/ms1-morph-rotating-square", 1);
  EXPECT_EQ(sq.endBounds, (Rect{-1600, 1600, -1600, 1600}));
  EXPECT_EQ(sq.start.fillStyles.at(0).color, (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(sq.end.fillStyles.at(0).color, (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(tuple(sq.start.lineStyles.at(0).width, sq.end.lineStyles.at(0).width), tuple(0, 1200));
  EXPECT_EQ(tuple(sq.start.records.size(), sq.end.records.size()), tuple(5u, 5u));
  EXPECT_EQ(Rec<StyleChangeRecord>(sq.end, 0).moveTo, std::pair(0, -1000));
  EXPECT_EQ(Rec<StraightEdgeRecord>(sq.start, 1).dx, 2000);
  EXPECT_EQ(tuple(Rec<StraightEdgeRecord>(sq.end, 4).dx, Rec<StraightEdgeRecord>(sq.end, 4).dy),
            tuple(1000, -1000));

  const auto& u = Character<MorphShapeDefinition>("define-morph-shape/ms2-red-u", 566);
  EXPECT_EQ(u.version, 2);
  EXPECT_EQ(u.startEdgeBounds, (Rect{-268, 272, -531, -242}));
  const FillStyle& s = u.start.fillStyles.at(0);
  const FillStyle& e = u.end.fillStyles.at(0);
  EXPECT_EQ(tuple(s.type, e.type),
            tuple(FillType::FocalRadialGradient, FillType::FocalRadialGradient));
  EXPECT_DOUBLE_EQ(s.gradient.matrix.a, 2369 / 65536.0);
  EXPECT_EQ(tuple(s.gradient.matrix.tx, e.gradient.matrix.tx, e.gradient.matrix.ty),
            tuple(-8, 234, -242));
  ASSERT_EQ(tuple(s.gradient.records.size(), e.gradient.records.size()), tuple(3u, 3u));
  EXPECT_EQ(s.gradient.records[1].ratio, 209);
  EXPECT_EQ(e.gradient.records[1].color, (Rgba{153, 0, 0, 255}));
  // Stored as 8.8: -1 is -1/256.
  EXPECT_EQ(tuple(s.gradient.focalPoint, e.gradient.focalPoint), tuple(-1 / 256.0f, -1 / 256.0f));
  EXPECT_EQ(u.end.lineStyles.at(0).color, (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(Rec<CurvedEdgeRecord>(u.start, 1).controlDy, -111);
}

TEST_F(TagVectors, PlaceObjectsWithClipActionsAndFilters) {
  // Flag combinations are covered field by field in place_object_test.
  const auto& po1 = Placed("place-object/po1-with-color-transform");
  EXPECT_EQ(tuple(po1.version, po1.characterId), tuple(1, std::optional<uint16_t>(42)));
  EXPECT_EQ(po1.colorTransform, (ColorTransform{256, 256, 256, 256, 175, 65, -15, 0}));
  const auto& swf5 = Placed("place-object/po2-swf5", 5);
  EXPECT_EQ(tuple(swf5.depth, swf5.matrix->tx, swf5.matrix->ty), tuple(64, -4586, 2950));
  ASSERT_EQ(swf5.clipActionRecords.size(), 1u);
  EXPECT_EQ(swf5.clipActionRecords[0].events, 0x0001u);  // load, with SWF 5's 16-bit flags
  const auto& actions = swf5.clipActionRecords[0].actions;
  ASSERT_GE(actions.size(), 4u);
  EXPECT_EQ(tuple(actions.front(), actions.back()), tuple(0x96, 0x00));  // push ... end

  const auto& po3 = Placed("place-object/po3-update-depth-1");
  EXPECT_EQ(tuple(po3.version, po3.move, po3.characterId.has_value(), po3.hasFilters),
            tuple(3, true, false, true));
  EXPECT_EQ(po3.matrix, (Matrix{-1, 11014 / 65536.0, 0, -1, 14, -11}));
}

TEST_F(TagVectors, BitmapsButtonsAndSprites) {
  const auto& bmp = Character<BitmapDefinition>("define-bitmap/swfll2-heart", 3884);
  EXPECT_EQ(tuple(bmp.kind, bmp.losslessFormat, bmp.width, bmp.height, bmp.zlibData.at(0)),
            tuple(BitmapKind::Lossless2, 5, 19, 17, 0x78));

  const auto& b1 = Character<ButtonDefinition>(
      "define-button/button1-state-up-reduced-height-action-play", 2356);
  ASSERT_EQ(b1.records.size(), 2u);
  EXPECT_EQ(tuple(b1.records[0].stateUp, b1.records[0].stateOver, b1.records[1].stateHitTest),
            tuple(true, false, true));
  EXPECT_EQ(b1.records[0].characterId, 3755);
  EXPECT_DOUBLE_EQ(b1.records[0].matrix.d, 23475 / 65536.0);
  ASSERT_EQ(b1.actions.size(), 1u);
  EXPECT_EQ(b1.actions[0].actions, (std::vector<uint8_t>{0x06, 0x00}));
  const auto& b2 =
      Character<ButtonDefinition>("define-button/button2-state-up-reduced-height", 3756);
  ASSERT_EQ(b2.records.size(), 2u);
  EXPECT_TRUE(b2.records[1].stateOver && b2.records[1].stateDown && b2.records[1].stateHitTest);
  EXPECT_TRUE(b2.records[0].colorTransform.IsIdentity() && b2.actions.empty());

  const auto& sprite = Character<SpriteDefinition>("define-sprite/small-sprite-with-avm1-stop", 12);
  EXPECT_EQ(sprite.timeline.declaredFrameCount, 12);
  const auto& second = std::get<PlaceObject>(sprite.timeline.frames.at(1).tags.at(0));
  EXPECT_EQ(tuple(second.move, second.characterId), tuple(true, std::optional<uint16_t>(2)));
}

TEST_F(TagVectors, Fonts) {
  struct Case {
    const char* name;
    uint16_t id;
    int version;
    const char* fontName;
    size_t glyphs;
    size_t glyphRecords;                    // of glyph 1
    std::pair<int32_t, int32_t> glyphMove;  // of glyph 1
    std::vector<uint16_t> codes;            // first three
  };
  const Case cases[] = {
      {"define-font/df2-alba", 30, 2, "Alba", 16, 16, {177, -408}, {32, 60, 62}},
      {"define-font/df3-hello-world", 1, 3, "Times New Roman", 11, 19, {3600, -3590}, {32, 33, 44}},
      {"define-font/df3-system-font-verdana", 3775, 3, "Verdana", 0, 0, {}, {}},
      {"define-glyph-font/comic-sans-ms", 58, 1, "", 12, 38, {555, -641}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto& font = Character<FontDefinition>(c.name, c.id);
    EXPECT_EQ(tuple(font.version, font.name, font.hasLayout), tuple(c.version, c.fontName, false));
    ASSERT_EQ(font.glyphs.size(), c.glyphs);
    if (c.glyphs == 0) continue;
    EXPECT_EQ(font.glyphs[0].records.empty(), c.version != 1);  // a space, or not
    ASSERT_EQ(font.glyphs[1].records.size(), c.glyphRecords);
    EXPECT_EQ(std::get<StyleChangeRecord>(font.glyphs[1].records[0]).moveTo, c.glyphMove);
    ASSERT_GE(font.codes.size(), c.codes.size());
    EXPECT_TRUE(std::equal(c.codes.begin(), c.codes.end(), font.codes.begin()));
  }
}

TEST_F(TagVectors, Texts) {
  const auto& t1 = Character<TextDefinition>("define-text/text1-hello-world", 2);
  EXPECT_EQ(t1.bounds, (Rect{10, 3710, 78, 655}));
  ASSERT_EQ(t1.records.size(), 1u);
  const TextRecord& r1 = t1.records[0];
  EXPECT_EQ(tuple(r1.color, r1.yOffset, r1.height), tuple(Rgba{0, 0, 255, 255}, 540, 600));
  ASSERT_EQ(r1.glyphs.size(), 13u);
  EXPECT_EQ(tuple(r1.glyphs[12].index, r1.glyphs[12].advance), tuple(1u, 200));

  const auto& t2 = Character<TextDefinition>("define-text/text2-www-free-flash-animations-com", 12);
  ASSERT_EQ(t2.records.size(), 1u);
  const TextRecord& r2 = t2.records[0];
  EXPECT_EQ(tuple(t2.version, r2.color, r2.xOffset, r2.glyphs.size()),
            tuple(2, Rgba{255, 255, 204, 140}, std::optional<int16_t>(-2274), 28u));

  const auto& e = Character<EditTextDefinition>("define-dynamic-text/start", 3836);
  EXPECT_EQ(e.bounds, (Rect{662, 1570, -40, 258}));
  EXPECT_TRUE(e.readOnly && e.noSelect && !e.useOutlines && !e.html && !e.wordWrap);
  EXPECT_EQ(tuple(e.fontId, e.fontHeight, e.color, e.align, e.leading, e.initialText),
            tuple(3805, 180, Rgba{255, 255, 255, 255}, TextAlign::Center, 40, "START"));
}

// Inputs that the reference parser rejects: each must be dropped on its own.
TEST_F(TagVectors, BrokenBodiesAreDroppedCleanly) {
  for (const char* name :
       {"invalid-cap-style", "missing-morph-shape-end-record", "invalid-gradient-flags",
        "invalid-morph-gradient", "incomplete-bits-lossless"}) {
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
