#include "picturesaver/picture_win32.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "picturesaver/downscale.h"
#include "picturesaver/exif_orientation.h"
#include "win32/error_text_win32.h"

namespace orrivel {
namespace {

struct ComReleaser {
  void operator()(IUnknown* p) const { p->Release(); }
};
template <typename T>
using ComRef = win32::UniqueHandle<T*, ComReleaser>;

constexpr size_t kMaxMetafileBytes = 64u << 20;
constexpr size_t kHeadBytes = 128u << 10;  // holds any Exif block (at most 64 KB)
constexpr int kStripRows = 32;
constexpr double kTwipsPerHimetric = 1440.0 / 2540.0;

ErrorInfo InvalidPicture() { return {kErrInvalidPicture, "Invalid picture"}; }

ErrorInfo ErrorFromHresult(HRESULT hr) {
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return win32::ErrorFromWin32(HRESULT_CODE(hr));
  if (hr == E_OUTOFMEMORY) return MakeError(kErrOutOfMemory);
  return InvalidPicture();
}

// Reads at most limit bytes from the start of the file.
bool ReadHead(const std::wstring& path, size_t limit, std::vector<uint8_t>& out, ErrorInfo& error) {
  win32::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = win32::LastError();
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) {
    error = win32::LastError();
    return false;
  }
  out.resize(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, static_cast<LONGLONG>(limit))));
  DWORD got = 0;
  if (!out.empty() &&
      (!ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) ||
       got != out.size())) {
    error = win32::LastError();
    return false;
  }
  return true;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }

bool IsEmf(const std::vector<uint8_t>& h) {
  return h.size() >= 88 && Le32(h.data()) == EMR_HEADER && Le32(h.data() + 40) == ENHMETA_SIGNATURE;
}
bool IsPlaceableWmf(const std::vector<uint8_t>& h) {
  return h.size() >= 22 + 18 && Le32(h.data()) == 0x9AC6CDD7u;
}
bool IsPlainWmf(const std::vector<uint8_t>& h) {
  return h.size() >= 18 && (Le16(h.data()) == 1 || Le16(h.data()) == 2) &&
         Le16(h.data() + 2) == 9 && (Le16(h.data() + 4) == 0x0100 || Le16(h.data() + 4) == 0x0300);
}
bool IsCursor(const std::vector<uint8_t>& h) {
  return h.size() >= 22 && Le16(h.data()) == 0 && Le16(h.data() + 2) == 2 && Le16(h.data() + 4) > 0;
}

using CopyRect = std::function<HRESULT(const WICRect&, UINT stride, UINT size, BYTE* buffer)>;

