// Bitmap tags and the standalone JPEG rebuild.
#include <gtest/gtest.h>

#include <tuple>

#include "swf/format/jpeg_stream.h"
#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;
using std::tuple;

// Small marker segments, enough to tell them apart.
const Bytes kDqt = {0xFF, 0xDB, 0x00, 0x03, 0x11};
const Bytes kDht = {0xFF, 0xC4, 0x00, 0x03, 0x22};
const Bytes kSof = {0xFF, 0xC0, 0x00, 0x03, 0x33};
// SOS header, then scan data holding a stuffed FF 00 and a restart marker.
const Bytes kScan = {0xFF, 0xDA, 0x00, 0x03, 0x44, 0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56};
const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

TEST(StandaloneJpeg, Rebuilds) {
  const Bytes clean = Cat({kSoi, kDqt, kDht, kSof, kScan, kEoi});
  const Bytes png = {0x89, 'P', 'N', 'G', 0xFF, 0xD9};
  const struct {
    const char* name;
    Bytes tables, image, expected;
  } cases[] = {
      {"clean_stays_clean", {}, clean, clean},
      {"stray_pair_at_start", {}, Cat({kEoi, kSoi, kSoi, kDqt, kDht, kSof, kScan, kEoi}), clean},
      {"stray_pair_in_middle", {}, Cat({kSoi, kDqt, kDht, kEoi, kSoi, kSof, kScan, kEoi}), clean},
      {"fill_bytes_dropped", {}, Cat({kSoi, {0xFF}, kDqt, kDht, kSof, kScan, kEoi}), clean},
      {"tables_merged", Cat({kSoi, kDqt, kDht, kEoi}), Cat({kSoi, kSof, kScan, kEoi}), clean},
      {"missing_eoi_is_added", {}, Cat({kSoi, kDqt, kDht, kSof, kScan}), clean},
      {"png_untouched", {}, png, png},
      {"segment_length_past_end_copied",
       {},
       {0xFF, 0xD8, 0xFF, 0xE0, 0x10, 0x00, 0x01},
       {0xFF, 0xD8, 0xFF, 0xE0, 0x10, 0x00, 0x01, 0xFF, 0xD9}},
      {"trailing_garbage_copied",
       {},
       Cat({kSoi, kDqt, {0x12, 0x34}}),
       Cat({kSoi, kDqt, {0x12, 0x34}, kEoi})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeStandaloneJpeg(c.tables, c.image), c.expected) << c.name;
  }
}

const BitmapDefinition* LoadBitmap(const Bytes& tags, LoadResult& holder) {
  holder = Load(Fws(8, Cat({tags, Tag(tag::kShowFrame, {})})));
  if (!holder.movie) return nullptr;
  const auto it = holder.movie->characters.find(5);
  return it == holder.movie->characters.end() ? nullptr
                                              : std::get_if<BitmapDefinition>(&it->second);
}

TEST(Bitmaps, JpegKindsSplitImageAndAlpha) {
  LoadResult h;
  const auto* j3 = LoadBitmap(
      Tag(tag::kDefineBitsJpeg3, SwfWriter().U16(5).U32(3).Raw({1, 2, 3, 0x78, 0x9C}).Take()), h);
  ASSERT_TRUE(j3);
  EXPECT_EQ(tuple(j3->kind, j3->imageData, j3->alphaData),
            tuple(BitmapKind::Jpeg3, Bytes{1, 2, 3}, Bytes{0x78, 0x9C}));
  const auto* j4 = LoadBitmap(
      Tag(tag::kDefineBitsJpeg4, SwfWriter().U16(5).U32(1).U16(0x0100).Raw({9, 8}).Take()), h);
  ASSERT_TRUE(j4);
  EXPECT_EQ(tuple(j4->deblocking, j4->imageData, j4->alphaData), tuple(0x0100, Bytes{9}, Bytes{8}));
  // An image size past the tag end drops the tag.
  EXPECT_FALSE(
      LoadBitmap(Tag(tag::kDefineBitsJpeg3, SwfWriter().U16(5).U32(100).Raw({1}).Take()), h));
  const auto* j1 = LoadBitmap(Cat({Tag(tag::kJpegTables, kDqt),
                                   Tag(tag::kDefineBits, SwfWriter().U16(5).Raw(kScan).Take())}),
                              h);
  ASSERT_TRUE(j1);
  EXPECT_EQ(tuple(j1->kind, h.movie->jpegTables), tuple(BitmapKind::Jpeg1, kDqt));
}

TEST(Bitmaps, LosslessFormats) {
  LoadResult h;
  const auto* mapped =
      LoadBitmap(Tag(tag::kDefineBitsLossless,
                     SwfWriter().U16(5).U8(3).U16(4).U16(2).U8(15).Raw({0x78, 1}).Take()),
                 h);
  ASSERT_TRUE(mapped);
  EXPECT_EQ(tuple(mapped->colorTableSize, mapped->width, mapped->height, mapped->zlibData),
            tuple(16, 4, 2, Bytes{0x78, 1}));
  const auto* argb = LoadBitmap(
      Tag(tag::kDefineBitsLossless2, SwfWriter().U16(5).U8(5).U16(1).U16(1).Raw({7}).Take()), h);
  ASSERT_TRUE(argb);
  EXPECT_EQ(tuple(argb->kind, argb->colorTableSize), tuple(BitmapKind::Lossless2, 0));
  EXPECT_FALSE(
      LoadBitmap(Tag(tag::kDefineBitsLossless, SwfWriter().U16(5).U8(7).U16(1).U16(1).Take()), h));
}

TEST(Buttons, CxformAppliesToAnEarlierButton) {
  const auto button =
      SwfWriter().U16(5).U8(0x01).U16(2).U16(1).Translate(0, 0, 0).U8(0).U8(0).Take();
  const auto cx = SwfWriter()
                      .U16(5)
                      .Flag(true)
                      .Flag(false)
                      .Bits(4, 8)
                      .Bits(8, 10)
                      .Bits(8, 20)
                      .Bits(8, 30)
                      .Take();
  const auto result =
      Load(Fws(8, Cat({Tag(tag::kDefineButton, button), Tag(tag::kDefineButtonCxform, cx),
                       Tag(tag::kShowFrame, {})})));
  ASSERT_TRUE(result.movie);
  const auto& def = std::get<ButtonDefinition>(result.movie->characters.at(5));
  ASSERT_TRUE(def.colorTransform);
  EXPECT_EQ(def.colorTransform->gAdd, 20);
  ASSERT_EQ(def.records.size(), 1u);
  EXPECT_EQ(def.actions.at(0).conditions, 0x0008);
}

}  // namespace
}  // namespace orrivel::swf
