#include "swf/render/wic_image_decoder_win32.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "swf/render/gif_decoder.h"

namespace orrivel::swf {
namespace {

template <typename T>
using ComRef = win32::UniqueHandle<T*, ComReleaser>;

enum class Format { Unknown, Jpeg, Png, Gif };

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Pixels are copied in strips of about this many bytes, so no single copy
// needs a buffer size beyond what the interface can express.
constexpr UINT kStripBytes = 16u << 20;
// Some implementations of the imaging component (Wine's) size their
// whole-picture buffer in 32 bits, up to 8 bytes a pixel, and overflow beyond
// this.
constexpr uint64_t kMaxWicPixels = uint64_t{1} << 28;

// The payload's own signature decides, never the imaging component's guess:
// a bitmap tag holding a BMP or TIFF stays undrawn, as on every other build.
Format Sniff(std::span<const uint8_t> data) {
  if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8) return Format::Jpeg;
  if (data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0) return Format::Png;
  if (data.size() >= 6 && std::memcmp(data.data(), "GIF8", 4) == 0) return Format::Gif;
  return Format::Unknown;
}

struct Size {
  uint32_t width = 0, height = 0;
};

bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The size the frame headers before the first scan claim (the largest, should
// a damaged stream hold several). Markers are found as the decoders find
// them: bytes between segments are skipped up to the next 0xFF.
std::optional<Size> JpegHeaderSize(std::span<const uint8_t> data) {
  std::optional<Size> size;
  size_t i = 2;
  while (i + 3 < data.size()) {
    const uint8_t marker = data[i + 1];
    if (data[i] != 0xFF || marker == 0xFF) {
      ++i;
    } else if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      i += 2;  // markers without a length
    } else if (marker == 0xD9 || marker == 0xDA) {
      break;  // the end, or the first scan: the frame is known by now
    } else {
      if (IsFrameHeader(marker) && i + 8 < data.size()) {
        const Size frame{static_cast<uint32_t>(data[i + 7] << 8 | data[i + 8]),
                         static_cast<uint32_t>(data[i + 5] << 8 | data[i + 6])};
        if (!size || uint64_t{frame.width} * frame.height > uint64_t{size->width} * size->height) {
          size = frame;
        }
      }
      i += 2 + (static_cast<size_t>(data[i + 2]) << 8 | data[i + 3]);
    }
  }
  return size;
}

std::optional<Size> PngHeaderSize(std::span<const uint8_t> data) {
  if (data.size() < 24 || std::memcmp(data.data() + 12, "IHDR", 4) != 0) return {};
  auto be32 = [&](size_t at) {
    return static_cast<uint32_t>(data[at]) << 24 | static_cast<uint32_t>(data[at + 1]) << 16 |
           static_cast<uint32_t>(data[at + 2]) << 8 | data[at + 3];
  };
  return Size{be32(16), be32(20)};
}

bool Fits(Size size, uint64_t maxPixels) {
  return size.width > 0 && size.height > 0 &&
         uint64_t{size.width} * size.height <= std::min(maxPixels, kMaxWicPixels);
}

// Calls a COM function with an out-parameter into a fresh owner; fails
// when it fails or hands back nothing.
template <typename T, typename Create>
bool Make(ComRef<T>& out, Create&& create) {
  T* raw = nullptr;
  const HRESULT hr = create(&raw);
  out.reset(raw);
  return SUCCEEDED(hr) && raw != nullptr;
}

std::optional<raster::Image> DecodeWithWic(IWICImagingFactory* factory, Format format,
                                           std::span<const uint8_t> data, uint64_t maxPixels) {
  // Some implementations (Wine's) decode every pixel as soon as the frame is
  // asked for, so the size is read from the header here first.
  const std::optional<Size> claimed =
      format == Format::Jpeg ? JpegHeaderSize(data) : PngHeaderSize(data);
  if (!claimed || !Fits(*claimed, maxPixels)) return {};
  ComRef<IWICStream> stream;
  if (!Make(stream, [&](IWICStream** p) { return factory->CreateStream(p); })) return {};
  // The stream only reads; the interface just lacks a const.
  if (FAILED(stream.get()->InitializeFromMemory(const_cast<BYTE*>(data.data()),
                                                static_cast<DWORD>(data.size())))) {
    return {};
  }
  const GUID& container =
      format == Format::Jpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatPng;
  ComRef<IWICBitmapDecoder> decoder;
  if (!Make(decoder,
            [&](IWICBitmapDecoder** p) { return factory->CreateDecoder(container, nullptr, p); }) ||
      FAILED(decoder.get()->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand))) {
    return {};
  }
  ComRef<IWICBitmapFrameDecode> frame;
  if (!Make(frame, [&](IWICBitmapFrameDecode** p) { return decoder.get()->GetFrame(0, p); })) {
    return {};
  }
  UINT width = 0, height = 0;
  if (FAILED(frame.get()->GetSize(&width, &height)) || !Fits({width, height}, maxPixels)) {
    return {};
  }
  ComRef<IWICFormatConverter> converter;
  if (!Make(converter,
            [&](IWICFormatConverter** p) { return factory->CreateFormatConverter(p); }) ||
      FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                         WICBitmapDitherTypeNone, nullptr, 0.0,
                                         WICBitmapPaletteTypeCustom))) {
    return {};
  }

  raster::Image image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  // A JPEG starts opaque, so rows a damaged stream never reaches stay black.
  image.pixels.assign(static_cast<size_t>(width) * height,
                      format == Format::Jpeg ? 0xFF000000u : 0u);
  const UINT stride = width * 4;
  const UINT stripRows = std::clamp<UINT>(kStripBytes / stride, 1, height);
  for (UINT y = 0; y < height; y += stripRows) {
    const UINT rows = std::min(stripRows, height - y);
    const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
    auto* dst = reinterpret_cast<BYTE*>(image.pixels.data() + static_cast<size_t>(y) * width);
    if (FAILED(converter.get()->CopyPixels(&rect, stride, stride * rows, dst))) {
      // A JPEG cut short keeps the rows decoded so far, as browsers show it;
      // a damaged PNG is refused, as on every other build.
      if (format == Format::Jpeg && y > 0) break;
      return {};
    }
  }
  return image;
}

}  // namespace

WicImageDecoder::WicImageDecoder() { EnsureFactory(); }

bool WicImageDecoder::EnsureFactory() {
  if (factory_) return true;
  IWICImagingFactory* raw = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&raw)))) {
    factory_.reset(raw);
  }
  return static_cast<bool>(factory_);
}

std::optional<raster::Image> WicImageDecoder::Decode(std::span<const uint8_t> data,
                                                     uint64_t maxPixels) {
  const Format format = Sniff(data);
  try {
    if (format == Format::Gif) return DecodeGif(data, maxPixels);
    if (format == Format::Unknown || data.size() > MAXDWORD - 2 || !EnsureFactory()) return {};
    // A JPEG cut short ends without its end marker; libjpeg's memory source
    // supplies one and shows the rows decoded so far, and so does this.
    std::vector<uint8_t> completed;
    if (format == Format::Jpeg && !(data[data.size() - 2] == 0xFF && data.back() == 0xD9)) {
      completed.reserve(data.size() + 2);
      completed.assign(data.begin(), data.end());
      completed.insert(completed.end(), {0xFF, 0xD9});
      data = completed;
    }
    return DecodeWithWic(factory_.get(), format, data, maxPixels);
  } catch (const std::bad_alloc&) {
    // A picture within the pixel limit that still finds no memory is
    // treated like a damaged one.
    return {};
  }
}

}  // namespace orrivel::swf
