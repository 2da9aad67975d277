// Test pictures written at test time: raster files through the imaging
// component's encoders, metafiles through GDI, plus a COM environment and a
// scratch folder for them.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orrivel::testing {

class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

inline std::wstring PictureFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder =
      std::wstring(temp) + L"orrivel-pictures-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

inline std::wstring PicturePath(const std::wstring& name) { return PictureFolder() + L"\\" + name; }

inline void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  ASSERT_TRUE(
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())));
}

inline std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Writes a 32-bit BGRA picture (straight alpha) with the given encoder.
// The pixel at (x, y) comes from colorAt(x, y) as 0xAARRGGBB.
template <typename ColorAt>
bool WritePicture(const std::wstring& path, const GUID& container, UINT width, UINT height,
                  ColorAt colorAt) {
  std::vector<uint32_t> pixels(size_t{width} * height);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) pixels[size_t{y} * width + x] = colorAt(x, y);
  }
  IWICImagingFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory)))) {
    return false;
  }
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  IPropertyBag2* options = nullptr;
  bool ok = SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
            SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
            SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
            SUCCEEDED(frame->Initialize(options)) && SUCCEEDED(frame->SetSize(width, height));
  if (ok && container == GUID_ContainerFormatGif) {
    // GIF holds palette indices: up to 256 colours, in order of appearance.
    std::vector<WICColor> colors;
    std::vector<uint8_t> indices(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
      size_t k = 0;
      while (k < colors.size() && colors[k] != pixels[i]) ++k;
      if (k == colors.size() && colors.size() < 256) colors.push_back(pixels[i]);
      indices[i] = static_cast<uint8_t>(std::min<size_t>(k, 255));
    }
    IWICPalette* palette = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
    ok = SUCCEEDED(factory->CreatePalette(&palette)) &&
         SUCCEEDED(palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size()))) &&
         SUCCEEDED(frame->SetPalette(palette)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
         IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed) &&
         SUCCEEDED(frame->WritePixels(height, width, static_cast<UINT>(indices.size()),
                                      indices.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (palette) palette->Release();
  } else if (ok) {
    WICPixelFormatGUID format = container == GUID_ContainerFormatPng ? GUID_WICPixelFormat32bppBGRA
                                                                     : GUID_WICPixelFormat24bppBGR;
    ok = SUCCEEDED(frame->SetPixelFormat(&format));
    std::vector<uint8_t> rows;
    UINT bytes = IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ? 4 : 3;
    UINT stride = (width * bytes + 3) & ~3u;
    rows.resize(size_t{stride} * height);
    for (UINT y = 0; y < height; ++y) {
      for (UINT x = 0; x < width; ++x) {
        uint32_t c = pixels[size_t{y} * width + x];
        uint8_t* p = &rows[size_t{y} * stride + x * bytes];
        p[0] = c & 0xFF, p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
        if (bytes == 4) p[3] = c >> 24;
      }
    }
    ok = ok &&
         SUCCEEDED(
             frame->WritePixels(height, stride, static_cast<UINT>(rows.size()), rows.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  }
  if (options) options->Release();
  if (frame) frame->Release();
  if (encoder) encoder->Release();
  if (stream) stream->Release();
  factory->Release();
  return ok;
}

// Inserts an APP1 Exif block with the given orientation right after SOI.
inline std::vector<uint8_t> WithExifOrientation(std::vector<uint8_t> jpeg, int orientation) {
  std::vector<uint8_t> app1 = {0xFF,
                               0xE1,
                               0x00,
                               0x22,
                               'E',
                               'x',
                               'i',
                               'f',
                               0,
                               0,
                               'I',
                               'I',
                               42,
                               0,
                               8,
                               0,
                               0,
                               0,  // TIFF header, IFD0 at 8
                               1,
                               0,  // one entry
                               0x12,
                               0x01,
                               3,
                               0,
                               1,
                               0,
                               0,
                               0,  // orientation, SHORT, count 1
                               static_cast<uint8_t>(orientation),
                               0,
                               0,
                               0,
                               0,
                               0,
                               0,
                               0};  // no next IFD
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

// An icon (type 1) or cursor (type 2) file holding one PNG-coded image.
inline std::vector<uint8_t> IconFileAround(const std::vector<uint8_t>& png, int type, int width,
                                           int height) {
  std::vector<uint8_t> f = {0,
                            0,
                            static_cast<uint8_t>(type),
                            0,
                            1,
                            0,
                            static_cast<uint8_t>(width),
                            static_cast<uint8_t>(height),
                            0,
                            0,
                            static_cast<uint8_t>(type == 1 ? 1 : 2),
                            0,  // planes, or hotspot x
                            static_cast<uint8_t>(type == 1 ? 32 : 2),
                            0};  // bit count, or hotspot y
  uint32_t size = static_cast<uint32_t>(png.size()), offset = 22;
  for (uint32_t v : {size, offset}) {
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  f.insert(f.end(), png.begin(), png.end());
  return f;
}

// An enhanced metafile whose frame is widthMm × heightMm (in 0.01 mm units).
inline bool WriteEmf(const std::wstring& path, LONG width100thMm, LONG height100thMm) {
  RECT frame{0, 0, width100thMm, height100thMm};
  HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frame, nullptr);
  if (dc == nullptr) return false;
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT r{0, 0, 100, 50};
  FillRect(dc, &r, red);
  DeleteObject(red);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  if (emf == nullptr) return false;
  DeleteEnhMetaFile(emf);
  return true;
}

// A placeable Windows metafile: its 22-byte header states the bounding box
// in units of which `inch` make an inch.
inline bool WritePlaceableWmf(const std::wstring& path, int16_t width, int16_t height,
                              uint16_t inch) {
  HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  if (dc == nullptr) return false;
  Rectangle(dc, 0, 0, 50, 50);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  HDC screen = GetDC(nullptr);
  UINT size = GetWinMetaFileBits(emf, 0, nullptr, MM_ANISOTROPIC, screen);
  std::vector<uint8_t> wmf(size);
  GetWinMetaFileBits(emf, size, wmf.data(), MM_ANISOTROPIC, screen);
  ReleaseDC(nullptr, screen);
  DeleteEnhMetaFile(emf);
  if (size == 0) return false;
  std::vector<uint16_t> header = {
      0xCDD7, 0x9AC6, 0, 0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
      inch,   0,      0, 0};
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i) checksum ^= header[i];
  header[10] = checksum;
  std::vector<uint8_t> bytes(reinterpret_cast<uint8_t*>(header.data()),
                             reinterpret_cast<uint8_t*>(header.data()) + 22);
  bytes.insert(bytes.end(), wmf.begin(), wmf.end());
  WriteBytes(path, bytes);
  return true;
}

}  // namespace orrivel::testing