// Decodes width x height pixels in strips straight into the reduction to
// target, so a picture far larger than the screen is never held whole by
// this program. direct24: the strips come as 24-bit BGR and are widened
// here, otherwise as 32-bit premultiplied BGRA.
HRESULT Reduce(const CopyRect& copy, UINT width, UINT height, bool direct24, SIZE target,
               std::optional<Bitmap>& out) {
  RowDownscaler scaler;
  if (!scaler.Start(static_cast<int>(width), static_cast<int>(height), target.cx, target.cy))
    return E_OUTOFMEMORY;
  const UINT stride = width * 4;
  const UINT stride24 = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> strip, strip24;
  try {
    strip.resize(static_cast<size_t>(stride) * kStripRows);
    if (direct24) strip24.resize(static_cast<size_t>(stride24) * kStripRows);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  for (UINT y = 0; y < height; y += kStripRows) {
    UINT rows = std::min<UINT>(kStripRows, height - y);
    WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
    HRESULT hr;
    if (direct24) {
      hr = copy(rect, stride24, stride24 * rows, strip24.data());
      for (UINT r = 0; SUCCEEDED(hr) && r < rows; ++r) {
        const uint8_t* in = strip24.data() + static_cast<size_t>(r) * stride24;
        uint8_t* row = strip.data() + static_cast<size_t>(r) * stride;
        for (UINT x = 0; x < width; ++x, in += 3, row += 4) {
          row[0] = in[0], row[1] = in[1], row[2] = in[2], row[3] = 255;
        }
      }
    } else {
      hr = copy(rect, stride, stride * rows, strip.data());
    }
    if (FAILED(hr)) return hr;
    scaler.AddRows({strip.data(), static_cast<int>(width), static_cast<int>(rows), stride});
  }
  out = scaler.Finish();
  return out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

SIZE ReducedDecodeSize(ScalingSource* scaling, UINT width, UINT height, SIZE target) {
  SIZE best{0, 0};
  for (UINT divisor : {8u, 4u, 2u}) {
    UINT w = (width + divisor - 1) / divisor, h = (height + divisor - 1) / divisor;
    if (FAILED(scaling->GetClosestSize(&w, &h))) continue;
    const bool covers =
        w >= static_cast<UINT>(target.cx) && h >= static_cast<UINT>(target.cy) && w > 0 && h > 0;
    if (covers && w < width && h < height && (best.cx == 0 || w < static_cast<UINT>(best.cx))) {
      best = {static_cast<LONG>(w), static_cast<LONG>(h)};
    }
  }
  return best;
}

class PictureLoader {
 public:
  static PictureLoadResult Metafile(std::vector<uint8_t> bytes) {
    auto picture = std::make_unique<Picture>();
    picture->kind_ = Picture::Kind::Metafile;
    HENHMETAFILE emf = nullptr;
    double widthTwips = 0, heightTwips = 0;
    if (IsEmf(bytes)) {
      emf = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
    } else if (IsPlaceableWmf(bytes)) {
      // Placeable header: bounding box in units of which `inch` make an inch.
      auto box = [&](size_t at) { return static_cast<int16_t>(Le16(bytes.data() + at)); };
      double inch = Le16(bytes.data() + 14);
      double w = box(10) - box(6), h = box(12) - box(8);
      if (inch <= 0 || w == 0 || h == 0) return {nullptr, InvalidPicture()};
      widthTwips = std::abs(w) * 1440.0 / inch;
      heightTwips = std::abs(h) * 1440.0 / inch;
      METAFILEPICT frame{MM_ANISOTROPIC, static_cast<LONG>(widthTwips / kTwipsPerHimetric),
                         static_cast<LONG>(heightTwips / kTwipsPerHimetric), nullptr};
      emf = SetWinMetaFileBits(static_cast<UINT>(bytes.size() - 22), bytes.data() + 22, nullptr,
                               &frame);
    } else {
      emf = SetWinMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data(), nullptr, nullptr);
    }
    if (emf == nullptr) return {nullptr, InvalidPicture()};
    picture->metafile_.reset(emf);
    if (widthTwips == 0) {
      ENHMETAHEADER header{};
      if (GetEnhMetaFileHeader(emf, sizeof(header), &header) == 0)
        return {nullptr, InvalidPicture()};
      // The frame is in hundredths of a millimetre, both edges inclusive.
      widthTwips = (header.rclFrame.right - header.rclFrame.left) * kTwipsPerHimetric;
      heightTwips = (header.rclFrame.bottom - header.rclFrame.top) * kTwipsPerHimetric;
    }
    picture->metafileWidthTwips_ = static_cast<float>(std::abs(widthTwips));
    picture->metafileHeightTwips_ = static_cast<float>(std::abs(heightTwips));
    return {std::move(picture), {}};
  }

  static PictureLoadResult Cursor(const std::wstring& path) {
    auto cursor = static_cast<HCURSOR>(
        LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
    if (cursor == nullptr) return {nullptr, InvalidPicture()};
    auto picture = std::make_unique<Picture>();
    picture->kind_ = Picture::Kind::Cursor;
    picture->cursor_.reset(cursor);
    ICONINFO info{};
    if (!GetIconInfo(cursor, &info)) return {nullptr, InvalidPicture()};
    win32::UniqueHandle<HGDIOBJ, win32::GdiObjectDeleter> colorBits(info.hbmColor),
        maskBits(info.hbmMask);
    BITMAP bm{};
    bool color = colorBits.get() != nullptr;
    GetObjectW(color ? colorBits.get() : maskBits.get(), sizeof(bm), &bm);
    // A monochrome cursor's mask holds the AND and XOR halves one above the other.
    picture->naturalPixels_ = {bm.bmWidth, color ? bm.bmHeight : bm.bmHeight / 2};
    return {std::move(picture), {}};
  }

  static PictureLoadResult Raster(const std::wstring& path, const std::vector<uint8_t>& head,
                                  const std::function<SIZE(SIZE)>& targetFor) {
    IWICImagingFactory* rawFactory = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&rawFactory));
    if (FAILED(hr)) return {nullptr, ErrorFromHresult(hr)};
    ComRef<IWICImagingFactory> factory(rawFactory);
    IWICBitmapDecoder* rawDecoder = nullptr;
    hr = factory.get()->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &rawDecoder);
    if (FAILED(hr)) return {nullptr, ErrorFromHresult(hr)};
    ComRef<IWICBitmapDecoder> decoder(rawDecoder);
    IWICBitmapFrameDecode* rawFrame = nullptr;
    if (FAILED(hr = decoder.get()->GetFrame(0, &rawFrame))) return {nullptr, ErrorFromHresult(hr)};
    ComRef<IWICBitmapFrameDecode> frame(rawFrame);
    UINT width = 0, height = 0;
    if (FAILED(hr = frame.get()->GetSize(&width, &height))) return {nullptr, ErrorFromHresult(hr)};
    if (width == 0 || height == 0 || width > 0x7FFFFFFF / 4 / kStripRows || height > 0x7FFFFFFF ||
        uint64_t{width} * height > kMaxSourcePixels) {
      return {nullptr, InvalidPicture()};
    }
    GUID container{};
    int orientation = 1;
    if (SUCCEEDED(decoder.get()->GetContainerFormat(&container)) &&
        container == GUID_ContainerFormatJpeg) {
      orientation = JpegExifOrientation(head);
    }
    const bool swap = OrientationSwapsAxes(orientation);
    SIZE natural{static_cast<LONG>(swap ? height : width),
                 static_cast<LONG>(swap ? width : height)};
    SIZE target = targetFor ? targetFor(natural) : natural;
    target.cx = std::clamp<LONG>(target.cx, 1, natural.cx);
    target.cy = std::clamp<LONG>(target.cy, 1, natural.cy);
    if (swap) std::swap(target.cx, target.cy);

    // JPEGs (and other 24-bit pictures) are copied straight from the frame
    // and widened here: the system's general converter is several times
    // slower for this one common case on some systems.
    WICPixelFormatGUID format{};
    frame.get()->GetPixelFormat(&format);
    const bool direct24 = IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) != 0;

    std::optional<Bitmap> pixels;
    // A decoder that reduces while decoding (the JPEG one scales by 1/2, 1/4,
    // 1/8 on the fly) hands over far fewer pixels; our own reduction still
    // makes the final size from that larger copy.
    ScalingSource* rawScaling = nullptr;
    if (SUCCEEDED(frame.get()->QueryInterface(kIidScalingSource,
                                              reinterpret_cast<void**>(&rawScaling))) &&
        rawScaling != nullptr) {
      ComRef<ScalingSource> scaling(rawScaling);
      SIZE reduced = ReducedDecodeSize(scaling.get(), width, height, target);
      WICPixelFormatGUID scaledFormat = GUID_WICPixelFormat24bppBGR;
      if (reduced.cx > 0 && SUCCEEDED(scaling.get()->GetClosestPixelFormat(&scaledFormat)) &&
          (IsEqualGUID(scaledFormat, GUID_WICPixelFormat24bppBGR) ||
           IsEqualGUID(scaledFormat, GUID_WICPixelFormat32bppPBGRA))) {
        const UINT w = static_cast<UINT>(reduced.cx), h = static_cast<UINT>(reduced.cy);
        auto copy = [&](const WICRect& rect, UINT stride, UINT size, BYTE* buffer) {
          return scaling.get()->CopyPixels(&rect, w, h, &scaledFormat, WICBitmapTransformRotate0,
                                           stride, size, buffer);
        };
        // Any failure here falls back to the full-size decode below.
        Reduce(copy, w, h, IsEqualGUID(scaledFormat, GUID_WICPixelFormat24bppBGR) != 0, target,
               pixels);
      }
    }
    if (!pixels) {
      ComRef<IWICFormatConverter> converter;
      if (!direct24) {
        IWICFormatConverter* rawConverter = nullptr;
        if (FAILED(hr = factory.get()->CreateFormatConverter(&rawConverter)))
          return {nullptr, ErrorFromHresult(hr)};
        converter.reset(rawConverter);
        hr = converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                         WICBitmapDitherTypeNone, nullptr, 0.0,
                                         WICBitmapPaletteTypeMedianCut);
        if (FAILED(hr)) return {nullptr, ErrorFromHresult(hr)};
      }
      IWICBitmapSource* source =
          direct24 ? static_cast<IWICBitmapSource*>(frame.get()) : converter.get();
      auto copy = [&](const WICRect& rect, UINT stride, UINT size, BYTE* buffer) {
        return source->CopyPixels(&rect, stride, size, buffer);
      };
      if (FAILED(hr = Reduce(copy, width, height, direct24, target, pixels)))
        return {nullptr, ErrorFromHresult(hr)};
    }
    if (orientation != 1) pixels = ApplyOrientation(pixels->View(), orientation);
    if (!pixels) return {nullptr, MakeError(kErrOutOfMemory)};

    auto picture = std::make_unique<Picture>();
    picture->kind_ = Picture::Kind::Raster;
    picture->naturalPixels_ = natural;
    picture->pixels_ = std::move(*pixels);
    const auto& px = picture->pixels_.pixels;
    for (size_t i = 3; i < px.size() && picture->opaque_; i += 4) picture->opaque_ = px[i] == 255;
    return {std::move(picture), {}};
  }
};

