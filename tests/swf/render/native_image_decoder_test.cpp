#include "swf/render/native_image_decoder.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdlib>

#include "swf/render/gif_decoder.h"

namespace orrivel::swf {
namespace {

// Encodes width x height pixels of `components` bytes each with libjpeg.
std::vector<uint8_t> EncodeJpeg(int width, int height, J_COLOR_SPACE space, int components,
                                const std::vector<uint8_t>& pixels) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = width;
  c.image_height = height;
  c.input_components = components;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(&pixels[static_cast<size_t>(y) * width * components]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> result(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return result;
}

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> EncodePng(int width, int height, int colorType, int depth,
                               const std::vector<uint8_t>& rows, const png_color* palette = nullptr,
                               int paletteSize = 0, const std::vector<uint8_t>& trns = {}) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, PngWrite, nullptr);
  png_set_IHDR(png, info, width, height, depth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette) png_set_PLTE(png, info, palette, paletteSize);
  if (!trns.empty()) {
    png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
  }
  png_write_info(png, info);
  const size_t stride = rows.size() / height;
  for (int y = 0; y < height; ++y) {
    png_write_row(png, &rows[y * stride]);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void ExpectNear(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    EXPECT_NEAR(static_cast<int>((actual >> shift) & 0xFF),
                static_cast<int>((expected >> shift) & 0xFF), tolerance)
        << std::hex << actual << " vs " << expected;
  }
}

TEST(NativeImageDecoderTest, JpegColourSpaces) {
  NativeImageDecoder decoder;
  struct Case {
    const char* name;
    J_COLOR_SPACE space;
    int components;
    std::vector<uint8_t> pixel;
    uint32_t expected;
  };
  const std::vector<Case> cases = {
      {"rgb", JCS_RGB, 3, {200, 100, 50}, 0xFFC86432},
      {"gray", JCS_GRAYSCALE, 1, {90}, 0xFF5A5A5A},
      // libjpeg marks CMYK as Adobe's, whose values are inverted: 255 = no
      // ink, so this is black at half strength.
      {"cmyk", JCS_CMYK, 4, {255, 255, 255, 128}, 0xFF808080},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 16 * 8; ++i) pixels.insert(pixels.end(), tc.pixel.begin(), tc.pixel.end());
    const auto jpeg = EncodeJpeg(16, 8, tc.space, tc.components, pixels);
    const auto image = decoder.Decode(jpeg, 1 << 20);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 16);
    EXPECT_EQ(image->height, 8);
    ExpectNear(image->pixels[5 * 16 + 3], tc.expected, 3);
  }
}

TEST(NativeImageDecoderTest, DamagedOrOversizedJpegIsRefusedOrPartial) {
  NativeImageDecoder decoder;
  std::vector<uint8_t> pixels(64 * 64 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7919 % 251);
  const auto jpeg = EncodeJpeg(64, 64, JCS_RGB, 3, pixels);
  EXPECT_FALSE(decoder.Decode(jpeg, 64 * 64 - 1));
  // Cut inside the scan: the picture keeps its size.
  const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  const auto partial = decoder.Decode(cut, 1 << 20);
  ASSERT_TRUE(partial);
  EXPECT_EQ(partial->pixels.size(), 64u * 64u);
  // Cut inside the header.
  EXPECT_FALSE(decoder.Decode(std::span(jpeg).first(20), 1 << 20));
  EXPECT_FALSE(decoder.Decode(std::vector<uint8_t>{0xFF, 0xD8, 0xFF}, 1 << 20));
  EXPECT_FALSE(decoder.Decode(std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}, 1 << 20));
}

