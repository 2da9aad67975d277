#include "picturesaver/picture_win32.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include "picture_files_win32.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

using testing::PicturePath;

const auto* const kCom = ::testing::AddGlobalTestEnvironment(new testing::ComEnvironment);

SIZE Natural(SIZE s) { return s; }

uint32_t PixelAt(const Picture& p, int x, int y) {
  const Bitmap& b = p.Pixels();
  const uint8_t* px =
      b.pixels.data() + static_cast<size_t>(y) * b.Stride() + static_cast<size_t>(x) * 4;
  return uint32_t{px[3]} << 24 | uint32_t{px[2]} << 16 | uint32_t{px[1]} << 8 | px[0];
}

// Red, green and blue channels within a JPEG's tolerance.
bool Near(uint32_t argb, uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>(argb >> shift & 0xFF) -
                 static_cast<int>(expected >> shift & 0xFF)) > 40) {
      return false;
    }
  }
  return true;
}

TEST(LoadPictureFileTest, DecodesEveryRasterFormat) {
  struct Case {
    const wchar_t* name;
    GUID container;
  } cases[] = {{L"p.bmp", GUID_ContainerFormatBmp},  {L"p.png", GUID_ContainerFormatPng},
               {L"p.jpg", GUID_ContainerFormatJpeg}, {L"p.gif", GUID_ContainerFormatGif},
               {L"p.tif", GUID_ContainerFormatTiff}, {L"p.dib", GUID_ContainerFormatBmp}};
  for (const auto& c : cases) {
    std::wstring path = PicturePath(c.name);
    ASSERT_TRUE(testing::WritePicture(
        path, c.container, 48, 32, [](UINT x, UINT) { return x < 24 ? 0xFFFF0000u : 0xFF0000FFu; }))
        << "encoding " << c.name;
    PictureLoadResult r = LoadPictureFile(path, Natural);
    ASSERT_TRUE(r.picture) << c.name << ": error " << r.error.number;
    EXPECT_EQ(r.picture->kind(), Picture::Kind::Raster);
    EXPECT_EQ(r.picture->NaturalPixels().cx, 48);
    EXPECT_EQ(r.picture->NaturalPixels().cy, 32);
    EXPECT_FLOAT_EQ(r.picture->NaturalWidthTwips(15), 720);
    EXPECT_TRUE(Near(PixelAt(*r.picture, 2, 2), 0xFFFF0000u)) << c.name;
    EXPECT_TRUE(Near(PixelAt(*r.picture, 45, 30), 0xFF0000FFu)) << c.name;
  }
}

TEST(LoadPictureFileTest, KeepsTransparencyPremultiplied) {
  std::wstring path = PicturePath(L"alpha.png");
  ASSERT_TRUE(testing::WritePicture(path, GUID_ContainerFormatPng, 4, 4, [](UINT x, UINT) {
    return x < 2 ? 0x00000000u : 0x80FF0000u;
  }));
  PictureLoadResult r = LoadPictureFile(path, Natural);
  ASSERT_TRUE(r.picture);
  EXPECT_EQ(PixelAt(*r.picture, 0, 0), 0u);
  uint32_t half = PixelAt(*r.picture, 3, 3);
  EXPECT_EQ(half >> 24, 0x80u);
  EXPECT_NEAR(static_cast<int>(half >> 16 & 0xFF), 0x80, 1);
}

TEST(LoadPictureFileTest, TurnsExifRotatedJpegsUpright) {
  // Stored 40 x 20, left half red; orientation 6 asks for a quarter turn
  // clockwise, so upright it is 20 x 40 with the red half on top.
  std::wstring stored = PicturePath(L"stored.jpg");
  ASSERT_TRUE(testing::WritePicture(stored, GUID_ContainerFormatJpeg, 40, 20, [](UINT x, UINT) {
    return x < 20 ? 0xFFFF0000u : 0xFF0000FFu;
  }));
  std::wstring rotated = PicturePath(L"rotated.jpg");
  testing::WriteBytes(rotated, testing::WithExifOrientation(testing::ReadBytes(stored), 6));
  PictureLoadResult r = LoadPictureFile(rotated, Natural);
  ASSERT_TRUE(r.picture) << r.error.number;
  EXPECT_EQ(r.picture->NaturalPixels().cx, 20);
  EXPECT_EQ(r.picture->NaturalPixels().cy, 40);
  EXPECT_TRUE(Near(PixelAt(*r.picture, 10, 5), 0xFFFF0000u));
  EXPECT_TRUE(Near(PixelAt(*r.picture, 10, 35), 0xFF0000FFu));
}

