#include "swf/render/wic_image_decoder_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../../picturesaver/picture_files_win32.h"
#include "swf/player/player.h"

namespace orrivel::swf {
namespace {

const auto* const kCom = ::testing::AddGlobalTestEnvironment(new testing::ComEnvironment);

// A picture and the premultiplied BGRA pixels it holds.
struct Picture {
  const char* name;
  std::vector<uint8_t> bytes;
  int width, height, tolerance;
  std::vector<uint32_t> pixels;
};

uint32_t Premultiplied(uint32_t argb) {
  uint32_t a = argb >> 24, out = a << 24;
  for (int s = 0; s < 24; s += 8) out |= ((argb >> s & 0xFF) * a + 127) / 255 << s;
  return out;
}

// colorAt (0xAARRGGBB, straight alpha) encoded by the imaging component.
template <typename ColorAt>
Picture Encoded(const char* name, const GUID& container, int w, int h, int tolerance,
                ColorAt colorAt) {
  const std::wstring path = testing::PicturePath(L"wic-decoder-test");
  EXPECT_TRUE(testing::WritePicture(path, container, w, h, colorAt)) << name;
  Picture p{name, testing::ReadBytes(path), w, h, tolerance, {}};
  for (int i = 0; i < w * h; ++i) p.pixels.push_back(Premultiplied(colorAt(i % w, i / w)));
  return p;
}

// A 4x4 palette PNG (made with zlib) in diagonal stripes of opaque red, half-
// transparent green, clear blue and, beyond its transparency table, white.
const std::vector<uint8_t> kPalettePng = {
    0x89, 'P',  'N',  'G',  0x0D, 0x0A, 0x1A, 0x0A, 0,    0,    0,    13,   'I',  'H',  'D',
    'R',  0,    0,    0,    4,    0,    0,    0,    4,    8,    3,    0,    0,    0,    0x9E,
    0x2F, 0x6E, 0x4C, 0,    0,    0,    12,   'P',  'L',  'T',  'E',  255,  0,    0,    0,
    255,  0,    0,    0,    255,  255,  255,  255,  0xFB, 0x00, 0x60, 0xF6, 0,    0,    0,
    3,    't',  'R',  'N',  'S',  0xFF, 0x80, 0x00, 0x7F, 0x6D, 0x68, 0x78, 0,    0,    0,
    20,   'I',  'D',  'A',  'T',  0x78, 0xDA, 0x63, 0x60, 0x60, 0x64, 0x62, 0x06, 0x63, 0x06,
    0x10, 0xCD, 0x00, 0x62, 0x03, 0x00, 0x01, 0x04, 0x00, 0x19, 0x92, 0xAF, 0x76, 0xB7, 0,
    0,    0,    0,    'I',  'E',  'N',  'D',  0xAE, 0x42, 0x60, 0x82};

std::vector<Picture> Pictures() {
  const uint32_t palette[] = {0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFFFFFFFF};
  Picture indexed{"png-palette-transparency", kPalettePng, 4, 4, 0, {}};
  for (int i = 0; i < 16; ++i) indexed.pixels.push_back(Premultiplied(palette[(i / 4 + i) % 4]));
  // Alpha varies across the PNG, so premultiplying shows; the JPEG's
  // tolerance covers the encoder's loss. GIF goes to the engine's own decoder.
  return {Encoded("png-translucent", GUID_ContainerFormatPng, 16, 6, 1,
                  [](int x, int y) { return (x * 16u + 15) << 24 | y * 16 << 16 | 0x80; }),
          Encoded("jpeg", GUID_ContainerFormatJpeg, 40, 24, 12,
                  [](int x, int y) { return 0xFF000060u | x * 6 << 16 | y * 6 << 8; }),
          Encoded("gif", GUID_ContainerFormatGif, 8, 8, 0,
                  [](int x, int y) { return (x / 2 + y / 2) % 2 ? 0xFF2060A0u : 0xFFF0C010u; }),
          indexed};
}

// Channel values more than tolerance apart; all of them when the sizes differ.
long Outliers(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance) {
  if (a.size() != b.size()) return long(a.size() + b.size()) * 4;
  long n = 0;
  for (size_t i = 0; i < a.size() * 4; ++i) {
    const int shift = i % 4 * 8;
    n += std::abs(int(a[i / 4] >> shift & 0xFF) - int(b[i / 4] >> shift & 0xFF)) > tolerance;
  }
  return n;
}

// Premultiplied pixels, exactly as many as the limit allows; every cut fails
// or keeps the size, flipped bytes give a consistent picture or none, and
// nothing crashes. A JPEG cut inside its scan keeps the rows decoded so far.
TEST(WicImageDecoderTest, DecodesWithinTheLimitAndSurvivesDamage) {
  WicImageDecoder decoder;
  const std::vector<Picture> pictures = Pictures();
  for (const Picture& p : pictures) {
    SCOPED_TRACE(p.name);
    const uint64_t pixels = uint64_t(p.width) * p.height;
    EXPECT_FALSE(decoder.Decode(p.bytes, pixels - 1));
    const auto image = decoder.Decode(p.bytes, pixels);
    ASSERT_TRUE(image && image->width == p.width);
    EXPECT_EQ(Outliers(image->pixels, p.pixels, p.tolerance), 0);
    for (size_t n = 0; n <= p.bytes.size(); n += 1 + n / 16) {
      if (const auto cut = decoder.Decode(std::span(p.bytes).first(n), 1 << 20)) {
        EXPECT_EQ(cut->pixels.size(), p.pixels.size()) << n;
      }
      std::vector<uint8_t> flipped = p.bytes;
      for (size_t i = n; i < std::min(n + 8, flipped.size()); ++i) flipped[i] ^= 0xA5;
      if (const auto bad = decoder.Decode(flipped, 1 << 20)) {
        EXPECT_EQ(bad->pixels.size(), size_t(bad->width) * bad->height) << n;
      }
    }
  }
  const Picture& jpeg = pictures[1];
  const auto partial = decoder.Decode(std::span(jpeg.bytes).first(jpeg.bytes.size() - 30), 1 << 20);
  ASSERT_TRUE(partial && partial->width == jpeg.width && partial->height == jpeg.height);
  EXPECT_EQ(Outliers({partial->pixels[0]}, {jpeg.pixels[0]}, jpeg.tolerance), 0);
}

// Headers claiming 60000 x 60000 pixels (14 GB) are refused before the
// imaging component sees them; so are payloads a bitmap tag may not hold.
TEST(WicImageDecoderTest, RefusesOversizeDamagedAndForeignData) {
  const std::vector<Picture> pictures = Pictures();
  const std::vector<uint8_t>& png = pictures[0].bytes;
  std::vector<uint8_t> jpeg = pictures[1].bytes;
  const auto sof = std::ranges::search(jpeg, std::vector<uint8_t>{0xFF, 0xC0}).begin();
  ASSERT_LT(sof + 9, jpeg.end());
  std::fill(sof + 5, sof + 9, 0xEA);  // the frame's height and width: 0xEAEA
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"jpeg frame too large", jpeg},
      {"png header too large",
       {0x89, 'P',  'N',  'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I',  'H',  'D',  'R', 0,
        0,    0xEA, 0x60, 0,   0,    0xEA, 0x60, 8,    6, 0, 0, 0,  0x80, 0xD2, 0x75, 0x42}},
      {"png cut before its pixels", {png.begin(), png.begin() + 40}},
      {"png cut in its pixels", {png.begin(), png.end() - 20}},
      {"bmp", Encoded("bmp", GUID_ContainerFormatBmp, 2, 2, 0, [](int, int) { return ~0u; }).bytes},
  };
  WicImageDecoder decoder;
  for (const auto& [name, bytes] : cases) EXPECT_FALSE(decoder.Decode(bytes, 1 << 24)) << name;
}

