#include "picturesaver/picture_win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include <zlib.h>

#include "picture_files_win32.h"

namespace orrivel {
namespace {

using testing::PicturePath;

const auto* const kCom = ::testing::AddGlobalTestEnvironment(new testing::ComEnvironment);

SIZE Natural(SIZE s) { return s; }

uint32_t PixelAt(const Picture& p, int x, int y) {
  const Bitmap& b = p.Pixels();
  const uint8_t* px = b.pixels.data() + static_cast<size_t>(y) * b.Stride() + static_cast<size_t>(x) * 4;
  return uint32_t{px[3]} << 24 | uint32_t{px[2]} << 16 | uint32_t{px[1]} << 8 | px[0];
}

// Red, green and blue channels within a JPEG's tolerance.
bool Near(uint32_t argb, uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>(argb >> shift & 0xFF) - static_cast<int>(expected >> shift & 0xFF)) > 40) {
      return false;
    }
  }
  return true;
}

TEST(LoadPictureFileTest, DecodesEveryRasterFormat) {
  struct Case {
    const wchar_t* name;
    GUID container;
  } cases[] = {{L"p.bmp", GUID_ContainerFormatBmp}, {L"p.png", GUID_ContainerFormatPng},
               {L"p.jpg", GUID_ContainerFormatJpeg}, {L"p.gif", GUID_ContainerFormatGif},
               {L"p.tif", GUID_ContainerFormatTiff}, {L"p.dib", GUID_ContainerFormatBmp}};
  for (const auto& c : cases) {
    std::wstring path = PicturePath(c.name);
    ASSERT_TRUE(testing::WritePicture(path, c.container, 48, 32, [](UINT x, UINT) {
      return x < 24 ? 0xFFFF0000u : 0xFF0000FFu;
    })) << "encoding " << c.name;
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
  FakeScalingSource(UINT width, UINT height, Rounding rounding) : w_(width), h_(height), rounding_(rounding) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect*, UINT, UINT, WICPixelFormatGUID*, WICBitmapTransformOptions,
                                       UINT, UINT, BYTE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) override {
    if (rounding_ == Rounding::Fails) return E_NOTIMPL;
    UINT bestW = w_, bestH = h_;
    if (rounding_ != Rounding::Never) {
      for (UINT d : {1u, 2u, 4u, 8u}) {
        UINT w = (w_ + d - 1) / d, h = (h_ + d - 1) / d;
        if (rounding_ == Rounding::Up ? w >= *width : w <= *width) {
          bestW = w, bestH = h;
          if (rounding_ == Rounding::Down) break;
        }
      }
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
      EXPECT_EQ(got.cx, c.expected.cx) << c.target.cx << "x" << c.target.cy << " rounding " << int(rounding);
      EXPECT_EQ(got.cy, c.expected.cy) << c.target.cx << "x" << c.target.cy << " rounding " << int(rounding);
    }
  }
  for (R rounding : {R::Never, R::Fails}) {
    FakeScalingSource fake(6000, 4000, rounding);
    SIZE got = ReducedDecodeSize(&fake, 6000, 4000, {100, 100});
    EXPECT_EQ(got.cx, 0);
    EXPECT_EQ(got.cy, 0);
  }
}

TEST(LoadPictureFileTest, MetafilesTakeTheSizeTheyState) {
  std::wstring emf = PicturePath(L"p.emf");
  ASSERT_TRUE(testing::WriteEmf(emf, 2540, 1270));  // 1 x 0.5 inch
  PictureLoadResult r = LoadPictureFile(emf, Natural);
  ASSERT_TRUE(r.picture) << r.error.number;
  EXPECT_EQ(r.picture->kind(), Picture::Kind::Metafile);
  EXPECT_NEAR(r.picture->NaturalWidthTwips(15), 1440, 2);
  EXPECT_NEAR(r.picture->NaturalHeightTwips(15), 720, 2);

  std::wstring wmf = PicturePath(L"p.wmf");
  ASSERT_TRUE(testing::WritePlaceableWmf(wmf, 2000, 1000, 1000));  // 2 x 1 inch
  r = LoadPictureFile(wmf, Natural);
  ASSERT_TRUE(r.picture) << r.error.number;
  EXPECT_EQ(r.picture->kind(), Picture::Kind::Metafile);
  EXPECT_FLOAT_EQ(r.picture->NaturalWidthTwips(15), 2880);
  EXPECT_FLOAT_EQ(r.picture->NaturalHeightTwips(15), 1440);
}