TEST(NativeImageDecoderTest, PngFormatsArePremultipliedBgra) {
  NativeImageDecoder decoder;
  const png_color palette[2] = {{255, 0, 0}, {0, 0, 255}};
  struct Case {
    const char* name;
    std::vector<uint8_t> png;
    uint32_t first, second;
  };
  const std::vector<Case> cases = {
      {"rgba", EncodePng(2, 1, PNG_COLOR_TYPE_RGBA, 8, {255, 128, 0, 128, 10, 20, 30, 255}),
       0x80804000, 0xFF0A141E},
      {"palette with tRNS",
       EncodePng(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, palette, 2, {0, 255}), 0x00000000,
       0xFF0000FF},
      {"gray 16-bit", EncodePng(2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0x00, 0xFF, 0xFF}),
       0xFF808080, 0xFFFFFFFF},
      {"gray 1-bit", EncodePng(2, 1, PNG_COLOR_TYPE_GRAY, 1, {0x40}), 0xFF000000, 0xFFFFFFFF},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    const auto image = decoder.Decode(tc.png, 1 << 20);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->pixels.size(), 2u);
    ExpectNear(image->pixels[0], tc.first, 1);
    ExpectNear(image->pixels[1], tc.second, 1);
  }
  const auto png = EncodePng(2, 1, PNG_COLOR_TYPE_GRAY, 8, {1, 2});
  EXPECT_FALSE(decoder.Decode(png, 1));
  EXPECT_FALSE(decoder.Decode(std::span(png).first(png.size() - 20), 1 << 20));
}

// Made with ImageMagick: 4x3 red with a blue and a green pixel; 1x8 grey
// ramp, interlaced, with an application extension; the classic 1x1
// transparent GIF.
const std::vector<uint8_t> kGif4x3 = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x03, 0x00, 0xf1, 0x00, 0x00,
    0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x21,
    0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x04,
    0x00, 0x03, 0x00, 0x00, 0x02, 0x04, 0x84, 0x80, 0x99, 0x51, 0x00, 0x3b};
const std::vector<uint8_t> kGifRamp = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x08, 0x00, 0xf2, 0x07, 0x00, 0x00, 0x00, 0x00,
    0x24, 0x24, 0x24, 0x49, 0x49, 0x49, 0x6d, 0x6d, 0x6d, 0x92, 0x92, 0x92, 0xb6, 0xb6, 0xb6, 0xdb,
    0xdb, 0xdb, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21, 0xff, 0x0b,
    0x49, 0x6d, 0x61, 0x67, 0x65, 0x4d, 0x61, 0x67, 0x69, 0x63, 0x6b, 0x0e, 0x67, 0x61, 0x6d, 0x6d,
    0x61, 0x3d, 0x30, 0x2e, 0x34, 0x35, 0x34, 0x35, 0x34, 0x35, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x08, 0x00, 0x40, 0x03, 0x06, 0x08, 0x24, 0x16, 0x53, 0x27, 0x01, 0x00, 0x3b};
const std::vector<uint8_t> kGifTransparent = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

TEST(NativeImageDecoderTest, GifFirstFrame) {
  NativeImageDecoder decoder;
  auto image = decoder.Decode(kGif4x3, 1 << 20);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, 4);
  ASSERT_EQ(image->height, 3);
  for (int i = 0; i < 12; ++i) {
    const uint32_t expected = i == 1 ? 0xFF0000FF : i == 11 ? 0xFF00FF00 : 0xFFFF0000;
    EXPECT_EQ(image->pixels[i], expected) << i;
  }
  image = decoder.Decode(kGifRamp, 1 << 20);
  ASSERT_TRUE(image);
  const uint8_t ramp[8] = {0x00, 0x24, 0x49, 0x6d, 0x92, 0xb6, 0xdb, 0xff};
  for (int y = 0; y < 8; ++y) EXPECT_EQ(image->pixels[y] & 0xFF, ramp[y]) << y;
  image = decoder.Decode(kGifTransparent, 1 << 20);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels[0], 0u);
}

TEST(NativeImageDecoderTest, DamagedGifNeverReadsPastItsData) {
  EXPECT_FALSE(DecodeGif(kGif4x3, 11));
  for (size_t n = 0; n < kGifRamp.size(); ++n) {
    auto image = DecodeGif(std::span(kGifRamp).first(n), 1 << 20);
    if (image) {
      EXPECT_EQ(image->pixels.size(), 8u);
    }
  }
  std::vector<uint8_t> corrupt = kGifRamp;
  for (size_t i = 86; i < corrupt.size(); ++i) corrupt[i] ^= 0x5A;
  auto image = DecodeGif(corrupt, 1 << 20);
  if (image) {
    EXPECT_EQ(image->pixels.size(), 8u);
  }
}

}  // namespace
}  // namespace orrivel::swf