TEST(LoadPictureFileTest, ReducesLargePicturesWhileDecoding) {
  std::wstring path = PicturePath(L"large.png");
  ASSERT_TRUE(testing::WritePicture(path, GUID_ContainerFormatPng, 600, 400, [](UINT x, UINT y) {
    return (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u;
  }));
  SIZE asked{};
  PictureLoadResult r = LoadPictureFile(path, [&](SIZE natural) {
    asked = natural;
    return SIZE{150, 100};
  });
  ASSERT_TRUE(r.picture);
  EXPECT_EQ(asked.cx, 600);
  EXPECT_EQ(r.picture->NaturalPixels().cx, 600) << "the natural size stays the file's";
  EXPECT_EQ(r.picture->Pixels().width, 150);
  EXPECT_EQ(r.picture->Pixels().height, 100);
  // Fine black and white detail averages to the grey of half the light.
  EXPECT_NEAR(static_cast<int>(PixelAt(*r.picture, 70, 50) & 0xFF), 188, 2);
}

// A decoder that reduces by 1/2, 1/4 or 1/8 (rounding partial pixels up, as
// the JPEG decoder does) and answers a size request with the supported size
// nearest above it, or below it, or cannot scale at all.
class FakeScalingSource : public ScalingSource {
 public:
  enum class Rounding { Up, Down, Never, Fails };
  FakeScalingSource(UINT w, UINT h, Rounding rounding) : w_(w), h_(h), rounding_(rounding) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect*, UINT, UINT, WICPixelFormatGUID*,
                                       WICBitmapTransformOptions, UINT, UINT, BYTE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) override {
    if (rounding_ == Rounding::Fails) return E_NOTIMPL;
    UINT bestW = w_, bestH = h_;
    for (UINT d : {1u, 2u, 4u, 8u}) {
      const UINT w = (w_ + d - 1) / d, h = (h_ + d - 1) / d;
      if (rounding_ == Rounding::Never || (rounding_ == Rounding::Up ? w < *width : w > *width))
        continue;
      bestW = w, bestH = h;
      if (rounding_ == Rounding::Down) break;
    }
    *width = bestW, *height = bestH;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions, BOOL* ok) override {
    *ok = FALSE;
    return S_OK;
  }

 private:
  UINT w_, h_;
  Rounding rounding_;
};

TEST(ReducedDecodeSizeTest, SmallestReductionStillCoveringTheTarget) {
  using R = FakeScalingSource::Rounding;
  struct Case {
    UINT w, h;
    SIZE target;
    SIZE expected;
  } cases[] = {
      {6000, 4000, {1620, 1080}, {3000, 2000}},  // a quarter would fall short
      {6000, 4000, {700, 460}, {750, 500}},
      {6001, 4001, {751, 501}, {751, 501}},      // partial pixels count
      {6000, 4000, {3001, 2000}, {0, 0}},        // even half is too small
      {6000, 4000, {1500, 1001}, {3000, 2000}},  // each axis must cover
      {6000, 4000, {6000, 4000}, {0, 0}},
  };
  for (R rounding : {R::Up, R::Down}) {
    for (const auto& c : cases) {
      FakeScalingSource fake(c.w, c.h, rounding);
      SIZE got = ReducedDecodeSize(&fake, c.w, c.h, c.target);
      EXPECT_EQ(got.cx, c.expected.cx)
          << c.target.cx << "x" << c.target.cy << " rounding " << int(rounding);
      EXPECT_EQ(got.cy, c.expected.cy)
          << c.target.cx << "x" << c.target.cy << " rounding " << int(rounding);
    }
  }
  for (R rounding : {R::Never, R::Fails}) {
    FakeScalingSource fake(6000, 4000, rounding);
    SIZE got = ReducedDecodeSize(&fake, 6000, 4000, {100, 100});
    EXPECT_EQ(got.cx, 0);
    EXPECT_EQ(got.cy, 0);
  }
}