TEST(LoadPictureFileTest, IconsAndCursors) {
  std::wstring png = PicturePath(L"icon.png");
  ASSERT_TRUE(testing::WritePicture(png, GUID_ContainerFormatPng, 32, 32, [](UINT, UINT) {
    return 0xFF00FF00u;
  }));
  std::wstring ico = PicturePath(L"p.ico"), cur = PicturePath(L"p.cur");
  testing::WriteBytes(ico, testing::IconFileAround(testing::ReadBytes(png), 1, 32, 32));
  testing::WriteBytes(cur, testing::IconFileAround(testing::ReadBytes(png), 2, 32, 32));
  PictureLoadResult r = LoadPictureFile(ico, Natural);
  ASSERT_TRUE(r.picture) << "icon: error " << r.error.number;
  EXPECT_EQ(r.picture->kind(), Picture::Kind::Raster);
  EXPECT_EQ(r.picture->NaturalPixels().cx, 32);
  EXPECT_TRUE(Near(PixelAt(*r.picture, 16, 16), 0xFF00FF00u));
  r = LoadPictureFile(cur, Natural);
  ASSERT_TRUE(r.picture) << "cursor: error " << r.error.number;
  EXPECT_EQ(r.picture->kind(), Picture::Kind::Cursor);
  EXPECT_EQ(r.picture->NaturalPixels().cx, 32);
  EXPECT_EQ(r.picture->NaturalPixels().cy, 32);
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

TEST(LoadPictureFileTest, EmptyPathGivesTheEmptyPicture) {
  PictureLoadResult r = LoadPictureFile(L"", Natural);
  ASSERT_TRUE(r.picture);
  EXPECT_EQ(r.picture->kind(), Picture::Kind::Empty);
  EXPECT_EQ(r.picture->NaturalWidthTwips(15), 0);
}

}  // namespace
}  // namespace orrivel

namespace orrivel {
namespace {

// The real step figure: decoding a large photo through the imaging
// component and reducing it to a 1920 x 1080 screen, against decoding it
// at full size. Run by hand with ORRIVEL_PICTURE_TIMING naming a JPEG:
//   picturesaver_win32_tests --gtest_also_run_disabled_tests --gtest_filter=*Timing*
TEST(PictureTimingTest, DISABLED_DecodeAndReduceAgainstDecodeAlone) {
  wchar_t path[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"ORRIVEL_PICTURE_TIMING", path, MAX_PATH) == 0) GTEST_SKIP();
  // Processor time of this process, in ms (the machine may be shared).
  auto cpuMs = [] {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
  };
  auto average = [&](const std::function<SIZE(SIZE)>& targetFor) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    constexpr int kRuns = 3;
    double cpuStart = cpuMs();
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kRuns; ++i) EXPECT_TRUE(LoadPictureFile(path, targetFor).picture);
    QueryPerformanceCounter(&end);
    double wall = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    return std::pair{wall / kRuns, (cpuMs() - cpuStart) / kRuns};
  };
  auto whole = average(Natural);
  auto fitted = average([](SIZE natural) {
    double ratio = std::max(natural.cx / 1920.0, natural.cy / 1080.0);
    return SIZE{static_cast<LONG>(natural.cx / ratio), static_cast<LONG>(natural.cy / ratio)};
  });
  // Whether the system's JPEG decoder can reduce while decoding.
  static const GUID kSourceTransform = {0x3B16811B, 0x6A43, 0x4ec9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IUnknown* transform = nullptr;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  if (factory && SUCCEEDED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                              WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame))) {
    frame->QueryInterface(kSourceTransform, reinterpret_cast<void**>(&transform));
  }
  std::printf("decoder reduces while decoding: %s\n", transform ? "yes" : "no");
  for (IUnknown* p : std::initializer_list<IUnknown*>{transform, frame, decoder, factory}) {
    if (p) p->Release();
  }
  std::printf("full-size decode %.0f ms (cpu %.0f), decode reduced to 1920x1080 %.0f ms (cpu %.0f)\n",
              whole.first, whole.second, fitted.first, fitted.second);
}

}  // namespace
}  // namespace orrivel
