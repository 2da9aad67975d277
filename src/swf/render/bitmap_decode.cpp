#include "swf/render/bitmap_decode.h"

#include "swf/format/jpeg_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace orrivel::swf {

namespace {

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// DefineBitsLossless2 pixels and JPEG colours with an alpha plane are stored
// premultiplied already; damaged data may still hold a colour brighter than
// its alpha.
uint32_t ClampPremultiplied(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return Pack(a, std::min(r, a), std::min(g, a), std::min(b, a));
}

size_t RowBytes(size_t width, size_t bytesPerPixel) {
  return (width * bytesPerPixel + 3) & ~static_cast<size_t>(3);
}

std::optional<raster::Image> DecodeLossless(const BitmapDefinition& bm, uint64_t maxPixels) {
  const size_t w = bm.width, h = bm.height;
  if (w == 0 || h == 0 || static_cast<uint64_t>(w) * h > maxPixels) return std::nullopt;
  const bool alpha = bm.kind == BitmapKind::Lossless2;
  raster::Image image;
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.pixels.assign(w * h, alpha ? 0u : 0xFF000000u);

  if (bm.losslessFormat == 3) {
    const size_t entries = std::clamp<size_t>(bm.colorTableSize, 1, 256);
    const size_t entrySize = alpha ? 4 : 3;
    const size_t tableBytes = entries * entrySize;
    const size_t row = RowBytes(w, 1);
    const std::vector<uint8_t> data = InflateBounded(bm.zlibData, tableBytes + row * h);
    if (data.size() < tableBytes) return std::nullopt;
    uint32_t table[256] = {};
    for (size_t i = 0; i < entries; ++i) {
      const uint8_t* e = &data[i * entrySize];
      table[i] = alpha ? ClampPremultiplied(e[3], e[0], e[1], e[2]) : Pack(255, e[0], e[1], e[2]);
    }
    // Indices past the table read as transparent black, as Flash shows them.
    for (size_t y = 0; y < h; ++y) {
      const size_t base = tableBytes + y * row;
      for (size_t x = 0; x < w && base + x < data.size(); ++x) {
        const uint8_t index = data[base + x];
        image.pixels[y * w + x] = index < entries ? table[index] : 0u;
      }
    }
    return image;
  }
  if (bm.losslessFormat == 4) {
    const size_t row = RowBytes(w, 2);
    const std::vector<uint8_t> data = InflateBounded(bm.zlibData, row * h);
    if (data.empty()) return std::nullopt;
    for (size_t y = 0; y < h; ++y) {
      for (size_t x = 0; x < w; ++x) {
        const size_t at = y * row + x * 2;
        if (at + 1 >= data.size()) break;
        const uint32_t v = (static_cast<uint32_t>(data[at]) << 8) | data[at + 1];
        auto expand = [](uint32_t c5) { return (c5 << 3) | (c5 >> 2); };
        image.pixels[y * w + x] =
            Pack(255, expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
      }
    }
    return image;
  }
  if (bm.losslessFormat == 5) {
    const std::vector<uint8_t> data = InflateBounded(bm.zlibData, w * h * 4);
    if (data.empty()) return std::nullopt;
    const size_t n = std::min(w * h, data.size() / 4);
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* p = &data[i * 4];
      image.pixels[i] =
          alpha ? ClampPremultiplied(p[0], p[1], p[2], p[3]) : Pack(255, p[1], p[2], p[3]);
    }
    return image;
  }
  return std::nullopt;
}

std::optional<raster::Image> DecodeEmbedded(const BitmapDefinition& bm,
                                            std::span<const uint8_t> jpegTables,
                                            ImageDecoder& decoder, uint64_t maxPixels) {
  std::span<const uint8_t> data = bm.imageData;
  std::vector<uint8_t> merged;
  if (LooksLikeJpeg(data)) {
    merged = MakeStandaloneJpeg(
        bm.kind == BitmapKind::Jpeg1 ? jpegTables : std::span<const uint8_t>{}, data);
    if (!merged.empty()) data = merged;
  }
  std::optional<raster::Image> image = decoder.Decode(data, maxPixels);
  if (!image || image->width <= 0 || image->height <= 0 ||
      image->pixels.size() != static_cast<size_t>(image->width) * image->height) {
    return std::nullopt;
  }
  // The separate alpha plane belongs to JPEG payloads only; PNG and GIF
  // carry their own transparency.
  const bool hasAlphaPlane = (bm.kind == BitmapKind::Jpeg3 || bm.kind == BitmapKind::Jpeg4) &&
                             LooksLikeJpeg(bm.imageData) && !bm.alphaData.empty();
  if (hasAlphaPlane) {
    const size_t n = image->pixels.size();
    const std::vector<uint8_t> alpha = InflateBounded(bm.alphaData, n);
    // The colours were stored premultiplied by this alpha: each is only
    // kept at or below it. A short plane leaves the remaining pixels opaque.
    for (size_t i = 0; i < alpha.size(); ++i) {
      const uint32_t p = image->pixels[i];
      const uint32_t a = alpha[i];
      image->pixels[i] = ClampPremultiplied(a, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
  }
  return image;
}

}  // namespace

std::vector<uint8_t> InflateBounded(std::span<const uint8_t> data, size_t maxBytes) {
  std::vector<uint8_t> out;
  if (data.empty() || maxBytes == 0) return out;
  out.resize(maxBytes);
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return {};
  size_t consumed = 0;
  size_t produced = 0;
  // Each round hands over all input and output left; inflate stops with an
  // error or Z_BUF_ERROR when it can make no more progress.
  while (produced < maxBytes) {
    const size_t inChunk = std::min<size_t>(data.size() - consumed, UINT_MAX);
    const size_t outChunk = std::min<size_t>(maxBytes - produced, UINT_MAX);
    zs.next_in = const_cast<Bytef*>(data.data() + consumed);
    zs.avail_in = static_cast<uInt>(inChunk);
    zs.next_out = out.data() + produced;
    zs.avail_out = static_cast<uInt>(outChunk);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    consumed += inChunk - zs.avail_in;
    produced += outChunk - zs.avail_out;
    if (rc != Z_OK) break;
  }
  inflateEnd(&zs);
  out.resize(produced);
  return out;
}

std::optional<raster::Image> DecodeBitmap(const BitmapDefinition& bitmap,
                                          std::span<const uint8_t> jpegTables,
                                          ImageDecoder& decoder, const BitmapLimits& limits) {
  switch (bitmap.kind) {
    case BitmapKind::Lossless:
    case BitmapKind::Lossless2:
      return DecodeLossless(bitmap, limits.maxPixels);
    default:
      return DecodeEmbedded(bitmap, jpegTables, decoder, limits.maxPixels);
  }
}

}  // namespace orrivel::swf