std::unique_ptr<Picture> Picture::Transparent(SIZE pixels) {
  auto picture = std::make_unique<Picture>();
  picture->naturalPixels_ = pixels;
  return picture;
}

float Picture::NaturalWidthTwips(float twipsPerPixel) const {
  if (kind_ == Kind::Metafile) return metafileWidthTwips_;
  return static_cast<float>(static_cast<double>(naturalPixels_.cx) * twipsPerPixel);
}

float Picture::NaturalHeightTwips(float twipsPerPixel) const {
  if (kind_ == Kind::Metafile) return metafileHeightTwips_;
  return static_cast<float>(static_cast<double>(naturalPixels_.cy) * twipsPerPixel);
}

bool Picture::PrepareScaled(int width, int height) {
  if (cachedBitmap_ && cachedSize_.cx == width && cachedSize_.cy == height) return true;
  cachedBitmap_.reset();
  std::optional<Bitmap> scaled;
  const Bitmap* source = &pixels_;
  if (width < pixels_.width || height < pixels_.height) {
    scaled =
        Downscale(pixels_.View(), std::min(width, pixels_.width), std::min(height, pixels_.height));
    if (!scaled) return false;
    source = &*scaled;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = source->width;
  info.bmiHeader.biHeight = -source->height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr) return false;
  std::memcpy(bits, source->pixels.data(), source->pixels.size());
  cachedBitmap_.reset(dib);
  cachedSize_ = {width, height};
  return true;
}

