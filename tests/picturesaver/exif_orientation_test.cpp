#include "picturesaver/exif_orientation.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace orrivel {
namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}

// A TIFF block with IFD0 holding one entry (tag, type, count, value).
Bytes Tiff(bool bigEndian, int tag, int type, int count, int value) {
  auto u16 = [&](Bytes& b, int v) {
    bigEndian ? Append(b, {v >> 8 & 0xFF, v & 0xFF}) : Append(b, {v & 0xFF, v >> 8 & 0xFF});
  };
  auto u32 = [&](Bytes& b, int v) {
    bigEndian ? (u16(b, v >> 16), u16(b, v & 0xFFFF)) : (u16(b, v & 0xFFFF), u16(b, v >> 16));
  };
  Bytes t;
  bigEndian ? Append(t, {'M', 'M'}) : Append(t, {'I', 'I'});
  u16(t, 42);
  u32(t, 8);  // IFD0 right after the header
  u16(t, 2);  // two entries: an unrelated one, then ours
  u16(t, 0x010F), u16(t, 2), u32(t, 4), u32(t, 0x41424300);  // Make
  u16(t, tag), u16(t, type), u32(t, count);
  u16(t, value), u16(t, 0);
  u32(t, 0);  // no next IFD
  return t;
}

// SOI, an APP0, the APP1 Exif segment holding tiff, then SOS.
Bytes Jpeg(const Bytes& tiff, const char* signature = "Exif") {
  Bytes j;
  Append(j, {0xFF, 0xD8});
  Append(j, {0xFF, 0xE0, 0x00, 0x07, 'J', 'F', 'I', 'F', 0});
  size_t length = tiff.size() + 8;
  Append(j, {0xFF, 0xE1, static_cast<int>(length >> 8), static_cast<int>(length & 0xFF)});
  for (const char* s = signature; *s; ++s) j.push_back(static_cast<uint8_t>(*s));
  Append(j, {0, 0});
  j.insert(j.end(), tiff.begin(), tiff.end());
  Append(j, {0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9});
  return j;
}

TEST(JpegExifOrientationTest, ReadsTheTagInBothByteOrders) {
  for (bool bigEndian : {false, true}) {
    for (int value = 1; value <= 8; ++value) {
      EXPECT_EQ(JpegExifOrientation(Jpeg(Tiff(bigEndian, 0x0112, 3, 1, value))), value)
          << (bigEndian ? "MM " : "II ") << value;
    }
  }
}

// Anything unusual, damaged or hostile means upright, read within the data.
TEST(JpegExifOrientationTest, AnythingUnusualMeansUpright) {
  const Bytes good = Jpeg(Tiff(false, 0x0112, 3, 1, 6));
  const size_t tiffAt = 2 + 9 + 4 + 6;
  const auto patched = [&](std::initializer_list<std::pair<size_t, uint8_t>> edits) {
    Bytes b = good;
    for (auto [at, value] : edits) b.at(at) = value;
    return b;
  };
  Bytes sosFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02};
  sosFirst.insert(sosFirst.end(), good.begin() + 2, good.end());
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"not a JPEG", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}},
      {"no Exif", Jpeg(Bytes(), "XMP")},
      {"other tag", Jpeg(Tiff(false, 0x0111, 3, 1, 6))},
      {"value out of range", Jpeg(Tiff(false, 0x0112, 3, 1, 9))},
      {"value zero", Jpeg(Tiff(true, 0x0112, 3, 1, 0))},
      {"wrong type", Jpeg(Tiff(false, 0x0112, 4, 1, 6))},
      {"zero count", Jpeg(Tiff(false, 0x0112, 3, 0, 6))},
      {"mixed byte order mark", patched({{tiffAt, 'M'}})},
      {"IFD0 far outside", patched({{tiffAt + 4, 0xF0}, {tiffAt + 7, 0x7F}})},
      // The entry count runs far past the data, with no orientation among the real entries.
      {"entry count too large",
       patched({{tiffAt + 8, 0xFF}, {tiffAt + 9, 0xFF}, {tiffAt + 22, 0x13}})},
      {"APP1 length past the data", patched({{2 + 9 + 2, 0xFF}})},
      {"APP0 length below 2", patched({{2 + 2, 0}, {2 + 3, 1}})},
      {"image data before the Exif block", sosFirst},
  };
  for (const auto& c : cases) EXPECT_EQ(JpegExifOrientation(c.data), 1) << c.what;
  // Every truncation must be read safely (sanitizers watch the reads).
  for (size_t n = 0; n < good.size(); ++n) {
    const int o = JpegExifOrientation(std::span(good.data(), n));
    EXPECT_TRUE(o == 1 || o == 6) << n;
  }
}

// A 3x2 picture whose pixels hold their own number 1..6:
//   1 2 3
//   4 5 6
TEST(ApplyOrientationTest, TurnsEveryCaseUpright) {
  Bitmap src{3, 2, {}};
  for (uint8_t v = 1; v <= 6; ++v) Append(src.pixels, {v, 0, 0, 255});
  struct Case {
    int orientation;
    int width;
    std::vector<int> pixels;
  } cases[] = {
      {1, 3, {1, 2, 3, 4, 5, 6}}, {2, 3, {3, 2, 1, 6, 5, 4}}, {3, 3, {6, 5, 4, 3, 2, 1}},
      {4, 3, {4, 5, 6, 1, 2, 3}}, {5, 2, {1, 4, 2, 5, 3, 6}}, {6, 2, {4, 1, 5, 2, 6, 3}},
      {7, 2, {6, 3, 5, 2, 4, 1}}, {8, 2, {3, 6, 2, 5, 1, 4}}, {0, 3, {1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    auto out = ApplyOrientation(src.View(), c.orientation);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width, c.width) << c.orientation;
    EXPECT_EQ(out->height, 6 / c.width) << c.orientation;
    std::vector<int> got;
    for (size_t i = 0; i < out->pixels.size(); i += 4) got.push_back(out->pixels[i]);
    EXPECT_EQ(got, c.pixels) << "orientation " << c.orientation;
  }
}

}  // namespace
}  // namespace orrivel