TEST(LoadPictureFileTest, MetafilesIconsAndCursorsTakeTheSizeTheyState) {
  const std::wstring emf = PicturePath(L"p.emf"), wmf = PicturePath(L"p.wmf");
  ASSERT_TRUE(testing::WriteEmf(emf, 2540, 1270));                 // 1 x 0.5 inch
  ASSERT_TRUE(testing::WritePlaceableWmf(wmf, 2000, 1000, 1000));  // 2 x 1 inch
  const std::wstring png = PicturePath(L"icon.png");
  ASSERT_TRUE(testing::WritePicture(png, GUID_ContainerFormatPng, 32, 32,
                                    [](UINT, UINT) { return 0xFF00FF00u; }));
  const std::wstring ico = PicturePath(L"p.ico"), cur = PicturePath(L"p.cur");
  testing::WriteBytes(ico, testing::IconFileAround(testing::ReadBytes(png), 1, 32, 32));
  testing::WriteBytes(cur, testing::IconFileAround(testing::ReadBytes(png), 2, 32, 32));
  struct Case {
    std::wstring path;
    Picture::Kind kind;
    float widthTwips, heightTwips;  // at 15 twips per pixel
  } cases[] = {{emf, Picture::Kind::Metafile, 1440, 720},
               {wmf, Picture::Kind::Metafile, 2880, 1440},
               {ico, Picture::Kind::Raster, 480, 480},
               {cur, Picture::Kind::Cursor, 480, 480}};
  for (const Case& c : cases) {
    PictureLoadResult r = LoadPictureFile(c.path, Natural);
    ASSERT_TRUE(r.picture) << win32::WideToUtf8(c.path) << ": error " << r.error.number;
    EXPECT_EQ(r.picture->kind(), c.kind);
    EXPECT_NEAR(r.picture->NaturalWidthTwips(15), c.widthTwips, 2);
    EXPECT_NEAR(r.picture->NaturalHeightTwips(15), c.heightTwips, 2);
  }
  EXPECT_TRUE(Near(PixelAt(*LoadPictureFile(ico, Natural).picture, 16, 16), 0xFF00FF00u));
}

TEST(LoadPictureFileTest, MissingFileIsToldApartFromOtherFailures) {
  std::wstring damaged = PicturePath(L"damaged.jpg");
  testing::WriteBytes(damaged, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
  std::wstring truncatedWmf = PicturePath(L"short.wmf");
  testing::WriteBytes(truncatedWmf, {0xD7, 0xCD, 0xC6, 0x9A, 0, 0});
  struct Case {
    std::wstring path;
    int error;
  } cases[] = {
      {PicturePath(L"missing.jpg"), kErrFileNotFound},
      {testing::PictureFolder() + L"\\no-such-folder\\a.jpg", kErrPathNotFound},
      {damaged, kErrInvalidPicture},
      {truncatedWmf, kErrInvalidPicture},
      {testing::PictureFolder(), kErrPathFileAccess},
  };
  for (const auto& c : cases) {
    PictureLoadResult r = LoadPictureFile(c.path, Natural);
    EXPECT_FALSE(r.picture);
    EXPECT_EQ(r.error.number, c.error);
  }
  PictureLoadResult empty = LoadPictureFile(L"", Natural);
  ASSERT_TRUE(empty.picture);
  EXPECT_EQ(empty.picture->kind(), Picture::Kind::Empty);
  EXPECT_EQ(empty.picture->NaturalWidthTwips(15), 0);
}

TEST(LoadPictureFileTest, RefusesPicturesBeyondThePixelLimit) {
  // A PNG header declaring 20000 x 20000 pixels, with no image data at all.
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&](const char* type, std::vector<uint8_t> data) {
    uint32_t n = static_cast<uint32_t>(data.size());
    for (int i = 3; i >= 0; --i) png.push_back(static_cast<uint8_t>(n >> (8 * i)));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
    png.insert(png.end(), body.begin(), body.end());
    for (int i = 3; i >= 0; --i) png.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  };
  chunk("IHDR", {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 6, 0, 0, 0});
  chunk("IEND", {});
  std::wstring path = PicturePath(L"huge.png");
  testing::WriteBytes(path, png);
  PictureLoadResult r = LoadPictureFile(path, Natural);
  EXPECT_FALSE(r.picture);
  EXPECT_NE(r.error.number, kErrFileNotFound);
}

}  // namespace
}  // namespace orrivel