void Picture::Draw(HDC hdc, const RECT& dest) {
  const int w = dest.right - dest.left, h = dest.bottom - dest.top;
  if (w <= 0 || h <= 0) return;
  switch (kind_) {
    case Kind::Empty:
      return;
    case Kind::Metafile:
      PlayEnhMetaFile(hdc, metafile_.get(), &dest);
      return;
    case Kind::Cursor:
      DrawIconEx(hdc, dest.left, dest.top, cursor_.get(), w, h, 0, nullptr, DI_NORMAL);
      return;
    case Kind::Raster:
      break;
  }
  if (pixels_.Empty() || !PrepareScaled(w, h)) return;
  win32::UniqueHandle<HDC, win32::MemoryDcDeleter> memory(CreateCompatibleDC(hdc));
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory.get(), cachedBitmap_.get());
  BITMAP bm{};
  GetObjectW(cachedBitmap_.get(), sizeof(bm), &bm);
  if (opaque_ && bm.bmWidth == w && bm.bmHeight == h) {
    BitBlt(hdc, dest.left, dest.top, w, h, memory.get(), 0, 0, SRCCOPY);
  } else if (opaque_) {
    // Larger than the kept copy (only when a fitting failed): enlarged.
    SetStretchBltMode(hdc, HALFTONE);
    StretchBlt(hdc, dest.left, dest.top, w, h, memory.get(), 0, 0, bm.bmWidth, bm.bmHeight,
               SRCCOPY);
  } else {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(hdc, dest.left, dest.top, w, h, memory.get(), 0, 0, bm.bmWidth, bm.bmHeight,
                  blend);
  }
  SelectObject(memory.get(), old);
}

PictureLoadResult LoadPictureFile(const std::wstring& path,
                                  const std::function<SIZE(SIZE)>& targetFor) {
  if (path.empty()) return {std::make_unique<Picture>(), {}};
  // The missing file (53) is told apart from a missing folder (76) and from
  // every other fault, since only the first one leads to the fall-back.
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {nullptr, win32::LastError()};
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {nullptr, MakeError(kErrPathFileAccess)};
  std::vector<uint8_t> head;
  ErrorInfo error;
  if (!ReadHead(path, kHeadBytes, head, error)) return {nullptr, error};
  if (IsEmf(head) || IsPlaceableWmf(head) || IsPlainWmf(head)) {
    std::vector<uint8_t> whole;
    if (!ReadHead(path, kMaxMetafileBytes, whole, error)) return {nullptr, error};
    return PictureLoader::Metafile(std::move(whole));
  }
  if (IsCursor(head)) return PictureLoader::Cursor(path);
  return PictureLoader::Raster(path, head, targetFor);
}

}  // namespace orrivel
