// PlaceObject2/3 flag combinations and clip actions, written field by field.
#include <gtest/gtest.h>

#include <tuple>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;
using std::tuple;

std::optional<PlaceObject> Place(uint16_t code, const std::vector<uint8_t>& body,
                                 uint8_t version = 10) {
  const auto result = Load(Fws(version, Cat({Tag(code, body), Tag(tag::kShowFrame, {})})));
  if (!result.movie || result.movie->timeline.frames.empty()) return std::nullopt;
  const auto& tags = result.movie->timeline.frames[0].tags;
  if (tags.empty()) return std::nullopt;
  return std::get<PlaceObject>(tags[0]);
}

TEST(PlaceObject2, FlagCombinations) {
  struct Case {
    const char* name;
    std::vector<uint8_t> body;
    void (*check)(const PlaceObject&);
  } cases[] = {
      {"move_only", SwfWriter().U8(0x01).U16(3).Take(),
       [](const PlaceObject& po) {
         EXPECT_TRUE(po.move && po.depth == 3);
         EXPECT_FALSE(po.characterId || po.matrix || po.colorTransform || po.ratio || po.name);
       }},
      {"character_matrix_ratio_name_clip",
       SwfWriter()
           .U8(0x02 | 0x04 | 0x10 | 0x20 | 0x40)
           .U16(7)
           .U16(21)
           .Translate(8, 100, -100)
           .U16(65535)
           .Str("mc")
           .U16(9)
           .Take(),
       [](const PlaceObject& po) {
         EXPECT_EQ(tuple(po.move, po.characterId, po.matrix->tx, po.matrix->ty),
                   tuple(false, 21, 100, -100));
         EXPECT_EQ(tuple(po.ratio, po.name, po.clipDepth), tuple(65535, "mc", 9));
       }},
      {"color_transform_with_alpha",
       SwfWriter()
           .U8(0x01 | 0x08)
           .U16(1)
           .Flag(false)
           .Flag(true)
           .Bits(4, 9)
           .Bits(9, 255)
           .Bits(9, 0)
           .Bits(9, -256)
           .Bits(9, 128)
           .Take(),
       [](const PlaceObject& po) {
         EXPECT_EQ(po.colorTransform, (ColorTransform{255, 0, -256, 128, 0, 0, 0, 0}));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto po = Place(tag::kPlaceObject2, c.body);
    ASSERT_TRUE(po);
    EXPECT_EQ(po->version, 2);
    c.check(*po);
  }
}

TEST(PlaceObject3, FlagCombinations) {
  struct Case {
    const char* name;
    std::vector<uint8_t> body;
    void (*check)(const PlaceObject&);
  } cases[] = {
      {"class_name_filters_blend_cache_visible_background",
       SwfWriter()
           .U8(0x02)
           .U8(0x08 | 0x01 | 0x02 | 0x04 | 0x20 | 0x40)
           .U16(5)
           .Str("Foo")
           .U16(8)
           .U8(1)
           .U8(1)
           .Raw(std::vector<uint8_t>(9, 0))  // one blur filter
           .U8(3)
           .U8(1)
           .U8(0)
           .Rgba(10, 20, 30, 40)
           .Take(),
       [](const PlaceObject& po) {
         EXPECT_EQ(tuple(po.className, po.characterId, po.hasFilters, po.blendMode),
                   tuple("Foo", 8, true, BlendMode::Multiply));
         EXPECT_EQ(tuple(po.cacheAsBitmap, po.visible, po.backgroundColor),
                   tuple(true, false, Rgba{10, 20, 30, 40}));
       }},
      {"image_with_character_has_class_name",
       SwfWriter().U8(0x02).U8(0x10).U16(5).Str("Bmp").U16(8).Take(),
       [](const PlaceObject& po) {
         EXPECT_EQ(tuple(po.className, po.characterId), tuple("Bmp", 8));
       }},
      {"blend_values_out_of_range_are_normal", SwfWriter().U8(0x01).U8(0x02).U16(5).U8(200).Take(),
       [](const PlaceObject& po) { EXPECT_EQ(po.blendMode, BlendMode::Normal); }},
      {"unknown_filter_keeps_the_placement",
       SwfWriter().U8(0x02).U8(0x01 | 0x02).U16(5).U16(8).U8(1).U8(42).U8(3).Take(),
       [](const PlaceObject& po) {
         EXPECT_EQ(tuple(po.characterId, po.hasFilters, po.blendMode),
                   tuple(8, true, std::nullopt));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto po = Place(tag::kPlaceObject3, c.body);
    ASSERT_TRUE(po);
    EXPECT_EQ(po->version, 3);
    c.check(*po);
  }
}

TEST(PlaceObject2, ClipEventFlagWidthFollowsSwfVersion) {
  auto clip = [](bool wide) {
    SwfWriter w;
    w.U8(0x80 | 0x02).U16(1).U16(4).U16(0);  // clip actions, character 4, reserved
    auto flags = [&](uint32_t f) -> SwfWriter& { return wide ? w.U32(f) : w.U16(f); };
    flags(0x20001);                                  // all events
    flags(0x20000).U32(3).U8(65).Raw({0x07, 0x00});  // keyPress 'A': stop
    flags(0x1).U32(1).U8(0x00);                      // load: empty
    flags(0);
    return w.Take();
  };
  const auto v6 = Place(tag::kPlaceObject2, clip(true), 6);
  ASSERT_TRUE(v6);
  ASSERT_EQ(v6->clipActionRecords.size(), 2u);
  const ClipAction& key = v6->clipActionRecords[0];
  EXPECT_EQ(tuple(key.events, key.keyCode, key.actions),
            tuple(0x20000u, 65, std::vector<uint8_t>{0x07, 0x00}));
  EXPECT_EQ(v6->clipActionRecords[1].events, 0x1u);

  // Under SWF 5 the same stream must be read with 16-bit flags: written with
  // 16-bit flags it parses; the keyPress bit does not exist there.
  SwfWriter w5;
  w5.U8(0x80 | 0x02).U16(1).U16(4).U16(0).U16(0x0001).U16(0x0001).U32(1).U8(0).U16(0);
  const auto v5 = Place(tag::kPlaceObject2, w5.Take(), 5);
  ASSERT_TRUE(v5);
  ASSERT_EQ(v5->clipActionRecords.size(), 1u);
  EXPECT_EQ(v5->clipActionRecords[0].actions, (std::vector<uint8_t>{0}));
}

TEST(PlaceObject, TruncatedCoreFieldsDropTheTag) {
  // Says it has a matrix, which is missing.
  EXPECT_FALSE(Place(tag::kPlaceObject2, SwfWriter().U8(0x04).U16(1).Take()));
  EXPECT_FALSE(Place(tag::kPlaceObject, SwfWriter().U16(1).Take()));
  // PlaceObject (1) without the optional colour transform.
  const auto po1 = Place(tag::kPlaceObject, SwfWriter().U16(2).U16(3).Translate(5, 4, 4).Take());
  ASSERT_TRUE(po1);
  EXPECT_FALSE(po1->colorTransform);
}

}  // namespace
}  // namespace orrivel::swf
