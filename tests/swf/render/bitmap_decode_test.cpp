#include "swf/render/bitmap_decode.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace orrivel::swf {
namespace {

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
  out.resize(size);
  return out;
}

// Hands back a fixed picture and remembers what it was given.
class FakeDecoder : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t> data, uint64_t maxPixels) override {
    seen.assign(data.begin(), data.end());
    if (static_cast<uint64_t>(image.width) * image.height > maxPixels) return std::nullopt;
    return image;
  }
  raster::Image image{2, 1, {0xFF804020u, 0xFFFFFFFFu}};
  std::vector<uint8_t> seen;
};

BitmapDefinition Lossless(BitmapKind kind, uint8_t format, uint16_t w, uint16_t h,
                          const std::vector<uint8_t>& raw, uint16_t tableSize = 0) {
  BitmapDefinition b;
  b.kind = kind;
  b.losslessFormat = format;
  b.width = w;
  b.height = h;
  b.colorTableSize = tableSize;
  b.zlibData = Zlib(raw);
  return b;
}

struct LosslessCase {
  const char* name;
  BitmapDefinition bitmap;
  std::vector<uint32_t> expected;
};

TEST(BitmapDecodeTest, LosslessFormats) {
  const std::vector<LosslessCase> cases = {
      // 3 wide: each row of indices is padded to 4 bytes.
      {"colour-mapped RGB",
       Lossless(BitmapKind::Lossless, 3, 3, 2,
                {255, 0, 0, 0, 0, 255,  // table: red, blue
                 0, 1, 0, 9,            // row 0 + padding
                 1, 1, 0, 9},           // row 1 + padding
                2),
       {0xFFFF0000, 0xFF0000FF, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF, 0xFFFF0000}},
      // Premultiplied entries; an index past the table is transparent.
      {"colour-mapped RGBA",
       Lossless(BitmapKind::Lossless2, 3, 2, 1, {128, 0, 64, 128, 0, 7, 0, 0}, 1),
       {0x80800040, 0x00000000}},
      // 0RRRRRGGGGGBBBBB big-endian; 1 wide rows padded to 4 bytes.
      {"PIX15",
       Lossless(BitmapKind::Lossless, 4, 1, 2, {0x7C, 0x00, 0, 0, 0x00, 0x1F, 0, 0}),
       {0xFFFF0000, 0xFF0000FF}},
      {"XRGB",
       Lossless(BitmapKind::Lossless, 5, 2, 1, {0, 1, 2, 3, 77, 10, 20, 30}),
       {0xFF010203, 0xFF0A141E}},
      // A colour above its alpha is clamped to keep the pixel premultiplied.
      {"ARGB",
       Lossless(BitmapKind::Lossless2, 5, 2, 1, {128, 100, 50, 0, 16, 200, 8, 16}),
       {0x80643200, 0x10100810}},
  };
  FakeDecoder decoder;
  for (const LosslessCase& tc : cases) {
    SCOPED_TRACE(tc.name);
    const auto image = DecodeBitmap(tc.bitmap, {}, decoder);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->pixels.size(), tc.expected.size());
    for (size_t i = 0; i < tc.expected.size(); ++i) {
      EXPECT_EQ(image->pixels[i], tc.expected[i]) << "pixel " << i;
    }
  }
}

TEST(BitmapDecodeTest, DamagedLosslessDataStaysBounded) {
  FakeDecoder decoder;
  // Short data: the rows that are there decode, the rest stay empty.
  BitmapDefinition shortData = Lossless(BitmapKind::Lossless, 5, 2, 2, {0, 1, 2, 3});
  auto image = DecodeBitmap(shortData, {}, decoder);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels[0], 0xFF010203u);
  EXPECT_EQ(image->pixels[3], 0xFF000000u);

  // More data than the size needs is never inflated past the picture.
  BitmapDefinition longData =
      Lossless(BitmapKind::Lossless2, 5, 1, 1, std::vector<uint8_t>(1 << 20, 0xFF));
  image = DecodeBitmap(longData, {}, decoder);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels.size(), 1u);

  BitmapDefinition garbage = shortData;
  garbage.zlibData = {1, 2, 3, 4, 5};
  EXPECT_FALSE(DecodeBitmap(garbage, {}, decoder));

  BitmapDefinition huge = Lossless(BitmapKind::Lossless, 5, 65535, 65535, {0});
  EXPECT_FALSE(DecodeBitmap(huge, {}, decoder));
  BitmapDefinition badFormat = Lossless(BitmapKind::Lossless, 7, 1, 1, {0, 0, 0, 0});
  EXPECT_FALSE(DecodeBitmap(badFormat, {}, decoder));
  BitmapDefinition empty = Lossless(BitmapKind::Lossless, 5, 0, 3, {});
  EXPECT_FALSE(DecodeBitmap(empty, {}, decoder));
}

const std::vector<uint8_t> kJpeg = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0x11, 0xFF, 0xD9};

// The JPEG's colours are premultiplied already: they are clamped to the
// alpha, not multiplied again.
TEST(BitmapDecodeTest, Jpeg3ColoursAreClampedToTheAlphaPlane) {
  FakeDecoder decoder;
  BitmapDefinition b;
  b.kind = BitmapKind::Jpeg3;
  b.imageData = kJpeg;
  b.alphaData = Zlib({128, 0});
  const auto image = DecodeBitmap(b, {}, decoder);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels[0], 0x80804020u);
  EXPECT_EQ(image->pixels[1], 0x00000000u);

  // A plane cut short leaves the rest opaque.
  b.alphaData = Zlib({64});
  EXPECT_EQ(DecodeBitmap(b, {}, decoder)->pixels[1], 0xFFFFFFFFu);

  // PNG payloads keep their own alpha.
  b.imageData = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  b.alphaData = Zlib({0, 0});
  EXPECT_EQ(DecodeBitmap(b, {}, decoder)->pixels[1], 0xFFFFFFFFu);
}

TEST(BitmapDecodeTest, Jpeg1GetsTheMovieTablesAndLimitsReachTheDecoder) {
  FakeDecoder decoder;
  BitmapDefinition b;
  b.kind = BitmapKind::Jpeg1;
  b.imageData = kJpeg;
  const std::vector<uint8_t> tables = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x03, 0x42, 0xFF, 0xD9};
  ASSERT_TRUE(DecodeBitmap(b, tables, decoder));
  const std::vector<uint8_t> expected = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x03, 0x42,
                                         0xFF, 0xDA, 0x00, 0x02, 0x11, 0xFF, 0xD9};
  EXPECT_EQ(decoder.seen, expected);

  BitmapLimits limits;
  limits.maxPixels = 1;
  EXPECT_FALSE(DecodeBitmap(b, tables, decoder, limits));
}

}  // namespace
}  // namespace orrivel::swf