// Counts what the player asked for, so a bitmap left undrawn cannot hide
// inside an image comparison's tolerance.
struct CountingDecoder : ImageDecoder {
  std::optional<raster::Image> Decode(std::span<const uint8_t> data, uint64_t limit) override {
    auto image = wic.Decode(data, limit);
    ++(image ? decoded : refused);
    return image;
  }
  WicImageDecoder wic;
  int decoded = 0, refused = 0;
};

// Movies with JPEG bitmaps (DefineBits and shared tables, DefineBitsJPEG2, JPEG3
// with alpha) held to their own checks; acid-color-0 misses its own natively
// too (a grey stand-in for its bitmap gives 25455 channel values beyond 32).
TEST(WicImageDecoderTest, CorpusBitmapMoviesMatchTheirReferences) {
  const auto acid = std::filesystem::path(ORRIVEL_CORPUS_DIR) / "ruffle-noscript/from_shumway/acid";
  if (!std::filesystem::exists(acid)) GTEST_SKIP() << "no corpus at " << acid;
  const struct {
    const char* dir;
    int frames;
    Quality quality;
    std::vector<std::pair<int, long>> checks;
  } cases[] = {
      {"acid-bitmap-fill", 1, Quality::High, {{12, 70000}, {32, 20000}, {64, 6000}, {128, 300}}},
      {"acid-bitmap-fill-2", 1, Quality::High, {{3, 9000}, {32, 0}}},
      {"acid-blend", 30, Quality::Low, {{11, 348}}},
      {"acid-color-0", 1, Quality::Low, {{32, 400}}},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.dir);
    CountingDecoder decoder;
    const auto expected =
        decoder.wic.Decode(testing::ReadBytes(acid / tc.dir / "output.expected.png"), 1 << 24);
    ASSERT_TRUE(expected);
    Player player(decoder);
    ASSERT_TRUE(player.LoadMemory(testing::ReadBytes(acid / tc.dir / "test.swf")));
    player.SetQuality(tc.quality);
    for (int frame = 1; frame < tc.frames; ++frame) player.StepFrame();
    std::vector<uint32_t> pixels(expected->pixels.size());
    raster::Canvas canvas{pixels.data(), expected->width, expected->height, expected->width};
    player.Render(canvas);
    EXPECT_TRUE(decoder.decoded > 0 && decoder.refused == 0) << decoder.refused;
    for (const auto& [tolerance, most] : tc.checks) {
      EXPECT_LE(Outliers(pixels, expected->pixels, tolerance), most) << "tolerance " << tolerance;
    }
  }
}

}  // namespace
}  // namespace orrivel::swf
